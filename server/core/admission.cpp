#include "server/core/admission.h"

#include "server/core/banlist.h"
#include "server/core/playertable.h"
#include "server/core/serversettings.h"
#include "server/texts/messages.h"
#include "shared/addresskey.h"
#include "shared/protocol.h"
#include "shared/textclean.h"
#include "shared/version.h"

namespace zb {

namespace {
const QString kVersion = QString::fromLatin1(ProtocolVersion);
const QString kNull = QStringLiteral("null");
} // namespace

QString Admission::screen(const QHostAddress &peer, bool &logIt)
{
    // A banned address is told nothing; an address joins one connection at a
    // time, so that it cannot hold every free slot, and only so often. An
    // IPv6 address counts as its /64, which its owner holds whole.
    const QString key = addressKey(peer);
    const int connects = m_connects.take(key);
    // A program reconnecting in a loop is logged once, not at every attempt.
    logIt = connects <= ConnectGuard::MaxConnects + 1;
    if (connects > ConnectGuard::MaxConnects) return msg::TooManyConnections;
    if (BanList::isBanned(peer)) return msg::BannedKick;
    if (joiningFrom(key)) return msg::SameAddressKick;
    return QString();
}

bool Admission::joiningFrom(const QString &key) const
{
    for (int i = 0; i < PlayerTable::Slots; ++i) {
        const Seat *seat = m_host.seatAt(i);
        if (seat && seat->state == Seat::State::Joining && seat->key() == key) return true;
    }
    return false;
}

void Admission::tick()
{
    m_connects.tick();
    if (m_passwordNoticeTicks > 0 && --m_passwordNoticeTicks == 0 && m_passwordsRefused > 0) {
        m_host.noticeToSeated(msg::passwordMismatchNotice(m_passwordsRefused));
        m_passwordsRefused = 0;
        m_passwordNoticeTicks = PasswordNoticeTicks;
    }
}

void Admission::handle(int slot, const QString &command, const QString &payload)
{
    Seat *seat = m_host.seatAt(slot);
    if (!seat || seat->state != Seat::State::Joining) return;
    if (command == cmd::Password && !seat->heardPassword) {
        seat->heardPassword = true;
        password(slot, payload);
    } else if (command == cmd::Version && !seat->heardVersion) {
        seat->heardVersion = true;
        version(slot, payload);
    } else if (command == cmd::Name) {
        name(slot, payload);
    }
}

void Admission::password(int slot, const QString &text)
{
    const QString &expected = m_host.roomSettings().password;
    if (expected.isEmpty()) return;
    if (text == expected) {
        m_host.logFrom(slot, msg::passwordMatched(slot));
        return;
    }
    m_host.seatAt(slot)->refusal = Seat::Refusal::Password;
    m_host.logFrom(slot, msg::passwordWrong(slot));
    // The room hears of it, but a program guessing in a loop cannot make it
    // speak more than once a window; the refused player reads NSP instead.
    if (m_passwordNoticeTicks == 0) {
        m_host.noticeToSeated(msg::PasswordMismatchNotice);
        m_passwordNoticeTicks = PasswordNoticeTicks;
    } else {
        ++m_passwordsRefused;
    }
    m_host.setMark(slot, cmd::Password);
    m_host.sendTo(slot, cmd::WrongPassword, kNull);
}

void Admission::version(int slot, const QString &text)
{
    Seat *seat = m_host.seatAt(slot);
    m_host.logFrom(slot, msg::clientVersion(slot, loggedText(text)));
    seat->version = text;
    if (text != kVersion) {
        // Told to the connection alone: a stranger makes the room say nothing.
        if (seat->refusal == Seat::Refusal::None) seat->refusal = Seat::Refusal::Version;
        m_host.logFrom(slot, msg::VersionMismatch);
        m_host.sendTo(slot, cmd::System, msg::versionAdvice(kVersion));
        m_host.setMark(slot, cmd::Version);
        m_host.sendTo(slot, cmd::WrongVersion, kNull);
        return;
    }
    m_host.logFrom(slot, msg::versionMatched(slot));
    m_host.sendTo(slot, cmd::SlotNumber, QString::number(slot));
    if (m_host.gameRunning()) {
        // A newcomer to a running game is drawn into the turn order at once.
        m_host.sendTo(slot, cmd::GameRunning, kNull);
        m_host.setMark(slot, QStringLiteral("OK"));
        m_host.sendMarks(slot);
    }
}

void Admission::name(int slot, const QString &payload)
{
    const QString cleaned = cleanName(payload);
    // Nothing usable: the connection stays joining until its time-out.
    if (cleaned.isEmpty()) return;
    Seat *seat = m_host.seatAt(slot);
    seat->joinTicks = -1;
    if (m_host.seatedCount() >= m_host.roomSettings().playerMax()) {
        // Joins that arrive in a burst were all accepted while seats were free.
        m_host.logFrom(slot, msg::RoomFullSent);
        m_host.turnAway(slot, msg::RoomFullNotice);
        return;
    }
    // Every refusal comes before the name is taken: a connection that was
    // never seated makes the room announce nothing.
    const QString why = refusal(slot);
    if (why.isEmpty()) {
        m_host.seatPlayer(slot, cleaned);
        return;
    }
    m_host.logFrom(slot, msg::clientName(slot, cleaned));
    m_host.logFrom(slot, seat->addressText());
    m_host.logFrom(slot, why);
    QString reason;
    if (why == msg::BannedKick)
        reason = msg::BannedReason;
    else if (why == msg::SameAddressKick)
        reason = msg::SameAddressReason;
    m_host.turnAway(slot, reason);
}

QString Admission::refusal(int slot)
{
    Seat *seat = m_host.seatAt(slot);
    if (BanList::isBanned(seat->address())) return msg::BannedKick;
    if (!m_host.roomSettings().allowSameAddress) {
        for (int i = 0; i < PlayerTable::Slots; ++i) {
            const Seat *other = m_host.seatAt(i);
            if (i != slot && other && other->isOpen() && other->key() == seat->key())
                return msg::SameAddressKick;
        }
    }
    if (seat->version != kVersion) return msg::VersionKick;
    if (!m_host.roomSettings().password.isEmpty() && !seat->heardPassword) {
        // No password at all is a wrong one.
        seat->heardPassword = true;
        password(slot, QString());
    }
    return seat->refusal == Seat::Refusal::Password ? msg::PasswordKick : QString();
}

} // namespace zb
