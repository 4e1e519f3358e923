#include "filecommands.h"
