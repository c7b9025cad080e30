#pragma once

#include "hid/linux/backend.h"
