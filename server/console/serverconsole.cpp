#include "serverconsole.h"
