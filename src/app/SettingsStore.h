#pragma once

#include <QSettings>
#include <QString>

// The per-user settings store: strings under (section, key "Value") of the organisation "RERozo",
// kept in an INI file of the user's configuration folder.
class SettingsStore {
public:
    SettingsStore();

    // The stored value, or defaultValue when the entry is absent (an entry saved empty reads empty).
    QString read(const QString &section, const QString &defaultValue) const;
    void write(const QString &section, const QString &value);
    bool contains(const QString &section) const;

    static inline const QString Organisation = QStringLiteral("RERozo");
    static inline const QString Application = QStringLiteral("Zevo");

private:
    mutable QSettings settings_;
};
