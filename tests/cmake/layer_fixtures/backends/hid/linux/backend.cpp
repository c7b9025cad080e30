#include "hid/windows/backend.h"
