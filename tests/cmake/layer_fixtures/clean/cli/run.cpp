#include "instance/lock.h"
#include "protocol/exchange.h"
