#pragma once

#include "../tools/tool.h"
