#pragma once

#include <QFile>

// This process's anonymous resident memory (the heap, not mapped fonts) in
// KiB, or 0 where /proc does not tell.
inline qint64 residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("RssAnon:")) return line.mid(8).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

// What showing hostile text may cost at most; a label reading /dev/zero takes gigabytes.
constexpr qint64 HostileTextBudgetKiB = 64 * 1024;
