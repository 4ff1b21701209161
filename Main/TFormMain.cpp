#include "TFormMain.h"

#include "AddressHistory.h"
#include "EditSaving.h"
#include "FileTable.h"
#include "FolderLoader.h"
#include "FolderReader.h"
#include "LogView.h"
#include "TContentView.h"
#include "TCoverView.h"
#include "TDirListBox.h"
#include "TDirectoryPanel.h"
#include "TDriveComboBox.h"
#include "TFileListBox.h"
#include "TFormInfo.h"
#include "TListViewSort.h"
#include "TagFieldTable.h"
#include "Ui.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTime>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <thread>

namespace varnello {

namespace {

// Why the module refused an edit's values: a track or disc that is not a
// number pair is named with the form it takes; other refused text keeps the
// module's own reason.
QString InvalidValueReason(const TagFields& edited, FieldMask changed)
{
    for (const TagFieldInfo& field : kAllTagFields) {
        const std::string& value = edited.*field.Member;
        if (changed.Has(field.Mask) && IsNumberPairField(field) &&
            !IsValidFieldValue(field, value)) {
            return QCoreApplication::translate("TFormMain",
                                               "%1 \"%2\" is not a number from 1 to 9999, "
                                               "optionally with its total (\"3\" or \"3/12\")")
                .arg(QCoreApplication::translate("FileTable", field.Label), ui::ToQt(value));
        }
    }
    return logview::StatusMessageText(status::kInvalidValue);
}

} // namespace

TFormMain::TFormMain(QWidget* parent) : TFormMain(WindowHooks{}, parent) {}

TFormMain::TFormMain(WindowHooks hooks, QWidget* parent)
    : QMainWindow(parent), m_hooks(std::move(hooks)), m_menus(*this)
{
    if (!m_hooks.AskRepair) {
        m_hooks.AskRepair = AskToReplaceUnreadableTag;
    }
    if (!m_hooks.ConfirmNoUndo) {
        m_hooks.ConfirmNoUndo = [](QWidget* window, const QString& text) {
            return QMessageBox::question(window, tr("Varnello"), text,
                                         QMessageBox::Save | QMessageBox::Cancel,
                                         QMessageBox::Cancel) == QMessageBox::Save;
        };
    }
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QCoreApplication::translate("TFormMain", "Varnello"));
    CreateToolBar();
    CreateStatusBar();
    CreateCentralArea();
    CreateNavigation();
    ConnectHandlers();
    FormCreate();
}

TFormMain::~TFormMain()
{
    // The loader's worker may read through the hooks; it stops first.
    m_loader->Cancel();
}

void TFormMain::ConnectHandlers()
{
    connect(m_menus.Open1, &QAction::triggered, m_navigator, &FolderNavigator::Open1Click);
    connect(m_menus.Exit1, &QAction::triggered, this, &QWidget::close);
    connect(m_menus.ExportAction, &QAction::triggered, this, &TFormMain::ExportClick);
    connect(m_menus.UndoAction, &QAction::triggered, this, [this] { RevertLastStep(false); });
    connect(m_menus.RedoAction, &QAction::triggered, this, [this] { RevertLastStep(true); });
    connect(m_menus.NumberTracksAction, &QAction::triggered, this, [this] { NumberTracks(false); });
    connect(m_menus.NumberTracksTotalAction, &QAction::triggered, this,
            [this] { NumberTracks(true); });
    connect(m_menus.TagsFromNamesAction, &QAction::triggered, this, &TFormMain::TagsFromNames);
    connect(m_menus.RenameFilesAction, &QAction::triggered, this, &TFormMain::RenameFiles);
    connect(m_menus.FilterAction, &QAction::triggered, this, &TFormMain::FocusFilterBox);
    connect(FilterBox, &QLineEdit::textChanged, this, &TFormMain::FilterBoxChanged);
    FilterBox->installEventFilter(this);
    connect(m_menus.ModifyAction, &QAction::triggered, this, &TFormMain::clsLVFileDblClick);
    connect(m_menus.menuModifyMp3Info, &QAction::triggered, this, &TFormMain::clsLVFileDblClick);
    connect(m_menus.TbToolBar, &QAction::toggled, this, &TFormMain::TbToolBarClick);
    connect(m_menus.TbDirectory, &QAction::toggled, this, &TFormMain::TbDirectoryClick);
    connect(m_menus.tmiPropertiesView, &QAction::toggled, this, &TFormMain::tmiPropertiesViewClick);
    connect(m_menus.TbStatusbar, &QAction::toggled, this, &TFormMain::TbStatusbarClick);
    filetable::SetUpGenreNamesOption(*clsLVFile, *m_menus.GenreNamesAction);
    // Every save, of either editor and of the table's tools, goes through
    // this saver or a copy made when it starts.
    filetable::SetUpRememberedOption(*m_menus.KeepTimesAction,
                                     QStringLiteral("Saving/KeepModificationTimes"),
                                     [this](bool keep) { m_saver.KeepModificationTimes(keep); });
    ContentView->SetGenreNames(m_menus.GenreNamesAction->isChecked());
    connect(m_menus.GenreNamesAction, &QAction::toggled, ContentView, &TContentView::SetGenreNames);
    filetable::SetUpSubfoldersOption(*m_menus.SubfoldersAction);
    m_loader->SetSubfolders(m_menus.SubfoldersAction->isChecked());
    connect(m_menus.SubfoldersAction, &QAction::toggled, this, &TFormMain::SubfoldersClick);
    connect(m_menus.Content1, &QAction::triggered, m_help, &HelpMenu::Content1Click);
    connect(m_menus.Homepage1, &QAction::triggered, m_help, &HelpMenu::Homepage1Click);
    connect(m_menus.Reportabug1, &QAction::triggered, m_help, &HelpMenu::Reportabug1Click);
    connect(m_menus.Viewbugs1, &QAction::triggered, m_help, &HelpMenu::Viewbugs1Click);
    connect(m_menus.About1, &QAction::triggered, m_help, &HelpMenu::About1Click);

    connect(ClsPnlLeft, &TDirectoryPanel::CloseClicked, this, &TFormMain::ToggleDirectoryPanel);
    connect(clsBtnPropertyViewClose, &QToolButton::clicked, this,
            &TFormMain::clsBtnPropertyViewCloseClick);
    connect(ClsPnlLeft->FileList(), &TFileListBox::Change, this, &TFormMain::clsFileListBoxChange);

    connect(clsLVFile->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        UpdateModifyAction();
        clsLVFileChange();
    });
    connect(clsLVFile, &QAbstractItemView::doubleClicked, this, &TFormMain::clsLVFileDblClick);
    clsLVFile->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(clsLVFile, &QWidget::customContextMenuRequested, this,
            &TFormMain::clsLVFileContextMenu);
    clsLVFile->SetChangingHandler([this] { return clsLVFileChanging(); });
    clsLVFile->installEventFilter(this);

    connect(ContentView, &TContentView::ContentEdited, this, &TFormMain::ContentFieldChanged);
    connect(ContentView->Cover(), &TCoverView::CoverMessage, this, &TFormMain::ShowStatus);
    ContentView->Cover()->SetPathQuestions(m_hooks.OpenPicture, m_hooks.SavePicture);
    connect(clsSpbSaveContent, &QPushButton::clicked, this, &TFormMain::clsSpbSaveContentClick);
    SaveContentAction = new QAction(tr("Save the edit"), this);
    SaveContentAction->setObjectName(QStringLiteral("SaveContentAction"));
    SaveContentAction->setShortcut(QKeySequence::Save);
    SaveContentAction->setShortcutContext(Qt::WindowShortcut);
    addAction(SaveContentAction);
    connect(SaveContentAction, &QAction::triggered, this, &TFormMain::SaveContentNow);
    connect(PageControl, &QTabWidget::currentChanged, this, &TFormMain::UpdateLogTab);

    connect(m_loader, &FolderLoader::NamesListed, ClsPnlLeft->FileList(), &TFileListBox::ShowNames);
    connect(m_loader, &FolderLoader::ListingSubfolders, this, &TFormMain::ListingSubfolders);
    connect(m_loader, &FolderLoader::NamesListed, this,
            [this](const std::string&, const std::vector<std::string>& names) {
                if (names.empty()) {
                    // Once the loader is done with the listing: nothing may
                    // be left to stop.
                    QMetaObject::invokeMethod(
                        this,
                        [this] {
                            if (!m_loader->Running()) {
                                HideProgress();
                            }
                        },
                        Qt::QueuedConnection);
                }
            });
    connect(m_loader, &FolderLoader::RowsRead, this, &TFormMain::AppendFileRows);
    connect(m_loader, &FolderLoader::Finished, this, &TFormMain::ListingFinished);
    CancelAction = new QAction(tr("Cancel"), this);
    CancelAction->setObjectName(QStringLiteral("CancelAction"));
    CancelAction->setShortcut(QKeySequence(Qt::Key_Escape));
    CancelAction->setShortcutContext(Qt::WindowShortcut);
    CancelAction->setEnabled(false); // only while there is long work to stop
    addAction(CancelAction);
    connect(CancelAction, &QAction::triggered, this, &TFormMain::CancelLongWork);
    connect(ClsBtnCancel, &QPushButton::clicked, this, &TFormMain::CancelLongWork);
}

void TFormMain::FormCreate()
{
    // The tag editor is made once and kept hidden between showings.
    FormInfo = new TFormInfo(this);
    FormInfo->SetOwnerSaves(true);
    FormInfo->SetPictureQuestion(m_hooks.OpenPicture);
    resize(1007, 725);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = geometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    filetable::LayoutFileColumns(*clsLVFile);
    PageControl->setCurrentWidget(TsContent);
    UpdateModifyAction();
    SetTabOrder();
    clsLVFile->setFocus();
}

void TFormMain::SetTabOrder()
{
    // Tab walks the window as it reads: the address, the folders, the table,
    // then the fields of the Content page.
    std::vector<QWidget*> chain{
        CbAddress, TbGoAddress, ClsPnlLeft->Drives(), ClsPnlLeft->Directories(),
        FilterBox, clsLVFile};
    for (const char* name :
         {"edTitle", "EdArtist", "edAlbum", "edYear", "cbGenreContent", "edComment", "edTrack",
          "edDisc", "edAlbumArtist", "CoverView", "btCoverSet", "btCoverRemove", "btCoverSave"}) {
        chain.push_back(ContentView->findChild<QWidget*>(QString::fromLatin1(name)));
    }
    TbGoAddress->setFocusPolicy(Qt::TabFocus);
    for (std::size_t i = 1; i < chain.size(); ++i) {
        setTabOrder(chain[i - 1], chain[i]);
    }
}

void TFormMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_shownOnce) {
        // The log's width is known once the window is laid out: it is the
        // width of the page shown in the lower page control.
        m_shownOnce = true;
        logview::LayoutLogColumns(*clsLVLogView, PageControl->currentWidget()->width());
    }
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == FilterBox &&
        (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && !FilterBox->text().isEmpty()) {
        // Esc empties the box before it stops any long work.
        event->accept();
        if (event->type() == QEvent::KeyPress) {
            FilterBox->clear();
        }
        return true;
    }
    if (watched == clsLVFile) {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                clsLVFileDblClick();
                return true;
            }
        } else if (event->type() == QEvent::Resize) {
            filetable::LayoutFileColumns(*clsLVFile);
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

QString TFormMain::CurrentFolder() const
{
    return ui::PathToQt(m_currentFolder);
}

void TFormMain::closeEvent(QCloseEvent* event)
{
    if (m_saving) {
        ShowStatus(tr("Saving: press Esc or Cancel before closing"));
        event->ignore();
        return;
    }
    if (clsSpbSaveContent->isEnabled() && !SaveContent()) {
        // The failure is on screen now; closing again drops the edit.
        clsSpbSaveContent->setEnabled(false);
        ShowStatus(tr("%1 Not closed: %2").arg(QChar(0x26A0), ClsStbStatusText->text()));
        event->ignore();
        return;
    }
    clsSpbSaveContent->setEnabled(false);
    m_loader->Cancel();
    QMainWindow::closeEvent(event);
}

void TFormMain::SetCurrentFolder(const std::string& folder)
{
    m_currentFolder = folder;
    setWindowTitle(folder.empty() ? tr("Varnello") : tr("%1 - Varnello").arg(ui::PathToQt(folder)));
}

void TFormMain::clsFileListBoxChange()
{
    const TFileListBox& list = *ClsPnlLeft->FileList();
    if (list.count() == 0) {
        // The table keeps the folder it lists; the status bar says why.
        ShowStatus(tr("%1: No MP3 files").arg(ui::PathToQt(list.Folder())));
        return;
    }
    // An edit still pending in the properties view belongs to a row of the
    // table that is about to go: it is saved to its file first.
    SavePendingContent();
    SetCurrentFolder(list.Folder());
    AddToHistory(*CbAddress, CurrentFolder());
    m_navigator->ShowCurrentFolder();
    StartFileTable(static_cast<std::size_t>(list.count()));
    ShowNewTable();
}

void TFormMain::ShowNewTable()
{
    clsLVFile->ForgetSort();
    m_markedRow = QPersistentModelIndex();
    ShowNoContent();
    UpdateModifyAction();
    m_menus.menuModifyMp3Info->setVisible(clsLVFile->HasSelection());
    if (!IsListing()) {
        ListingFinished(false);
    }
    clsLVFileChange();
}

void TFormMain::ShowNoContent()
{
    if (m_markedRow.isValid()) {
        clsLVFile->Rows().SetRowMarker(m_markedRow.row(), {}, {});
    }
    m_markedRow = QPersistentModelIndex();
    ContentView->ShowFields({});
    ContentView->Cover()->ShowNoFile();
    ContentView->MarkUnsaved(fieldmask::kNone);
    ContentView->ShowState(TContentView::State::Clean);
    SetContentEnabled(false);
    clsSpbSaveContent->setEnabled(false);
    clsSpbSaveContent->hide();
}

void TFormMain::ShowStatus(const QString& text)
{
    ClsStbStatusText->setText(text);
}

void TFormMain::StartFileTable(std::size_t total)
{
    filetable::Rows(*clsLVFile).Clear(total);
    m_listingTotal = static_cast<int>(total);
    if (!IsListing()) {
        return;
    }
    // The rows come in batches; meanwhile sorting would mix sorted and
    // unsorted rows, so the header waits.
    clsLVFile->horizontalHeader()->setSectionsClickable(false);
    ShowProgress(0, m_listingTotal);
}

bool TFormMain::IsListing() const
{
    return m_loader->Running();
}

void TFormMain::AppendFileRows(std::vector<FileRow>& rows)
{
    filetable::Rows(*clsLVFile).AppendRows(std::move(rows));
    ShowProgress(clsLVFile->Rows().RowCount(), m_listingTotal);
}

void TFormMain::ListingFinished(bool cancelled)
{
    HideProgress();
    clsLVFile->horizontalHeader()->setSectionsClickable(true);
    const int count = clsLVFile->Rows().RowCount();
    if (m_loader->ListingStopped() && !cancelled) {
        ShowStatus(tr("%1: listing stopped, %2 files of the folders listed so far")
                       .arg(CurrentFolder())
                       .arg(count));
    } else if (cancelled) {
        ShowStatus(tr("%1: reading stopped, %2 of %3 files listed")
                       .arg(CurrentFolder())
                       .arg(count)
                       .arg(m_listingTotal));
    } else if (!m_loader->SkippedFolders().empty()) {
        ShowStatus(SkippedFoldersText(m_loader->SkippedFolders()));
    } else if (!clsLVFile->HasSelection()) {
        ShowTableStatus();
    }
}

void TFormMain::ListingSubfolders(const std::string& folder)
{
    // No count is known yet: the bar only says that work goes on.
    ClsPrbListing->setRange(0, 0);
    ClsPrbListing->show();
    ClsBtnCancel->show();
    CancelAction->setEnabled(true);
    ShowStatus(tr("Listing %1 and its subfolders...").arg(ui::PathToQt(folder)));
}

void TFormMain::CancelLongWork()
{
    if (m_saving) {
        m_stopSaving.request_stop();
        return;
    }
    m_loader->Cancel();
}

void TFormMain::ShowProgress(int done, int total)
{
    ClsPrbListing->setRange(0, total);
    ClsPrbListing->setValue(done);
    ClsPrbListing->show();
    ClsBtnCancel->show();
    CancelAction->setEnabled(true);
    if (!clsLVFile->HasSelection()) {
        ShowStatus(tr("%1: reading %2 of %3 files...").arg(CurrentFolder()).arg(done).arg(total));
    }
}

void TFormMain::HideProgress()
{
    ClsPrbListing->hide();
    ClsBtnCancel->hide();
    CancelAction->setEnabled(false);
}

void TFormMain::AppendLogEntries(std::vector<SaveFailure> failures)
{
    const QTime now = QTime::currentTime();
    std::vector<TListRow> rows;
    rows.reserve(failures.size());
    for (const SaveFailure& failure : failures) {
        rows.push_back(logview::ToLogRow(failure, m_currentFolder, now));
    }
    m_unseenLogRows += static_cast<int>(rows.size());
    clsLVLogView->TextRows().AppendRows(std::move(rows));
    UpdateLogTab();
}

void TFormMain::UpdateLogTab()
{
    const int tab = PageControl->indexOf(TsLogView);
    if (PageControl->currentWidget() == TsLogView) {
        m_unseenLogRows = 0;
    }
    PageControl->setTabText(tab, m_unseenLogRows == 0 ? tr("Log View")
                                                      : tr("Log View (%1)").arg(m_unseenLogRows));
}

void TFormMain::ShowSaveFailure(const SaveFailure& failure, const QString& reason)
{
    ShowStatus(tr("%1 Not saved: %2: %3")
                   .arg(QChar(0x26A0), ui::PathToQt(JoinPath(m_currentFolder, failure.FileName)),
                        reason.isEmpty() ? logview::StatusMessageText(failure.Status) : reason));
}

std::vector<int> TFormMain::SelectedFileRows() const
{
    return clsLVFile->SelectedRows();
}

FileRow TFormMain::FileRowAt(int row) const
{
    if (row < 0 || row >= clsLVFile->Rows().RowCount()) {
        return {};
    }
    return filetable::Rows(*clsLVFile).Row(row);
}

std::vector<FileRow> TFormMain::FileRowsAt(const std::vector<int>& rows) const
{
    std::vector<FileRow> fileRows;
    fileRows.reserve(rows.size());
    for (int row : rows) {
        fileRows.push_back(FileRowAt(row));
    }
    return fileRows;
}

void TFormMain::SetFileRowFields(int row, TagKind tagKind, const TagFields& fields)
{
    filetable::Rows(*clsLVFile).WriteFields(row, tagKind, fields);
}

void TFormMain::UpdateModifyAction()
{
    const bool selected = clsLVFile->HasSelection();
    m_menus.ModifyAction->setEnabled(selected);
    m_menus.NumberTracksAction->setEnabled(selected);
    m_menus.NumberTracksTotalAction->setEnabled(selected);
    m_menus.TagsFromNamesAction->setEnabled(selected);
    m_menus.RenameFilesAction->setEnabled(selected);
}

void TFormMain::clsLVFileChange()
{
    if (clsLVFile->Rows().RowCount() == 0) {
        return;
    }
    if (!clsLVFile->HasSelection()) {
        // The status bar keeps its text.
        m_menus.menuModifyMp3Info->setVisible(false);
        return;
    }
    m_menus.menuModifyMp3Info->setVisible(true);
    ShowContentInContentView();
    ClsStbStatusText->setText(filetable::SelectionText(*clsLVFile, m_currentFolder));
}

void TFormMain::clsLVFileDblClick()
{
    if (clsLVFile->Rows().RowCount() == 0) {
        return;
    }
    const std::vector<int> selected = clsLVFile->SelectedRows();
    if (!selected.empty()) {
        OpenEditor(selected);
    }
}

void TFormMain::clsLVFileContextMenu(const QPoint& position)
{
    if (m_menus.menuModifyMp3Info->isVisible()) {
        m_menus.PopMenuLVFile->popup(clsLVFile->viewport()->mapToGlobal(position));
    }
}

void TFormMain::OpenEditor(const std::vector<int>& selectedRows)
{
    if (selectedRows.empty()) {
        return;
    }
    // The dialog shows the rows as the table has them: an edit pending in the
    // properties view is written first.
    SavePendingContent();
    std::vector<FileRow> fileRows = FileRowsAt(selectedRows);
    FormInfo->SetFolder(CurrentFolder());
    FormInfo->SetGenreNames(m_menus.GenreNamesAction->isChecked());
    FormInfo->SetSelection(fileRows);
    if (selectedRows.size() == 1) {
        OpenSingleFileEditor(selectedRows.front(), fileRows.front());
    } else {
        OpenMultiFileEditor(selectedRows, std::move(fileRows));
    }
}

void TFormMain::OpenSingleFileEditor(int row, const FileRow& fileRow)
{
    FormInfo->SetSingleFile(ui::PathToQt(JoinPath(m_currentFolder, fileRow.FileName)));
    FormInfo->LoadFromRow(fileRow);
    ShowEditor();
    if (!FormInfo->WasSaved()) {
        return;
    }
    StartRecording();
    EditOutcome outcome = SaveSingleEdit(m_saver, this, m_currentFolder, fileRow,
                                         FormInfo->EditedFields(), m_hooks.AskRepair);
    FinishRecording(tr("Save of %1").arg(ui::PathToQt(fileRow.FileName)));
    const FileRow& saved = outcome.Rows.front();
    SetFileRowFields(row, saved.TagKind, saved.Fields);
    ShowContentInContentView();
    if (!outcome.Failures.empty()) {
        ShowSaveFailure(outcome.Failures.front());
    } else {
        ShowStatus(tr("Saved %1").arg(ui::PathToQt(JoinPath(m_currentFolder, fileRow.FileName))));
    }
    AppendLogEntries(std::move(outcome.Failures));
}

void TFormMain::ShowEditor()
{
    if (m_hooks.ShowEditor) {
        m_hooks.ShowEditor(*FormInfo);
    } else {
        FormInfo->exec();
    }
}

void TFormMain::OpenMultiFileEditor(const std::vector<int>& rows, std::vector<FileRow> fileRows)
{
    FormInfo->SetMultipleFiles();
    ShowEditor();
    if (FormInfo->WasSaved()) {
        const std::vector<TagFields> values(fileRows.size(), FormInfo->EditedFields());
        const QString title = tr("Save of %1 files").arg(fileRows.size());
        SaveMany(rows, std::move(fileRows), values, FormInfo->TickedMask(), FormInfo->CoverChange(),
                 title);
    }
}

void TFormMain::SaveMany(const std::vector<int>& rows, std::vector<FileRow> fileRows,
                         const std::vector<TagFields>& values, FieldMask mask,
                         const CoverEdit& cover, const QString& undoTitle)
{
    // The worker's copy of the saver records into m_recorder while this
    // waits for it; so do the repairs after it.
    StartRecording();
    const std::vector<FileRow> before = fileRows;
    const int total = static_cast<int>(fileRows.size());
    std::vector<SaveFailure> failures;
    std::size_t done = 0;
    bool declined = false; // the save could not be undone, and the user said no
    QEventLoop loop;
    // Results come back as events for this context, in order; the worker's
    // last event ends the loop, so none is left behind.
    QObject context;
    m_stopSaving = std::stop_source();
    m_saving = true;
    SetWindowBusy(true);
    ShowProgress(0, total);
    {
        std::jthread worker([&, saver = m_saver, folder = m_currentFolder,
                             stop = m_stopSaving.get_token()]() mutable {
            // The files' new names reach the disk together, after the last.
            FolderFlushes flushes;
            saver.DeferFolderFlushes(&flushes);
            // Asked first, when Undo could not keep what the save changes.
            std::vector<std::string> names;
            for (const FileRow& row : before) {
                names.push_back(row.FileName);
            }
            const std::uint64_t image = cover.Action == CoverAction::kSet ? cover.Image.size() : 0;
            if (EstimateUndoMemory(folder, names, image) > kUndoMemoryLimit) {
                QMetaObject::invokeMethod(
                    &context,
                    [&] {
                        declined = !m_hooks.ConfirmNoUndo(
                            this, tr("The tags of these %1 files take more than Undo keeps "
                                     "(64 MiB): this save cannot be undone.\n\nSave anyway?")
                                      .arg(before.size()));
                    },
                    Qt::BlockingQueuedConnection);
            }
            for (std::size_t i = 0; i < before.size() && !stop.stop_requested() && !declined; ++i) {
                FileRow row = before[i];
                std::vector<SaveFailure> failed =
                    SaveOneOfMany(saver, folder, row, values[i], mask, cover);
                QMetaObject::invokeMethod(
                    &context,
                    [&, i, row, failed] {
                        fileRows[i] = row;
                        failures.insert(failures.end(), failed.begin(), failed.end());
                        done = i + 1;
                        ShowProgress(static_cast<int>(done), total);
                    },
                    Qt::QueuedConnection);
            }
            flushes.Flush();
            QMetaObject::invokeMethod(
                &context, [&loop] { loop.quit(); }, Qt::QueuedConnection);
        });
        loop.exec();
    }
    m_saving = false;
    HideProgress();
    SetWindowBusy(false);
    // The last processed file first, as a multi-file save lists them.
    std::reverse(failures.begin(), failures.end());
    fileRows.resize(done);
    failures = RepairMany(m_saver, this, m_currentFolder, fileRows, values, mask, failures,
                          m_hooks.AskRepair, cover);
    FinishRecording(undoTitle);
    for (std::size_t i = 0; i < done; ++i) {
        if (fileRows[i].Fields != before[i].Fields || fileRows[i].TagKind != before[i].TagKind) {
            SetFileRowFields(rows[i], fileRows[i].TagKind, fileRows[i].Fields);
        }
    }
    if (declined) {
        ShowStatus(tr("Not saved: the save could not have been undone"));
    } else if (!failures.empty()) {
        ShowSaveFailure(failures.front());
    } else if (static_cast<int>(done) < total) {
        ShowStatus(
            tr("Saving stopped: %1 of %2 files saved, the rest untouched").arg(done).arg(total));
    } else {
        ShowStatus(tr("Saved %1 files").arg(done));
    }
    AppendLogEntries(std::move(failures));
}

void TFormMain::SetWindowBusy(bool busy)
{
    // Only the status bar's Cancel and Esc stay live while files are saved.
    centralWidget()->setEnabled(!busy);
    menuBar()->setEnabled(!busy);
    CbToolBar->setEnabled(!busy);
}

void TFormMain::ShowContentInContentView()
{
    const std::vector<int> selected = clsLVFile->SelectedRows();
    if (selected.empty()) {
        return;
    }
    if (selected.size() == 1) {
        SetContentEnabled(true);
        // Filling the fields runs their change handlers; the row is unedited.
        const FileRow row = FileRowAt(selected.front());
        ContentView->ShowFields(row.Fields);
        // Only the selected file's cover is read, and only now.
        ContentView->Cover()->ShowCoverOf(JoinPath(m_currentFolder, row.FileName));
    } else {
        SetContentEnabled(false);
        ContentView->Cover()->ShowNoFile();
    }
    // Moving on drops the marks of an edit whose save failed.
    ContentView->MarkUnsaved(fieldmask::kNone);
    ContentView->ShowState(TContentView::State::Clean);
    if (m_markedRow.isValid()) {
        clsLVFile->Rows().SetRowMarker(m_markedRow.row(), {}, {});
    }
    m_markedRow = QPersistentModelIndex();
    clsSpbSaveContent->setEnabled(false);
    clsSpbSaveContent->hide();
}

void TFormMain::MarkEditedRow(int row, const QString& marker, const QString& tip)
{
    if (m_markedRow.isValid() && m_markedRow.row() != row) {
        clsLVFile->Rows().SetRowMarker(m_markedRow.row(), {}, {});
    }
    clsLVFile->Rows().SetRowMarker(row, marker, tip);
    m_markedRow = marker.isEmpty() ? QPersistentModelIndex()
                                   : QPersistentModelIndex(clsLVFile->Rows().index(row, 0));
}

void TFormMain::SetContentEnabled(bool enabled)
{
    ContentView->SetContentEnabled(enabled);
}

void TFormMain::ContentFieldChanged()
{
    const std::vector<int> selected = clsLVFile->SelectedRows();
    if (selected.size() != 1) {
        return;
    }
    clsSpbSaveContent->setEnabled(true);
    clsSpbSaveContent->show();
    if (ContentView->CurrentState() != TContentView::State::Failed) {
        ContentView->ShowState(TContentView::State::Pending);
        MarkEditedRow(selected.front(), QString(QChar(0x270E)), tr("Edited, not saved yet"));
    }
}

void TFormMain::SaveContentNow()
{
    if (!menuBar()->isEnabled()) {
        return; // files are being saved or renamed: Ctrl+S waits for them
    }
    if (clsSpbSaveContent->isEnabled() ||
        ContentView->CurrentState() == TContentView::State::Failed) {
        SaveContent();
        clsSpbSaveContent->setEnabled(false);
    }
}

bool TFormMain::SaveContent()
{
    const std::vector<int> selected = clsLVFile->SelectedRows();
    if (selected.size() != 1) {
        return true;
    }
    const int row = selected.front();
    const TagFields edited = ContentView->Fields();
    const FileRow before = FileRowAt(row);
    const CoverEdit cover = ContentView->Cover()->PendingEdit();
    StartRecording();
    SaveResult result = m_saver.SaveContent(m_currentFolder, before, edited, cover);
    std::vector<SaveFailure> failures = result.Failures;
    if (!result.Id3v2Saved) {
        const auto repair = [&](const std::string&) {
            TagSaver repairing = m_saver;
            repairing.SetReplaceUnreadable(true);
            result = repairing.SaveContent(m_currentFolder, before, edited, cover);
            return result.Failures;
        };
        failures = OfferRepairs(this, m_currentFolder, result.Failures, m_hooks.AskRepair, repair);
    }
    FinishRecording(tr("Save of %1").arg(ui::PathToQt(before.FileName)));
    if (result.Id3v2Saved && failures.empty()) {
        SetFileRowFields(row, result.TagKind, result.Fields);
        ContentView->Cover()->EditSaved();
        MarkEditedRow(row, {}, {});
        ContentView->MarkUnsaved(fieldmask::kNone);
        ContentView->ShowState(TContentView::State::Clean);
        ShowStatus(tr("Saved %1").arg(ui::PathToQt(JoinPath(m_currentFolder, before.FileName))));
        return true;
    }
    // The file is as it was and the row keeps its cells; the typed text stays
    // in the fields, marked, so that it can be saved again.
    const SaveFailure failure =
        failures.empty() ? SaveFailure{before.FileName, status::kUnreadableTag} : failures.front();
    const FieldMask changed = ChangedFieldMask(before.Fields, edited);
    const QString reason = failure.Status.Error() == status::kInvalidValue
                               ? InvalidValueReason(edited, changed)
                               : logview::StatusMessageText(failure.Status);
    AppendLogEntries(std::move(failures));
    ShowSaveFailure(failure, reason);
    ContentView->MarkUnsaved(changed);
    ContentView->ShowState(TContentView::State::Failed, reason);
    MarkEditedRow(row, QString(QChar(0x26A0)), tr("Not saved: %1").arg(reason));
    return false;
}

void TFormMain::clsSpbSaveContentClick()
{
    SaveContent();
    clsSpbSaveContent->setEnabled(false);
}

void TFormMain::SavePendingContent()
{
    if (clsSpbSaveContent->isEnabled()) {
        SaveContent();
        clsSpbSaveContent->setEnabled(false);
    }
}

bool TFormMain::clsLVFileChanging()
{
    // The first attempt to move the selection after an edit stores the edit
    // and is refused, so the edited row stays selected; the next one moves.
    if (clsSpbSaveContent->isEnabled()) {
        SavePendingContent();
        return false;
    }
    return true;
}

void TFormMain::TbToolBarClick(bool checked)
{
    CbToolBar->setVisible(checked);
}

void TFormMain::TbDirectoryClick(bool checked)
{
    ClsPnlLeft->setVisible(checked);
}

void TFormMain::tmiPropertiesViewClick(bool checked)
{
    // Hiding the panel hides its splitter handle with it.
    ClsPnlRightBottom->setVisible(checked);
}

void TFormMain::TbStatusbarClick(bool checked)
{
    statusBar()->setVisible(checked);
}

void TFormMain::ToggleDirectoryPanel()
{
    m_menus.TbDirectory->toggle();
}

void TFormMain::clsBtnPropertyViewCloseClick()
{
    m_menus.tmiPropertiesView->toggle();
}

} // namespace varnello
