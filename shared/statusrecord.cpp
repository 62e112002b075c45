#include "statusrecord.h"

#include "textutil.h"

namespace zb {

StatusRecord &StatusRecord::add(const QString &key, const QString &value)
{
    m_text += key + value + QLatin1Char('&');
    return *this;
}

QString StatusRecord::encoded() const
{
    return UrlEncode(m_text);
}

QString StatusRecord::field(const QString &record, const QString &key)
{
    return GetBetween(record, key, QStringLiteral("&"));
}

QString StatusRecord::decode(const QString &encoded)
{
    return UrlDecodeText(encoded);
}

} // namespace zb
