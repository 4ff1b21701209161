#include "TFileList.h"

#include <utility>

namespace varnello {

TFileList::TFileList(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("clsFileListBox"));
    hide();
}

void TFileList::Assign(std::string folder, std::vector<std::string> names)
{
    m_folder = std::move(folder);
    m_names = std::move(names);
    emit Changed();
}

} // namespace varnello
