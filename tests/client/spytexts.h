#pragma once

#include <QSignalSpy>
#include <QStringList>

// The first argument of every signal a spy recorded, as text.
inline QStringList texts(const QSignalSpy &spy)
{
    QStringList out;
    for (const QList<QVariant> &args : spy)
        out << args.at(0).toString();
    return out;
}
