#include "transport.h"
