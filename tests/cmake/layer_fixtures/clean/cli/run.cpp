#include "app/instance/lock.h"
#include "protocol/exchange.h"
