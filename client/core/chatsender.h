#pragma once

#include <QString>

namespace zb {

// The text a chat input turns into before it is sent: line breaks removed,
// and for the drawer every occurrence of the word masked by "○".
QString prepareChatText(const QString &input, bool isDrawer, const QString &word);

// Counts the player's idleness and the rate of chat lines and fills; both are
// grounds for cutting the connection.
class ActivityWatch {
  public:
    static constexpr int IdleLimit = 600;
    // A minute before the cut the player is warned, while there is time to act.
    static constexpr int IdleWarning = IdleLimit - 60;
    static constexpr int SendLimit = 5;

    enum class Tick { Nothing, IdleWarning, IdleCut };

    // One second of the idle timer.
    Tick tick(bool connected, int playerCount);
    // One chat line or fill sent; true when it is one too many.
    bool mustCutAfterSend();
    void userActed() { m_idleCount = 0; }

    int idleCount() const { return m_idleCount; }
    int sendCount() const { return m_sendCount; }

  private:
    int m_idleCount = 0;
    int m_sendCount = 0;
};

} // namespace zb
