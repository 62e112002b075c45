#pragma once

#include <QList>
#include <QUrl>

namespace zb {

// Asks the home network for routers (an SSDP M-SEARCH for the gateway
// device and its connection services) and collects, for `searchMs`, the
// root description addresses of those that answer. Only an address on the
// answering host itself is taken, so that an answer cannot send the mapper
// to a third machine; at most MaxGatewayAnswers are kept. `cancelFd` (or -1)
// becomes readable when the search is to stop.
QList<QUrl> searchGateways(int searchMs, int cancelFd);

inline constexpr int MaxGatewayAnswers = 8;

// The description address an SSDP answer from `sender` (an IPv4 address)
// gives, or an empty URL when the answer names none or names another host.
QUrl gatewayDescription(const QByteArray &answer, const QString &sender);

} // namespace zb
