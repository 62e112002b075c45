#include "addresspanel.h"

#include "server/core/messages.h"
#include "server/portmap/roomaddress.h"

#include <QCheckBox>
#include <QClipboard>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace zb {

namespace {
QLabel *valueLabel(const QString &name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    // Addresses and reasons come from the router: never markup.
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setWordWrap(true);
    return label;
}
} // namespace

AddressPanel::AddressPanel(QWidget *parent) : QGroupBox(msg::RoomAddressCaption, parent)
{
    setObjectName(QStringLiteral("picAddress"));
    chkUpnp = new QCheckBox(msg::AutoOpenPort, this);
    chkUpnp->setObjectName(QStringLiteral("chkUpnp"));
    chkUpnp->setChecked(loadPortMapSetting());
    lblLanAddress = valueLabel(QStringLiteral("lblLanAddress"), this);
    lblExternalAddress = valueLabel(QStringLiteral("lblExternalAddress"), this);
    lblMappingState = valueLabel(QStringLiteral("lblMappingState"), this);
    cmdCopyInvitation = new QPushButton(msg::CopyInvitation, this);
    cmdCopyInvitation->setObjectName(QStringLiteral("cmdCopyInvitation"));
    cmdCopyInvitation->setToolTip(msg::CopyInvitationTip);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 6);
    layout->addWidget(chkUpnp);
    auto *form = new QFormLayout;
    form->setVerticalSpacing(2);
    form->addRow(msg::LanAddressCaption, lblLanAddress);
    form->addRow(msg::ExternalAddressCaption, lblExternalAddress);
    form->addRow(msg::MappingStateCaption, lblMappingState);
    layout->addLayout(form);
    auto *row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(cmdCopyInvitation);
    layout->addLayout(row);

    connect(cmdCopyInvitation, &QPushButton::clicked, this, &AddressPanel::copyInvitation);
    PortMapStatus before;
    before.lanAddress = guessLanAddress();
    connect(chkUpnp, &QCheckBox::toggled, this, [this, before] {
        if (!m_mapper) showStatus(before);
    });
    showStatus(before);
}

void AddressPanel::setOptions(const PortMapConfig &options)
{
    m_options = options;
    if (!options.enabled) {
        chkUpnp->setChecked(false);
        chkUpnp->setEnabled(false);
        chkUpnp->setToolTip(msg::NoUpnpTip);
    }
}

void AddressPanel::serverStarted(quint16 port)
{
    if (m_mapper) return;
    PortMapConfig config = m_options;
    // An option holds for this run only; the box is stored when the host chose it.
    if (m_options.enabled) savePortMapSetting(chkUpnp->isChecked());
    config.enabled = chkUpnp->isChecked();
    chkUpnp->setEnabled(false);
    m_mapper = new PortMapper(config, this);
    connect(m_mapper, &PortMapper::statusChanged, this, &AddressPanel::showStatus);
    m_mapper->start(port);
}

void AddressPanel::showStatus(const PortMapStatus &status)
{
    const bool started = status.port != 0;
    // Before the start the port is not settled yet: the host alone.
    lblLanAddress->setText(started || status.lanAddress.isEmpty() ? lanAddressText(status)
                                                                  : status.lanAddress);
    lblExternalAddress->setText(externalAddressText(status));
    lblMappingState->setText(!started && !chkUpnp->isChecked() ? msg::MappingOff : status.stateText());
    QPalette pal = lblMappingState->palette();
    const bool bad =
        status.state == PortMapStatus::State::NoRouter || status.state == PortMapStatus::State::Refused;
    const bool good = status.state == PortMapStatus::State::Open;
    pal.setColor(QPalette::WindowText, good  ? QColor(0, 128, 0)
                                       : bad ? QColor(176, 0, 0)
                                             : palette().color(QPalette::WindowText));
    lblMappingState->setPalette(pal);
    cmdCopyInvitation->setEnabled(started);
}

void AddressPanel::copyInvitation()
{
    if (!m_mapper) return;
    QGuiApplication::clipboard()->setText(invitationText(m_mapper->status()));
    cmdCopyInvitation->setText(msg::Copied);
    QTimer::singleShot(2000, cmdCopyInvitation,
                       [button = cmdCopyInvitation] { button->setText(msg::CopyInvitation); });
}

} // namespace zb
