#include "TFileListBox.h"

#include "FolderReader.h"
#include "Ui.h"
#include "Volume.h"

namespace varnello {

namespace {

std::string ToFileSystem(const QString& path)
{
    return ui::PathFromQt(path);
}

QString FromFileSystem(const std::string& name)
{
    return ui::PathToQt(name);
}

} // namespace

TFileListBox::TFileListBox(QWidget* parent)
    : QListView(parent), m_model(new QStringListModel(this)),
      m_lister([this](const std::string& folder) {
          ShowNames(folder, FolderReader::ListMp3Names(folder));
      })
{
    setObjectName(QStringLiteral("clsFileListBox"));
    setModel(m_model);
    // It only feeds the file table; the user never sees it.
    setVisible(false);
}

QStringList TFileListBox::Names() const
{
    return m_model->stringList();
}

void TFileListBox::SetDirectory(const QString& folder)
{
    const QString clean = CleanFolder(folder);
    if (clean == m_directory) {
        return;
    }
    m_directory = clean;
    m_folder = ToFileSystem(clean);
    Update();
}

void TFileListBox::Update()
{
    if (m_directory.isEmpty()) {
        ShowNames(m_folder, {});
        return;
    }
    m_lister(m_folder);
}

void TFileListBox::ShowNames(const std::string& folder, const std::vector<std::string>& names)
{
    if (folder != m_folder) {
        return;
    }
    QStringList items;
    items.reserve(static_cast<qsizetype>(names.size()));
    for (const std::string& name : names) {
        items.append(FromFileSystem(name));
    }
    m_model->setStringList(items);
    ++m_readCount;
    emit Change();
}

} // namespace varnello
