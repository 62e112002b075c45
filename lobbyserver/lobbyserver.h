#pragma once
// The lobby server: room list and lobby chat.
