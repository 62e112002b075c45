#include "server/portmap/roomaddress.h"

#include "server/texts/messages.h"
#include "shared/joinlink.h"

#include <QNetworkInterface>

namespace zb {

namespace {
bool isPrivateIPv4(quint32 a)
{
    return (a >> 24) == 10 || (a >> 20) == ((172u << 4) | 1u) || (a >> 16) == ((192u << 8) | 168u);
}
} // namespace

QString guessLanAddress()
{
    QString fallback;
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &i : interfaces) {
        const auto flags = i.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) || !flags.testFlag(QNetworkInterface::IsRunning) ||
            flags.testFlag(QNetworkInterface::IsLoopBack))
            continue;
        const auto entries = i.addressEntries();
        for (const QNetworkAddressEntry &e : entries) {
            const QHostAddress a = e.ip();
            if (a.protocol() != QAbstractSocket::IPv4Protocol || a.isLinkLocal()) continue;
            if (isPrivateIPv4(a.toIPv4Address())) return a.toString();
            if (fallback.isEmpty()) fallback = a.toString();
        }
    }
    return fallback;
}

QString lanAddressText(const PortMapStatus &status)
{
    if (status.lanAddress.isEmpty() || status.port == 0) return msg::UnknownAddress;
    return hostPortText(status.lanAddress, status.port);
}

QString externalAddressText(const PortMapStatus &status)
{
    if (status.externalAddress.isEmpty()) return msg::UnknownAddress;
    const bool mapped = status.state == PortMapStatus::State::Open && status.externalPort != 0;
    return hostPortText(status.externalAddress, mapped ? status.externalPort : status.port);
}

QString invitationAddress(const PortMapStatus &status)
{
    if (!status.externalAddress.isEmpty()) return externalAddressText(status);
    if (!status.lanAddress.isEmpty()) return lanAddressText(status);
    return hostPortText(QStringLiteral("127.0.0.1"), status.port);
}

QString browserLink(const QString &hostPort)
{
    return QStringLiteral("http://") + hostPort + QLatin1Char('/');
}

QString invitationText(const PortMapStatus &status, bool browserPlay)
{
    const QString address = invitationAddress(status);
    QString text = msg::invitation(address, joinLink(address));
    if (browserPlay) text += msg::browserInvitation(browserLink(address));
    const QString lan = lanAddressText(status);
    if (lan != address && lan != msg::UnknownAddress) text += msg::invitationLan(lan);
    return text;
}

QStringList addressReport(const PortMapStatus &status, bool browserPlay)
{
    QStringList lines{msg::LanAddressCaption + QStringLiteral(": ") + lanAddressText(status)};
    if (status.state == PortMapStatus::State::Searching) {
        lines << msg::MappingStateCaption + QStringLiteral(": ") + status.stateText();
        return lines;
    }
    lines << msg::ExternalAddressCaption + QStringLiteral(": ") + externalAddressText(status)
          << msg::MappingStateCaption + QStringLiteral(": ") + status.stateText()
          << msg::invitationLink(joinLink(invitationAddress(status)));
    if (browserPlay) lines << msg::browserInvitationLink(browserLink(invitationAddress(status)));
    return lines;
}

} // namespace zb
