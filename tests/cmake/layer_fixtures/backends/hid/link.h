#pragma once

#include "hid/linux/backend.h"
#include "hid/bsd/backend.h"
