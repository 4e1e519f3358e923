#include "hotplug.h"
