#include "TDriveComboBox.h"

#include <utility>

namespace varnello {

TDriveComboBox::TDriveComboBox(QWidget* parent) : QComboBox(parent)
{
    setEditable(false);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(4);
    connect(this, &QComboBox::currentIndexChanged, this, &TDriveComboBox::ClsIndexChanged);
}

void TDriveComboBox::SetVolumes(VolumeList volumes, const QString& pathToShow)
{
    m_quiet = true;
    m_volumes = std::move(volumes);
    clear();
    for (const Volume& volume : m_volumes) {
        addItem(VolumeCaption(volume), volume.Root);
    }
    setCurrentIndex(VolumeIndexOf(m_volumes, CleanFolder(pathToShow)));
    m_quiet = false;
}

QString TDriveComboBox::Drive() const
{
    const Volume* volume = CurrentVolume();
    return volume != nullptr ? volume->Root : QString();
}

const Volume* TDriveComboBox::CurrentVolume() const
{
    const int index = currentIndex();
    if (index < 0 || index >= static_cast<int>(m_volumes.size())) {
        return nullptr;
    }
    return &m_volumes[static_cast<std::size_t>(index)];
}

bool TDriveComboBox::SetDriveOf(const QString& path)
{
    const int index = VolumeIndexOf(m_volumes, CleanFolder(path));
    if (index < 0) {
        return false;
    }
    setCurrentIndex(index);
    return true;
}

void TDriveComboBox::ShowDriveOf(const QString& path)
{
    m_quiet = true;
    setCurrentIndex(VolumeIndexOf(m_volumes, CleanFolder(path)));
    m_quiet = false;
}

void TDriveComboBox::ClsIndexChanged(int /*index*/)
{
    if (!m_quiet) {
        emit Change();
    }
}

} // namespace varnello
