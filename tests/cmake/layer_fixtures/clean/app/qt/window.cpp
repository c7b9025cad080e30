#include "app/logic/handlers.h"
#include "host/clock.h"
#include "instance/lock.h"
#include "twips.h"
