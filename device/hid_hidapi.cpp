#include "hid.h"
