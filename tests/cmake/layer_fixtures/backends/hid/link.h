#pragma once

#include "hid/bsd/backend.h"
#include "hid/linux/backend.h"
