#include "devicelink.h"
