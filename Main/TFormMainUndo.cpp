// Edit > Undo and Redo: the steps the window's saves and renames recorded,
// taken back or done again on a worker while the window waits; the table
// then shows the files as they are.

#include "FileTable.h"
#include "FolderReader.h"
#include "LogView.h"
#include "TFormMain.h"
#include "TListViewSort.h"
#include "Ui.h"

#include <QAction>
#include <QEventLoop>
#include <QMenuBar>
#include <QTime>
#include <thread>

namespace varnello {

namespace {

// The name relative to the folder of a path in it (or in a subfolder of it);
// empty for a path elsewhere.
std::string NameInFolder(const std::string& folder, const std::string& path)
{
    const std::string prefix = JoinPath(folder, "");
    return path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0
               ? path.substr(prefix.size())
               : std::string();
}

// The table row showing the file of that name, or -1.
int RowOfName(const FileTableModel& rows, const std::string& name)
{
    for (int row = 0; row < rows.RowCount(); ++row) {
        if (rows.Row(row).FileName == name) {
            return row;
        }
    }
    return -1;
}

} // namespace

void TFormMain::RunWhileBusy(const QString& status, const std::function<void()>& work)
{
    QEventLoop loop;
    QObject context;
    SetWindowBusy(true);
    ShowStatus(status);
    {
        // The worker's end is queued to the loop, so the loop ends after it;
        // the join makes what `work` wrote visible here.
        std::jthread worker([&] {
            work();
            QMetaObject::invokeMethod(
                &context, [&loop] { loop.quit(); }, Qt::QueuedConnection);
        });
        loop.exec();
    }
    SetWindowBusy(false);
}

void TFormMain::StartRecording()
{
    m_recorder = UndoRecorder();
    m_saver.RecordUndo(&m_recorder);
}

void TFormMain::FinishRecording(const QString& title)
{
    m_saver.RecordUndo(nullptr);
    m_undoHistory.Push(m_recorder.Take(title.toStdString()));
    UpdateUndoActions();
}

void TFormMain::UpdateUndoActions()
{
    const UndoStep* undo = m_undoHistory.NextUndo();
    const UndoStep* redo = m_undoHistory.NextRedo();
    if (undo != nullptr && undo->TooLarge) {
        m_menus.UndoAction->setText(
            tr("Cannot undo %1: its old tags took more than 64 MiB").arg(ui::ToQt(undo->Title)));
    } else {
        m_menus.UndoAction->setText(undo != nullptr ? tr("&Undo %1").arg(ui::ToQt(undo->Title))
                                                    : tr("&Undo"));
    }
    m_menus.UndoAction->setEnabled(undo != nullptr && !undo->TooLarge);
    m_menus.RedoAction->setText(redo != nullptr ? tr("&Redo %1").arg(ui::ToQt(redo->Title))
                                                : tr("&Redo"));
    m_menus.RedoAction->setEnabled(redo != nullptr);
}

void TFormMain::RevertLastStep(bool redo)
{
    if (!menuBar()->isEnabled()) {
        return; // a save or rename is running; its shortcut waits
    }
    // A pending edit of the Content page is saved first: it is the last save.
    SavePendingContent();
    std::optional<UndoStep> step = redo ? m_undoHistory.TakeRedo() : m_undoHistory.TakeUndo();
    if (!step) {
        UpdateUndoActions();
        return;
    }
    RevertResult result;
    std::vector<FileRow> reread; // the reverted files of the listed folder, as they are now
    RunWhileBusy(redo ? tr("Redoing %1...").arg(ui::ToQt(step->Title))
                      : tr("Undoing %1...").arg(ui::ToQt(step->Title)),
                 [&, keep = m_menus.KeepTimesAction->isChecked(), folder = m_currentFolder] {
                     result = RevertStep(*step, keep);
                     for (const std::string& path : result.Reverted) {
                         if (const std::string name = NameInFolder(folder, path); !name.empty()) {
                             reread.push_back(FolderReader().ReadRow(folder, name, 0));
                         }
                     }
                 });
    FileTableModel& table = filetable::Rows(*clsLVFile);
    for (const NameChange& back : result.NamesBack) {
        if (back.Folder == m_currentFolder) {
            if (const int row = RowOfName(table, back.OldName); row >= 0) {
                table.WriteFileName(row, back.NewName);
            }
        }
    }
    for (const FileRow& now : reread) {
        if (const int row = RowOfName(table, now.FileName); row >= 0) {
            SetFileRowFields(row, now.TagKind, now.Fields);
        }
    }
    const std::size_t reverted = result.Reverted.size();
    const std::size_t failed = result.Failures.size();
    if (redo) {
        m_undoHistory.PushUndoKeepingRedo(std::move(result.Reverse));
    } else {
        m_undoHistory.PushRedo(std::move(result.Reverse));
    }
    UpdateUndoActions();
    if (failed == 0) {
        ShowStatus(redo ? tr("Redone: %1").arg(ui::ToQt(step->Title))
                        : tr("Undone: %1").arg(ui::ToQt(step->Title)));
    } else {
        const QTime now = QTime::currentTime();
        std::vector<TListRow> rows;
        for (const RevertFailure& failure : result.Failures) {
            // A path outside the listed folder is logged with its own folder.
            std::string folder = m_currentFolder;
            std::string name = NameInFolder(folder, failure.Name);
            if (name.empty()) {
                const std::size_t slash = failure.Name.rfind('/');
                const bool path = failure.Name.starts_with('/') && slash != std::string::npos;
                folder = path ? failure.Name.substr(0, slash) : m_currentFolder;
                name = path ? failure.Name.substr(slash + 1) : failure.Name;
            }
            rows.push_back(logview::ToLogRow(
                (redo ? tr("Not redone: %1") : tr("Not undone: %1")).arg(ui::ToQt(failure.Reason)),
                folder, name, now));
        }
        ShowStatus(tr("%1 %2 %3 of %4 files; %5 left as they were (see the Log View)")
                       .arg(QChar(0x26A0))
                       .arg(redo ? tr("Redid") : tr("Undid"))
                       .arg(reverted)
                       .arg(reverted + failed)
                       .arg(failed));
        m_unseenLogRows += static_cast<int>(rows.size());
        clsLVLogView->TextRows().AppendRows(std::move(rows));
        UpdateLogTab();
    }
    ShowContentInContentView();
}

} // namespace varnello
