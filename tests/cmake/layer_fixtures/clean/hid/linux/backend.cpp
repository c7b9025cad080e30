#include "hid/linux/backend.h"

#include "hid/link.h"
