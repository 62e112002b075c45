#include "server/web/webentrance.h"

#include "server/web/connectionsorter.h"
#include "server/web/webfrontdoor.h"
#include "server/web/websockettransport.h"

namespace zb {

WebEntrance::WebEntrance(quint16 port, QObject *parent)
    : QObject(parent), m_sorter(new ConnectionSorter(this)), m_frontDoor(new WebFrontDoor(port, this))
{
    connect(m_sorter, &ConnectionSorter::httpRequest, m_frontDoor, &WebFrontDoor::handleConnection);
    connect(m_sorter, &ConnectionSorter::gameConnection, this, &WebEntrance::gameConnection);
    connect(m_frontDoor, &WebFrontDoor::socketUpgraded, this, [this](QWebSocket *socket, const QString &) {
        auto *transport = new WebSocketTransport(socket);
        emit browserConnection(transport);
    });
}

WebEntrance::~WebEntrance()
{
    disconnect(m_sorter, nullptr, this, nullptr);
    disconnect(m_frontDoor, nullptr, this, nullptr);
}

void WebEntrance::sort(QTcpSocket *socket)
{
    m_sorter->sort(socket);
}

} // namespace zb
