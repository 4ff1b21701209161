// The main window's tools for the whole table: the filter box, File >
// Export and Command > Number tracks.

#include "CoverPictures.h"
#include "CsvExport.h"
#include "FileFilter.h"
#include "FileTable.h"
#include "MainMenus.h"
#include "TFormMain.h"
#include "TListViewSort.h"
#include "Ui.h"
#include "WholeFile.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <cstdint>
#include <span>

namespace varnello {

namespace {

QString AskExportPath(QWidget* parent, const QString& suggestion)
{
    return QFileDialog::getSaveFileName(parent, TFormMain::tr("Export the table"), suggestion,
                                        TFormMain::tr("CSV files (*.csv)"));
}

} // namespace

void TFormMain::FilterBoxChanged(const QString& text)
{
    SavePendingContent();
    const std::vector<int> selected = clsLVFile->SelectedRows();
    filetable::ApplyFilter(*clsLVFile, text);
    // Selected rows the filter hides leave the selection without a report
    // of the selection's change.
    if (clsLVFile->SelectedRows() != selected) {
        UpdateModifyAction();
        m_menus.menuModifyMp3Info->setVisible(clsLVFile->HasSelection());
        if (clsLVFile->HasSelection()) {
            ShowContentInContentView();
        } else {
            ShowNoContent();
        }
    }
    ShowTableStatus();
}

void TFormMain::FocusFilterBox()
{
    FilterBox->setFocus(Qt::ShortcutFocusReason);
    FilterBox->selectAll();
}

void TFormMain::ShowTableStatus()
{
    if (clsLVFile->IsFiltered()) {
        ShowStatus(filetable::ShownText(*clsLVFile));
        return;
    }
    const int count = clsLVFile->Rows().RowCount();
    ShowStatus(count == 1 ? tr("%1: 1 MP3 file").arg(CurrentFolder())
                          : tr("%1: %2 MP3 files").arg(CurrentFolder()).arg(count));
}

void TFormMain::NumberTracks(bool withTotal)
{
    const std::vector<int> rows = clsLVFile->SelectedRows();
    if (rows.empty()) {
        return;
    }
    SavePendingContent();
    std::vector<FileRow> fileRows;
    std::vector<TagFields> values;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        fileRows.push_back(FileRowAt(rows[i]));
        TagFields numbered = fileRows.back().Fields;
        numbered.Track = std::to_string(i + 1);
        if (withTotal) {
            numbered.Track += "/" + std::to_string(rows.size());
        }
        values.push_back(std::move(numbered));
    }
    SaveMany(rows, std::move(fileRows), values, fieldmask::kTrack, {});
    ShowContentInContentView();
}

void TFormMain::ExportClick()
{
    const QDir folder(CurrentFolder());
    const QString name = m_currentFolder.empty() || folder.dirName().isEmpty()
                             ? QStringLiteral("table")
                             : folder.dirName();
    const auto& ask = m_hooks.SaveExport ? m_hooks.SaveExport : AskExportPath;
    const QString path = ask(this, folder.filePath(name + QStringLiteral(".csv")));
    if (path.isEmpty()) {
        return;
    }
    std::vector<FileRow> rows;
    for (int row : clsLVFile->ShownRows()) {
        rows.push_back(FileRowAt(row));
    }
    const int count = static_cast<int>(rows.size());
    ShowStatus(tr("Exporting %1 files to %2...").arg(count).arg(path));
    std::function<std::string()> work =
        [rows = std::move(rows),
         columns = filetable::ExportColumns(*clsLVFile, m_menus.GenreNamesAction->isChecked()),
         target = ui::PathFromQt(path)] {
            const std::string text = RowsToCsv(rows, columns);
            return WriteFileWhole(
                target, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
        };
    RunOffGuiThread<std::string>(this, std::move(work), [this, path, count](std::string reason) {
        if (reason.empty()) {
            ShowStatus(tr("Exported %1 files to %2").arg(count).arg(path));
        } else {
            ShowStatus(tr("%1 Not exported: %2: %3").arg(QChar(0x26A0), path, ui::ToQt(reason)));
        }
    });
}

} // namespace varnello
