#pragma once
// The volumes that stand in for drives: every mounted file system is one
// "drive", shown in the drive box by its root path and its name.

#include <QString>
#include <vector>

namespace varnello {

struct Volume
{
    QString Root;      // absolute, clean, without a trailing separator except "/"
    QString Name;      // the file system's label, may be empty
    bool Ready = true; // false when the medium cannot be read
};

using VolumeList = std::vector<Volume>;

// The mounted, valid volumes of the machine, the root "/" first.
VolumeList MountedVolumes();

// Index of the volume whose root is the longest leading part of `path`
// (whole path components only), or -1 when no volume holds it.
int VolumeIndexOf(const VolumeList& volumes, const QString& path);

// True when `path` equals `root` or lies below it.
bool PathIsOnRoot(const QString& path, const QString& root);

// Absolute, clean form of a folder path: "/a/b/" and "/a/./b" give "/a/b".
QString CleanFolder(const QString& path);

// "root [NAME]", or the root alone for a volume without a label.
QString VolumeCaption(const Volume& volume);

} // namespace varnello
