#include "routerecord.h"
