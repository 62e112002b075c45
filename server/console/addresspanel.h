#pragma once

#include "server/portmap/portmapper.h"

#include <QGroupBox>

class QCheckBox;
class QLabel;
class QPushButton;

namespace zb {

// The room's address for the host: the check box that lets the server open
// the router's port, the address on the home network and outside, what the
// router said, and a button that copies an invitation for the players.
class AddressPanel : public QGroupBox {
    Q_OBJECT
  public:
    explicit AddressPanel(QWidget *parent = nullptr);

    // The command line's choices for this run. --no-upnp unticks the box and
    // locks it, leaving the stored setting alone.
    void setOptions(const PortMapConfig &options);
    // The server listens now: map its port as the box says (and store the
    // box); the box is fixed from here on, like the port.
    void serverStarted(quint16 port);

    PortMapper *mapper() const { return m_mapper; }
    void copyInvitation();

    QCheckBox *chkUpnp = nullptr;
    QLabel *lblLanAddress = nullptr;
    QLabel *lblExternalAddress = nullptr;
    QLabel *lblMappingState = nullptr;
    QPushButton *cmdCopyInvitation = nullptr;

  private:
    void showStatus(const PortMapStatus &status);

    PortMapConfig m_options;
    PortMapper *m_mapper = nullptr;
};

} // namespace zb
