#include "firmwareupdate.h"
