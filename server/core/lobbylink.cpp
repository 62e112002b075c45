#include "lobbylink.h"
