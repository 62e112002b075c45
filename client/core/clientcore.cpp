#include "clientcore.h"
