#include "shared/socketerror.h"

namespace zb {

int socketErrorNumber(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return 10061;
    case QAbstractSocket::SocketTimeoutError:
        return 10060;
    case QAbstractSocket::HostNotFoundError:
        return 11001;
    case QAbstractSocket::RemoteHostClosedError:
        return 10054;
    // Qt reports an unreachable network (and host) as a network error.
    case QAbstractSocket::NetworkError:
        return 10051;
    default:
        return OtherSocketErrorNumber;
    }
}

} // namespace zb
