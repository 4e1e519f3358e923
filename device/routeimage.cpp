#include "routeimage.h"
