#include "tools/tool.h"
