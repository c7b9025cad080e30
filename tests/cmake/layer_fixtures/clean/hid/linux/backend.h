#pragma once

#include "hid/link.h"
