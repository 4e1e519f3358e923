#include "routetable.h"
