#include "Sub.h"
