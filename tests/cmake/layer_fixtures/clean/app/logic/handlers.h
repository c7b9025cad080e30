#pragma once

#include "protocol/exchange.h"
