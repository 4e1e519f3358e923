#include "firmwarelist.h"
