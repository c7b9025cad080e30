#include "hid/link.h"
