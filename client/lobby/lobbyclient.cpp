#include "lobbyclient.h"
