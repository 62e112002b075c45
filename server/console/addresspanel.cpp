#include "server/console/addresspanel.h"

#include "desktop/desktop.h"
#include "server/console/helplinks.h"
#include "server/portmap/roomaddress.h"
#include "server/texts/messages.h"

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
    m_upnpBox = new QCheckBox(msg::AutoOpenPort, this);
    m_upnpBox->setObjectName(QStringLiteral("chkUpnp"));
    m_upnpBox->setChecked(loadPortMapSetting());
    m_lanAddressLabel = valueLabel(QStringLiteral("lblLanAddress"), this);
    m_externalAddressLabel = valueLabel(QStringLiteral("lblExternalAddress"), this);
    m_mappingStateLabel = valueLabel(QStringLiteral("lblMappingState"), this);
    m_reachabilityLabel = valueLabel(QStringLiteral("reachabilityLabel"), this);
    m_browserLinkLabel = valueLabel(QStringLiteral("lblWebLink"), this);
    // The lobby's answer is the check; this says what to do when it is no.
    auto *portHelpLink = new QLabel(
        QStringLiteral("<a href=\"%1\">%2</a>").arg(HostingSection, msg::PortHelpLink.toHtmlEscaped()), this);
    portHelpLink->setObjectName(QStringLiteral("portCheckerLink"));
    portHelpLink->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(portHelpLink, &QLabel::linkActivated, this,
            [](const QString &section) { openUrl(helpPageUrl(section)); });
    m_copyButton = new QPushButton(msg::CopyInvitation, this);
    m_copyButton->setObjectName(QStringLiteral("cmdCopyInvitation"));
    m_copyButton->setToolTip(msg::CopyInvitationTip);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 6);
    layout->addWidget(m_upnpBox);
    m_form = new QFormLayout;
    m_form->setVerticalSpacing(2);
    m_form->addRow(msg::LanAddressCaption, m_lanAddressLabel);
    m_form->addRow(msg::ExternalAddressCaption, m_externalAddressLabel);
    m_form->addRow(msg::MappingStateCaption, m_mappingStateLabel);
    m_form->addRow(msg::ReachabilityCaption, m_reachabilityLabel);
    m_form->addRow(msg::WebLinkCaption, m_browserLinkLabel);
    layout->addLayout(m_form);
    auto *row = new QHBoxLayout;
    row->addWidget(portHelpLink);
    row->addStretch();
    row->addWidget(m_copyButton);
    layout->addLayout(row);

    connect(m_copyButton, &QPushButton::clicked, this, &AddressPanel::copyInvitation);
    PortMapStatus before;
    before.lanAddress = guessLanAddress();
    connect(m_upnpBox, &QCheckBox::toggled, this, [this, before] {
        if (!m_mapper) showStatus(before);
    });
    showStatus(before);
    showReachability(LobbyLink::Reachability::Unknown);
}

void AddressPanel::setOptions(const PortMapConfig &options)
{
    m_options = options;
    if (!options.enabled) {
        m_upnpBox->setChecked(false);
        m_upnpBox->setEnabled(false);
        m_upnpBox->setToolTip(msg::NoUpnpTip);
    }
}

void AddressPanel::serverStarted(quint16 port, bool browserPlay)
{
    if (m_mapper) return;
    m_port = port;
    m_browserPlay = browserPlay;
    PortMapConfig config = m_options;
    // An option holds for this run only; the box is stored when the host chose it.
    if (m_options.enabled) savePortMapSetting(m_upnpBox->isChecked());
    config.enabled = m_upnpBox->isChecked();
    m_upnpBox->setEnabled(false);
    m_mapper = new PortMapper(config, this);
    connect(m_mapper, &PortMapper::statusChanged, this, &AddressPanel::showStatus);
    m_mapper->start(port);
}

void AddressPanel::showStatus(const PortMapStatus &status)
{
    const bool started = status.port != 0;
    // Before the start the port is not settled yet: the host alone.
    m_lanAddressLabel->setText(started || status.lanAddress.isEmpty() ? lanAddressText(status)
                                                                      : status.lanAddress);
    m_externalAddressLabel->setText(externalAddressText(status));
    m_mappingStateLabel->setText(!started && !m_upnpBox->isChecked() ? msg::MappingOff : status.stateText());
    QPalette pal = m_mappingStateLabel->palette();
    const bool bad =
        status.state == PortMapStatus::State::NoRouter || status.state == PortMapStatus::State::Refused;
    const bool good = status.state == PortMapStatus::State::Open;
    pal.setColor(QPalette::WindowText, good  ? QColor(0, 128, 0)
                                       : bad ? QColor(176, 0, 0)
                                             : palette().color(QPalette::WindowText));
    m_mappingStateLabel->setPalette(pal);
    m_copyButton->setEnabled(started);
    const bool web = started && m_browserPlay;
    m_browserLinkLabel->setText(web ? browserLink(invitationAddress(status)) : msg::UnknownAddress);
    // Without the web player the row has nothing to say.
    m_form->setRowVisible(m_browserLinkLabel, !started || m_browserPlay);
}

void AddressPanel::showReachability(LobbyLink::Reachability state)
{
    // Our own words rather than the lobby's: the lobby is somebody else's server.
    using R = LobbyLink::Reachability;
    m_reachabilityLabel->setText(state == R::Reachable     ? msg::ReachableNotice
                                 : state == R::Unreachable ? msg::unreachableNotice(m_port)
                                                           : msg::ReachabilityUnknown);
    QPalette pal = m_reachabilityLabel->palette();
    pal.setColor(QPalette::WindowText, state == R::Reachable     ? QColor(0, 128, 0)
                                       : state == R::Unreachable ? QColor(176, 0, 0)
                                                                 : palette().color(QPalette::WindowText));
    m_reachabilityLabel->setPalette(pal);
}

void AddressPanel::copyInvitation()
{
    if (!m_mapper) return;
    QGuiApplication::clipboard()->setText(invitationText(m_mapper->status(), m_browserPlay));
    m_copyButton->setText(msg::Copied);
    QTimer::singleShot(2000, m_copyButton, [button = m_copyButton] { button->setText(msg::CopyInvitation); });
}

} // namespace zb
