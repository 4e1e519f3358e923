#include "Formatm.h"
