#include "app/logic/handlers.h"
