#include "client/core/playerlist.h"

#include "client/core/messages.h"
#include "shared/protocol.h"
#include "shared/stroke.h"

#include <QStringList>

namespace zb {

namespace {
template <typename Store> bool readList(const QString &payload, Store store)
{
    const QStringList fields = payload.split(QLatin1Char(':'));
    for (int i = 0; i < SlotCount; ++i) {
        if (i >= fields.size() || !store(i, fields.at(i))) return false;
    }
    return true;
}
} // namespace

bool PlayerList::setNames(const QString &payload)
{
    return readList(payload, [this](int i, const QString &f) {
        m_names[i] = f;
        return true;
    });
}

bool PlayerList::setReady(const QString &payload)
{
    return readList(payload, [this](int i, const QString &f) {
        m_ready[i] = f;
        return true;
    });
}

bool PlayerList::setScores(const QString &payload)
{
    return readList(payload, [this](int i, const QString &f) {
        bool ok = false;
        const int v = f.trimmed().toInt(&ok);
        if (ok) m_scores[i] = v;
        return ok;
    });
}

void PlayerList::clearNames()
{
    for (QString &n : m_names)
        n.clear();
}

int PlayerList::playerCount() const
{
    int n = 0;
    for (const QString &name : m_names)
        n += name.isEmpty() ? 0 : 1;
    return n;
}

ReadyLabel readyLabelFor(const QString &name, const QString &mark)
{
    if (name.isEmpty()) return {msg::EmptySeat, colorValue(0, 0, 0)};
    if (mark == QLatin1String("OK")) return {msg::Ready, colorValue(0, 0, 255)};
    if (mark == cmd::Version) return {msg::VersionMismatch, colorValue(255, 0, 0)};
    if (mark == cmd::Password) return {msg::PasswordMismatch, colorValue(255, 0, 0)};
    return {msg::NotReady, colorValue(128, 128, 255)};
}

} // namespace zb
