#include "shared/statusrecord.h"

#include "shared/textutil.h"

namespace zb {

StatusRecord &StatusRecord::add(const QString &key, const QString &value)
{
    m_text += key + value + QLatin1Char('&');
    return *this;
}

QString StatusRecord::encoded() const
{
    return urlEncode(m_text);
}

QString StatusRecord::field(const QString &record, const QString &key)
{
    return textBetween(record, key, QStringLiteral("&"));
}

QString StatusRecord::decode(const QString &encoded)
{
    return urlDecodeText(encoded);
}

} // namespace zb
