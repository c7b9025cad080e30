#include "app/win32/frame.h"
