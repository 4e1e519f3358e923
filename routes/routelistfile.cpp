#include "routelistfile.h"
