#pragma once
// The user's settings of the window (remembered options, columns, patterns);
// tests point them elsewhere with QSettings::setPath.

#include <QSettings>
#include <QString>

namespace varnello {

inline QSettings UserSettings()
{
    return QSettings(QStringLiteral("Varnello"), QStringLiteral("Varnello"));
}

} // namespace varnello
