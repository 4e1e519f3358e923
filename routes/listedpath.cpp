#include "listedpath.h"
