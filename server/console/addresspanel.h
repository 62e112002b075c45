#pragma once

#include "server/core/lobbylink.h"
#include "server/portmap/portmapper.h"

#include <QGroupBox>

class QCheckBox;
class QFormLayout;
class QLabel;
class QPushButton;

namespace zb {

// The room's address for the host: the check box that lets the server open
// the router's port, the address on the home network and outside, what the
// router said, whether the lobby could connect back, the link for players
// with a browser only, and a button that copies an invitation for the
// players.
class AddressPanel : public QGroupBox {
    Q_OBJECT
  public:
    explicit AddressPanel(QWidget *parent = nullptr);

    // The command line's choices for this run. --no-upnp unticks the box and
    // locks it, leaving the stored setting alone.
    void setOptions(const PortMapConfig &options);
    // The server listens now: map its port as the box says (and store the
    // box); the box is fixed from here on, like the port. `browserPlay`: the
    // port answers browsers too.
    void serverStarted(quint16 port, bool browserPlay = true);

    PortMapper *mapper() const { return m_mapper; }
    void copyInvitation();

    // What the lobby found when it tried to connect back to the room.
    void showReachability(LobbyLink::Reachability state);

  private:
    void showStatus(const PortMapStatus &status);

    QCheckBox *m_upnpBox = nullptr;
    QLabel *m_lanAddressLabel = nullptr;
    QLabel *m_externalAddressLabel = nullptr;
    QLabel *m_mappingStateLabel = nullptr;
    QLabel *m_reachabilityLabel = nullptr;
    QLabel *m_browserLinkLabel = nullptr;
    QFormLayout *m_form = nullptr;
    QPushButton *m_copyButton = nullptr;
    PortMapConfig m_options;
    quint16 m_port = 0;
    bool m_browserPlay = true;
    PortMapper *m_mapper = nullptr;
};

} // namespace zb
