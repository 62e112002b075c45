#include "gamewindow.h"
