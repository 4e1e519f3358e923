#include "simkado.h"
