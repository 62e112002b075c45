#pragma once

#include <QString>

namespace zb {

// A record of "key=value&" fields as exchanged with the lobby. Keys are given
// with their "=". Values must not hold "&"; the record is URL-encoded whole.
class StatusRecord {
  public:
    StatusRecord &add(const QString &key, const QString &value);
    QString text() const { return m_text; }
    QString encoded() const;

    // The value after the first occurrence of key, up to the next "&".
    static QString field(const QString &record, const QString &key);
    static QString decode(const QString &encoded);

  private:
    QString m_text;
};

} // namespace zb
