#pragma once

#include "app/qt/window.h"
