#pragma once

#include "app/logic/guard.h"
