#pragma once

#include "server/web/requesthead.h"

#include <QByteArray>
#include <QByteArrayView>

namespace zb {

// A status line, the security fields and the body: one whole answer.
// `host` is the request's Host field (used for the WebSocket origin of the
// content policy when it is a plain host name or IPv4 address with a port).
QByteArray httpAnswer(int status, QByteArrayView type, const QByteArray &body, QByteArrayView host = {});
// The same for a refusal: the status and its phrase as a short text.
QByteArray errorAnswer(int status, QByteArrayView host = {});

// A well-formed WebSocket upgrade: HTTP/1.1, version 13, a key of 16 bytes
// and no body.
bool isWebSocketUpgrade(const RequestHead &head);
// The page asking is one of this room's: its Origin names the host and port
// the request went to (its Host). That port may be another than the one the
// room listens on: a router may forward an outside port of its choosing.
bool isSameOrigin(const RequestHead &head);

} // namespace zb
