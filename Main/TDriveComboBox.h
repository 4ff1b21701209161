#pragma once
// The drive box of the directory panel: one entry per volume. Its value is
// the root of the chosen volume; it reports every change of that value, made
// by the user or by the program, through Change().

#include "Volume.h"

#include <QComboBox>

namespace varnello {

class TDriveComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit TDriveComboBox(QWidget* parent = nullptr);

    // Replaces the listed volumes; the box then stands on the volume of
    // `pathToShow` without reporting a change.
    void SetVolumes(VolumeList volumes, const QString& pathToShow);
    const VolumeList& Volumes() const { return m_volumes; }

    // Root of the chosen volume; empty when none is listed.
    QString Drive() const;
    const Volume* CurrentVolume() const;

    // Chooses the volume holding `path`. Reports a change when that is
    // another volume; false when no volume holds the path.
    bool SetDriveOf(const QString& path);
    // The same without reporting, used to put the box back after an error.
    void ShowDriveOf(const QString& path);

signals:
    void Change();

private:
    void ClsIndexChanged(int index);

    VolumeList m_volumes;
    bool m_quiet = false;
};

} // namespace varnello
