#include "routeimport.h"
