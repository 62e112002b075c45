#include "shared/stroke.h"

#include <QStringView>
#include <cmath>

namespace zb {

int paletteIndexOf(int value)
{
    for (int i = PaletteSize - 1; i >= 0; --i) {
        if (PaletteValues[i] == value) return i;
    }
    return 0;
}

QString formatCoord(double v)
{
    const float f = static_cast<float>(v);
    if (std::isfinite(f) && f == std::floor(f) && std::fabs(f) < 1e9f)
        return QString::number(static_cast<qint64>(f));
    return QString::number(f, 'g', 7);
}

QString formatPoint(double x, double y)
{
    return formatCoord(x) + QLatin1Char(',') + formatCoord(y);
}

QString encodeStroke(int color, int width, const QList<QPointF> &points)
{
    QString s;
    s.reserve(16 + points.size() * 8);
    s += QString::number(color);
    s += QLatin1Char(':');
    s += QString::number(width);
    s += QLatin1Char(':');
    for (const QPointF &p : points) {
        s += formatPoint(p.x(), p.y());
        s += QLatin1Char(';');
    }
    return s;
}

namespace {
bool readPoint(QStringView piece, QPointF &p)
{
    const qsizetype comma = piece.indexOf(QLatin1Char(','));
    if (comma < 0) return false;
    bool okx = false, oky = false;
    const double x = piece.left(comma).trimmed().toDouble(&okx);
    const double y = piece.mid(comma + 1).trimmed().toDouble(&oky);
    if (!okx || !oky || !std::isfinite(x) || !std::isfinite(y)) return false;
    // Far-off points only waste time when drawn; keep them near the canvas.
    p = QPointF(qBound(-10000.0, x, 10000.0), qBound(-10000.0, y, 10000.0));
    return true;
}
} // namespace

Stroke decodeStroke(const QString &payload)
{
    Stroke s;
    const QStringView text(payload);
    const qsizetype c1 = text.indexOf(QLatin1Char(':'));
    const qsizetype c2 = c1 < 0 ? -1 : text.indexOf(QLatin1Char(':'), c1 + 1);
    if (c2 < 0) return s;
    bool ok = false;
    s.color = text.left(c1).trimmed().toInt(&ok);
    if (!ok) return s;
    const int width = text.mid(c1 + 1, c2 - c1 - 1).trimmed().toShort(&ok);
    if (!ok) return s;
    s.width = width;
    qsizetype end = text.indexOf(QLatin1Char(':'), c2 + 1);
    if (end < 0) end = text.size();
    QStringView list = text.mid(c2 + 1, end - c2 - 1);
    s.points.reserve(list.size() / 8 + 1);
    qsizetype pos = 0;
    while (pos < list.size()) {
        qsizetype semi = list.indexOf(QLatin1Char(';'), pos);
        if (semi < 0) semi = list.size();
        QPointF p;
        if (!readPoint(list.mid(pos, semi - pos), p)) return s;
        s.points.append(p);
        pos = semi + 1;
    }
    s.ok = true;
    return s;
}

bool decodeFill(const QString &payload, int &index)
{
    bool ok = false;
    const int i = payload.trimmed().toInt(&ok);
    if (!ok || i < 0 || i >= PaletteSize) return false;
    index = i;
    return true;
}

} // namespace zb
