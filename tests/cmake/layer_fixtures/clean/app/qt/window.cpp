#include "app/instance/lock.h"
#include "app/logic/handlers.h"
#include "host/clock.h"
#include "twips.h"
