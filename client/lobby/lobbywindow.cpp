#include "lobbywindow.h"

namespace zb {

namespace {
QString &addressOverride()
{
    static QString a;
    return a;
}
} // namespace

LobbyWindow::LobbyWindow(QWidget *parent) : QWidget(parent) {}

void LobbyWindow::setAddressOverride(const QString &hostPort)
{
    addressOverride() = hostPort;
}

void LobbyWindow::setGameConnectionOpen(bool) {}

} // namespace zb
