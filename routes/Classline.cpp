#include "Classline.h"
