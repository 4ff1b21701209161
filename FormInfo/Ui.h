#pragma once
// The one place where the windows turn the core's strings into Qt strings and
// back: tag texts are UTF-8; paths and file names are in the file system's
// own encoding and keep their bytes through a round trip (on Windows the core
// takes paths as UTF-8 and turns them into the system's UTF-16 itself).

#include <QByteArray>
#include <QFile>
#include <QString>
#include <string>

namespace varnello::ui {

inline QString ToQt(const std::string& utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

inline std::string ToUtf8(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

inline QByteArray ToBytes(const std::string& bytes)
{
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

inline std::string FromBytes(const QByteArray& bytes)
{
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

inline QString PathToQt(const std::string& path)
{
#ifdef Q_OS_WIN
    return ToQt(path);
#else
    return QFile::decodeName(ToBytes(path));
#endif
}

inline std::string PathFromQt(const QString& path)
{
#ifdef Q_OS_WIN
    return ToUtf8(path);
#else
    return FromBytes(QFile::encodeName(path));
#endif
}

} // namespace varnello::ui
