#include "app/SettingsStore.h"

namespace {
QString keyOf(const QString &section) { return section + QStringLiteral("/Value"); }
}  // namespace

SettingsStore::SettingsStore() : settings_(QSettings::IniFormat, QSettings::UserScope, Organisation, Application) {}

QString SettingsStore::read(const QString &section, const QString &defaultValue) const
{
    settings_.sync();
    const QVariant v = settings_.value(keyOf(section));
    return v.isValid() ? v.toString() : defaultValue;
}

void SettingsStore::write(const QString &section, const QString &value)
{
    settings_.setValue(keyOf(section), value);
    // On disk at once: the Exit button ends the program without a chance to flush.
    settings_.sync();
}

bool SettingsStore::contains(const QString &section) const
{
    settings_.sync();
    return settings_.contains(keyOf(section));
}
