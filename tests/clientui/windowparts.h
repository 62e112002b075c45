#pragma once

#include <QByteArray>
#include <QWidget>

// A part of a window, found by its object name (a row's parts by name and
// index); a missing part ends the test run at once, naming it.
template <typename T> T *part(const QWidget *window, const char *name, int index = -1)
{
    QByteArray full(name);
    if (index >= 0) full += QByteArray::number(index);
    T *found = window->findChild<T *>(QString::fromLatin1(full));
    if (!found) qFatal("no part %s of type %s", full.constData(), T::staticMetaObject.className());
    return found;
}
