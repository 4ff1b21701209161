// The main window's tools for the whole table: the filter box, File >
// Export, Command > Number tracks, and tags from file names and renames from
// tags.

#include "CoverPictures.h"
#include "CsvExport.h"
#include "FileFilter.h"
#include "FileTable.h"
#include "LogView.h"
#include "MainMenus.h"
#include "TFormMain.h"
#include "TListViewSort.h"
#include "TPatternDialog.h"
#include "Ui.h"
#include "WholeFile.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTime>
#include <cstdint>
#include <map>
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
    SaveMany(rows, std::move(fileRows), values, fieldmask::kTrack, {}, tr("Number tracks"));
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

bool TFormMain::ShowPatternDialog(TPatternDialog& dialog)
{
    if (m_hooks.ShowPatternDialog) {
        m_hooks.ShowPatternDialog(dialog);
        return dialog.result() == QDialog::Accepted;
    }
    return dialog.exec() == QDialog::Accepted;
}

void TFormMain::TagsFromNames()
{
    SavePendingContent();
    const std::vector<int> rows = clsLVFile->SelectedRows();
    if (rows.empty()) {
        return;
    }
    const std::vector<FileRow> fileRows = FileRowsAt(rows);
    TPatternDialog dialog(TPatternDialog::Kind::kTagsFromNames, this);
    dialog.SetRows(m_currentFolder, fileRows);
    if (!ShowPatternDialog(dialog)) {
        return;
    }
    // The files whose names match, each with the values its name gives for
    // the fields the pattern names (the save keeps each file's other
    // fields); the others are left alone.
    std::vector<int> matchedRows;
    std::vector<FileRow> matched;
    std::vector<TagFields> values;
    for (std::size_t i = 0; i < dialog.TagPlan().size(); ++i) {
        const NameTags& entry = dialog.TagPlan()[i];
        if (entry.Matched) {
            matchedRows.push_back(rows[i]);
            matched.push_back(fileRows[i]);
            values.push_back(entry.Values);
        }
    }
    SaveMany(matchedRows, std::move(matched), values, dialog.PatternFields(), {},
             tr("Tags from file names"));
    ShowContentInContentView();
}

void TFormMain::RenameFiles()
{
    SavePendingContent();
    const std::vector<int> rows = clsLVFile->SelectedRows();
    if (rows.empty()) {
        return;
    }
    const std::vector<FileRow> fileRows = FileRowsAt(rows);
    TPatternDialog dialog(TPatternDialog::Kind::kRenameFiles, this);
    dialog.SetRows(m_currentFolder, fileRows);
    if (!ShowPatternDialog(dialog) || !dialog.PreviewIsCurrent()) {
        return;
    }
    // Renames wait for a save of the same file to end, so they run on a
    // worker while the window waits, as a multi-file save does.
    std::vector<RenameOutcome> outcomes;
    RunWhileBusy(tr("Renaming files..."),
                 [&outcomes, plan = dialog.Renames()] { outcomes = ApplyRenames(plan); });
    m_undoHistory.Push(RenameStep(tr("Rename of %1 files").arg(rows.size()).toStdString(),
                                  m_currentFolder, outcomes));
    UpdateUndoActions();
    // The table follows the renamed files; a file that kept its name is
    // logged with the reason.
    std::map<std::string, int> rowOfName;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        rowOfName.emplace(fileRows[i].FileName, rows[i]);
    }
    int renamed = 0;
    std::vector<TListRow> failures;
    const QTime now = QTime::currentTime();
    for (const RenameOutcome& outcome : outcomes) {
        const auto row = rowOfName.find(outcome.OldName);
        if (outcome.Renamed && row != rowOfName.end()) {
            filetable::Rows(*clsLVFile).WriteFileName(row->second, outcome.NewName);
            ++renamed;
        } else if (!outcome.Renamed) {
            failures.push_back(
                logview::ToLogRow(tr("Not renamed to %1: %2")
                                      .arg(ui::PathToQt(outcome.NewName), ui::ToQt(outcome.Reason)),
                                  m_currentFolder, outcome.OldName, now));
        }
    }
    if (failures.empty()) {
        ShowStatus(tr("Renamed %1 of %2 files").arg(renamed).arg(rows.size()));
    } else {
        ShowStatus(tr("%1 Renamed %2 of %3 files; %4 could not be renamed (see the Log View)")
                       .arg(QChar(0x26A0))
                       .arg(renamed)
                       .arg(rows.size())
                       .arg(failures.size()));
        m_unseenLogRows += static_cast<int>(failures.size());
        clsLVLogView->TextRows().AppendRows(std::move(failures));
        UpdateLogTab();
    }
    ShowContentInContentView();
}

} // namespace varnello
