#pragma once

#include "host/clock.h"
