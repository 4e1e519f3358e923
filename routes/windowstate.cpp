#include "windowstate.h"
