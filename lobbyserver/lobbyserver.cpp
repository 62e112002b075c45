#include "lobbyserver.h"
