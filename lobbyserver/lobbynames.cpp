#include "lobbyserver/lobbynames.h"

#include "shared/textclean.h"

namespace zb {

QString LobbyNames::variant(const QString &base, int number)
{
    const QString suffix = QLatin1Char('(') + QString::number(number) + QLatin1Char(')');
    return base.left(qMax(0, MaxNameLength - int(suffix.size()))) + suffix;
}

QString LobbyNames::take(const QString &name)
{
    Base &base = m_bases[name];
    ++base.holders;
    if (!m_taken.contains(name)) {
        m_taken.insert(name, {name, 1});
        return name;
    }
    QString candidate = variant(name, base.next);
    while (m_taken.contains(candidate))
        candidate = variant(name, ++base.next);
    m_taken.insert(candidate, {name, base.next});
    ++base.next;
    return candidate;
}

void LobbyNames::release(const QString &taken)
{
    const auto holder = m_taken.constFind(taken);
    if (holder == m_taken.cend()) return;
    const auto base = m_bases.find(holder->base);
    if (base != m_bases.end()) {
        if (holder->number > 1) base->next = qMin(base->next, holder->number);
        if (--base->holders <= 0) m_bases.erase(base);
    }
    m_taken.erase(holder);
}

} // namespace zb
