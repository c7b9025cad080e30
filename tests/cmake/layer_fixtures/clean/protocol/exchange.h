#pragma once

#include "hid/link.h"
#include "settings/store.h"
