#include "shared/settingsstore.h"

#include "shared/messages.h"

#include <QSettings>
#include <memory>

namespace zb {

namespace {
QString &overrideFile()
{
    static QString file;
    return file;
}

std::unique_ptr<QSettings> open()
{
    std::unique_ptr<QSettings> s;
    if (!overrideFile().isEmpty())
        s = std::make_unique<QSettings>(overrideFile(), QSettings::IniFormat);
    else
        s = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, msg::ProgramName,
                                        msg::ProgramName);
    s->beginGroup(QStringLiteral("Option"));
    return s;
}
} // namespace

QString SettingsStore::read(const QString &key)
{
    return open()->value(key).toString();
}

void SettingsStore::write(const QString &key, const QString &value)
{
    auto s = open();
    s->setValue(key, value);
    s->sync();
}

bool SettingsStore::readInt(const QString &key, int &value)
{
    bool ok = false;
    const int v = read(key).trimmed().toInt(&ok);
    if (ok) value = v;
    return ok;
}

bool SettingsStore::readInt16(const QString &key, int &value)
{
    bool ok = false;
    const short v = read(key).trimmed().toShort(&ok);
    if (ok) value = v;
    return ok;
}

void SettingsStore::setFile(const QString &path)
{
    overrideFile() = path;
}

QString SettingsStore::location()
{
    auto s = open();
    return s->fileName();
}

} // namespace zb
