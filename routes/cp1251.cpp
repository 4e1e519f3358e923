#include "cp1251.h"
