#pragma once

#include <QHash>
#include <QSet>
#include <QString>

namespace zb {

// The names of the players in the lobby, each held by one player: a name
// already taken becomes the first free "name(2)", "name(3)", … cut to the
// longest name. Each announced name keeps where its search for a free variant
// stopped, so a crowd announcing one name costs a look-up or two each instead
// of a search through every name taken.
class LobbyNames {
  public:
    // Takes the name or its first free variant, and returns what was taken.
    QString take(const QString &name);
    // Frees a name that take() returned.
    void release(const QString &taken);
    int size() const { return int(m_taken.size()); }

  private:
    struct Base {
        int next = 2; // no variant below this number is free
        int holders = 0;
    };
    struct Holder {
        QString base;
        int number = 1; // 1: the name as announced
    };
    static QString variant(const QString &base, int number);

    QHash<QString, Holder> m_taken;
    QHash<QString, Base> m_bases;
};

} // namespace zb
