#pragma once

#include <QAbstractSocket>

namespace zb {

// The number shown after "エラー:" for a socket error: the classic socket
// error numbers players and hosts look up (10061 refused, 10060 timed out,
// 11001 host not found, 10054 reset by peer, 10051 network unreachable).
// Qt's own enumeration starts at 0, which would read as success.
int socketErrorNumber(QAbstractSocket::SocketError error);

// Every other error: the base of the classic range, which names no error of
// its own and is never 0.
constexpr int OtherSocketErrorNumber = 10000;

} // namespace zb
