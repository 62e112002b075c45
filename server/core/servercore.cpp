#include "servercore.h"
