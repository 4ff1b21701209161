#include "Volume.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <algorithm>

namespace varnello {

VolumeList MountedVolumes()
{
    VolumeList volumes;
    const QList<QStorageInfo> mounted = QStorageInfo::mountedVolumes();
    for (const QStorageInfo& info : mounted) {
        if (!info.isValid()) {
            continue;
        }
        volumes.push_back(Volume{CleanFolder(info.rootPath()), info.name(), info.isReady()});
    }
    // Roots sorted by path put "/" first, so the drive box opens with the
    // system volume at the top.
    std::sort(volumes.begin(), volumes.end(),
              [](const Volume& a, const Volume& b) { return a.Root < b.Root; });
    volumes.erase(std::unique(volumes.begin(), volumes.end(),
                              [](const Volume& a, const Volume& b) { return a.Root == b.Root; }),
                  volumes.end());
    return volumes;
}

bool PathIsOnRoot(const QString& path, const QString& root)
{
    if (root.isEmpty() || !path.startsWith(root)) {
        return false;
    }
    // "/media/usb" holds "/media/usb/x" but not "/media/usbx".
    return path.size() == root.size() || root.endsWith(QLatin1Char('/')) ||
           path.at(root.size()) == QLatin1Char('/');
}

int VolumeIndexOf(const VolumeList& volumes, const QString& path)
{
    int best = -1;
    for (int i = 0; i < static_cast<int>(volumes.size()); ++i) {
        const QString& root = volumes[static_cast<std::size_t>(i)].Root;
        if (PathIsOnRoot(path, root) &&
            (best < 0 || root.size() > volumes[static_cast<std::size_t>(best)].Root.size())) {
            best = i;
        }
    }
    return best;
}

QString CleanFolder(const QString& path)
{
    if (path.isEmpty()) {
        return path;
    }
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

QString VolumeCaption(const Volume& volume)
{
    if (volume.Name.isEmpty()) {
        return volume.Root;
    }
    return volume.Root + QStringLiteral(" [") + volume.Name.toUpper() + QLatin1Char(']');
}

} // namespace varnello
