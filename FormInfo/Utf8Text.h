#pragma once
// The one place where the editors turn the core's UTF-8 strings into Qt
// strings and back.

#include <QString>
#include <string>

namespace varnello {

inline QString ToQt(const std::string& utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

inline std::string ToUtf8(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace varnello
