#include "server/cli/operatorinput.h"

#include "server/cli/headlessrun.h"
#include "server/cli/servercommandline.h"
#include "server/core/gameserver.h"
#include "server/core/roundengine.h"
#include "server/texts/messages.h"
#include "shared/textclean.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace zb {

OperatorInput::OperatorInput(GameServer &server, int fd)
    : m_server(server), m_fd(fd), m_notifier(fd, QSocketNotifier::Read)
{
    connect(&m_notifier, &QSocketNotifier::activated, this, &OperatorInput::readInput);
}

// Reads what has arrived without blocking, and without making the terminal's
// input non-blocking for the shell that started us.
void OperatorInput::readInput()
{
    int available = 0;
    if (::ioctl(m_fd, FIONREAD, &available) < 0) available = 0;
    QByteArray chunk(qBound(1, available, 64 * 1024), Qt::Uninitialized);
    const ssize_t n = ::read(m_fd, chunk.data(), size_t(chunk.size()));
    if (n <= 0) {
        // End of input (or none at all, as under a service manager).
        m_notifier.setEnabled(false);
        return;
    }
    m_pending.append(chunk.constData(), n);
    qsizetype end;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        const bool tooLong = m_discarding || end > MaxLineBytes;
        if (tooLong && !m_discarding) reportTooLong();
        m_discarding = false;
        const QByteArray bytes = m_pending.left(end);
        m_pending.remove(0, end + 1);
        if (tooLong) continue;
        const QString line = QString::fromLocal8Bit(bytes).trimmed();
        if (!line.isEmpty()) run(line);
    }
    // A pipe that never sends a line break must not grow without end.
    if (m_pending.size() > MaxLineBytes) {
        if (!m_discarding) reportTooLong();
        m_discarding = true;
        m_pending.clear();
    }
}

void OperatorInput::reportTooLong()
{
    printError(QStringLiteral("operator command longer than %1 bytes ignored").arg(MaxLineBytes));
}

void OperatorInput::run(const QString &line)
{
    const QString word = line.section(QLatin1Char(' '), 0, 0);
    const QString rest = line.section(QLatin1Char(' '), 1).trimmed();
    if (word == QLatin1String("say")) {
        m_server.announce(rest);
        return;
    }
    if (word == QLatin1String("kick") || word == QLatin1String("ban")) {
        bool ok = false;
        const int slot = rest.toInt(&ok);
        if (ok && slot >= 0 && slot < Seats::Slots) {
            m_server.kick(slot, word == QLatin1String("ban"));
            return;
        }
        printError(msg::slotNumberNeeded(word, Seats::Slots - 1));
        return;
    }
    if (word == QLatin1String("players")) {
        listPlayers();
        return;
    }
    if (word == QLatin1String("help")) {
        for (const QString &text : msg::OperatorHelp)
            printLogLine(text);
        return;
    }
    printError(msg::unknownOperatorCommand(escapeControlChars(word)));
}

// Every busy slot, joining connections too: `kick N` takes any of them.
void OperatorInput::listPlayers()
{
    QStringList rows;
    const Seats &seats = m_server.seats();
    for (int slot = 0; slot < Seats::Slots; ++slot) {
        if (!seats.busy(slot)) continue;
        const QString name = seats.name(slot);
        // Names and marks come from the network: no raw control characters on the terminal.
        rows << msg::playerRow(slot, name.isEmpty() ? msg::NoNameYet : escapeControlChars(name),
                               seats.addressText(slot), m_server.round().score(slot),
                               escapeControlChars(seats.mark(slot)));
    }
    if (rows.isEmpty())
        rows << msg::NoPlayers;
    else
        rows.prepend(msg::PlayersHeading);
    for (const QString &row : rows)
        printLogLine(row);
}

} // namespace zb
