#include "client/core/chatsender.h"

namespace zb {

QString prepareChatText(const QString &input, bool isDrawer, const QString &word)
{
    QString text = input;
    text.remove(QStringLiteral("\r\n"));
    if (isDrawer && !word.isEmpty()) text.replace(word, QString(word.size(), QChar(0x25CB)));
    return text;
}

ActivityWatch::Tick ActivityWatch::tick(bool connected, int playerCount)
{
    Tick result = Tick::Nothing;
    if (connected && playerCount > 1) {
        ++m_idleCount;
        if (m_idleCount == IdleWarning) result = Tick::IdleWarning;
    }
    if (m_idleCount >= IdleLimit) {
        m_idleCount = 0;
        result = Tick::IdleCut;
    }
    if (m_sendCount > 0) --m_sendCount;
    return result;
}

bool ActivityWatch::mustCutAfterSend()
{
    ++m_sendCount;
    if (m_sendCount >= SendLimit) {
        m_sendCount = 0;
        return true;
    }
    return false;
}

} // namespace zb
