#pragma once
// The main window: the address bar, the directory panel, the file table on the
// tab "Tag", the properties panel with the tabs "Content" and "Log View", the
// status bar and the menus. The table's rows come from the UI-free folder
// reader; the window only shows them.

#include "FileRow.h"
#include "FolderLoader.h"
#include "FolderNavigator.h"
#include "HelpMenu.h"
#include "MainMenus.h"
#include "RepairQuestion.h"
#include "TagSaver.h"
#include "UndoHistory.h"

#include <QMainWindow>
#include <QPersistentModelIndex>
#include <QString>
#include <functional>
#include <stop_token>
#include <string>
#include <vector>

class QAction;
class QCloseEvent;
class QComboBox;
class QEvent;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QShowEvent;
class QSplitter;
class QTabWidget;
class QToolBar;
class QToolButton;
class QWidget;

namespace varnello {

class TDirectoryPanel;
class THeaderStrip;
class TContentView;
class TFormInfo;
class TListViewSort;
class TPatternDialog;

// What the window asks of the world outside it: the folders it lists, and
// the boxes, the folder picker, the desktop and the tag editor's showing it
// hands over to. Empty members keep the window's own; tests put in theirs.
struct WindowHooks
{
    FolderSource Folders;
    FolderNavigator::ErrorBox ErrorBox;
    FolderNavigator::FolderPicker FolderPicker;
    HelpMenu::CheckedUrlOpener OpenUrl;
    RepairQuestion AskRepair;
    // Shows the tag editor, modal; by default its exec().
    std::function<void(TFormInfo& editor)> ShowEditor;
    // The questions for a picture file to take as a cover and for the path
    // to save a cover to; by default file dialogs.
    std::function<QString(QWidget*, const QString&)> OpenPicture;
    std::function<QString(QWidget*, const QString&)> SavePicture;
    // The question for the path File > Export writes to, with a suggestion;
    // by default a file dialog. Empty: nothing is exported.
    std::function<QString(QWidget*, const QString&)> SaveExport;
    // Shows "Tags from file names" or "Rename files from tags", modal; by
    // default its exec().
    std::function<void(TPatternDialog& dialog)> ShowPatternDialog;
    // Asked before a save whose tags are more than Undo keeps: true saves
    // all the same. By default a question box.
    std::function<bool(QWidget*, const QString& text)> ConfirmNoUndo;
};

class TFormMain : public QMainWindow
{
    Q_OBJECT

public:
    explicit TFormMain(QWidget* parent = nullptr);
    explicit TFormMain(WindowHooks hooks, QWidget* parent = nullptr);
    ~TFormMain() override;

    // True while the rows of the listed folder are still being read.
    bool IsListing() const;
    // Esc and the status bar's Cancel: stops a long read (the rows read so
    // far stay) or a multi-file save (files saved so far stay saved).
    void CancelLongWork();

    // The folder whose MP3 files the table shows; empty until a folder with
    // MP3 files was listed. A root keeps its separator.
    QString CurrentFolder() const;
    const std::string& CurrentFolderPath() const { return m_currentFolder; }

    // Moves the drive box, the directory list and the hidden file list to a
    // folder, as typing it into the address box would, but without a history
    // entry of its own; the file list reads it only when it shows another
    // folder. The first call, at start with the working folder, leaves the
    // address text empty.
    void ShowFolder(const QString& folder);
    // The hidden file list reads the folder's MP3 names, even when it shows
    // that folder already, and reports a change when they are in.
    void ReadFileList(const QString& folder);
    // Rebuilds the table from the file list; a list without names changes
    // nothing.
    void clsFileListBoxChange();

    // True while a multi-file save runs.
    bool IsSaving() const { return m_saving; }

    // One log row per failed save, in order.
    void AppendLogEntries(std::vector<SaveFailure> failures);

    // The table's rows for the editors: selected rows in table order, a row as
    // the module's record, and the rewrite of a row after a save.
    std::vector<int> SelectedFileRows() const;
    FileRow FileRowAt(int row) const;
    // The rows of these table rows, in the order given.
    std::vector<FileRow> FileRowsAt(const std::vector<int>& rows) const;
    void SetFileRowFields(int row, TagKind tagKind, const TagFields& fields);

    // Double-click, Enter, the popup item and Command > "&Modify": opens the
    // tag editor for the selected rows, when there are any.
    void clsLVFileDblClick();

    // The properties view: enables or disables its fields; writes them
    // into the one selected file (nothing with none or several selected).
    void SetContentEnabled(bool enabled);
    // True when the file was saved; a failure is shown on the row, on the
    // Content page and in the status bar, and logged.
    bool SaveContent();
    // Ctrl+S: saves an edit of the properties view that is still pending,
    // or tries a failed one again.
    void SaveContentNow();
    // After the table's selection changed: popup item, properties view and
    // status bar.
    void clsLVFileChange();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Closing saves a pending edit like a row change does; when that save
    // fails the window stays open and says why.
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateToolBar();
    void CreateStatusBar();
    void CreateCentralArea();
    QWidget* CreateRightPanel();
    QWidget* CreateTablePanel();
    QWidget* CreatePropertiesPanel();
    void ConnectHandlers();
    void CreateNavigation();
    void FormCreate();
    void SetTabOrder();

    void SetCurrentFolder(const std::string& folder);
    // An empty table for the folder's rows, which the folder loader brings.
    void StartFileTable(std::size_t total);
    void AppendFileRows(std::vector<FileRow>& rows);
    void ListingFinished(bool cancelled);
    // A listing of subfolders started: the status bar's Cancel and Esc stop
    // it.
    void ListingSubfolders(const std::string& folder);
    // View > Include subfolders: the folder the user is in is listed again.
    void SubfoldersClick(bool checked);
    // "2 subfolders could not be read: a, b".
    static QString SkippedFoldersText(const std::vector<FolderReader::SkippedFolder>& skipped);
    // After a rebuild nothing of the old table stays on screen.
    void ShowNewTable();
    void ShowStatus(const QString& text);
    // `reason` says why when it knows more than the failure's status.
    void ShowSaveFailure(const SaveFailure& failure, const QString& reason = {});
    void MarkEditedRow(int row, const QString& marker, const QString& tip);
    void UpdateLogTab();
    void ShowProgress(int done, int total);
    void HideProgress();
    void UpdateModifyAction();
    void clsLVFileContextMenu(const QPoint& position);
    // Shows the tag editor for the selected rows (table order) and takes its
    // results into the table and the log.
    void OpenEditor(const std::vector<int>& selectedRows);
    // Fills the properties view from the first selected row.
    void ShowContentInContentView();
    // Asked before the user changes the table's selection; false refuses.
    bool clsLVFileChanging();

    void OpenSingleFileEditor(int row, const FileRow& fileRow);
    void ShowEditor();
    void OpenMultiFileEditor(const std::vector<int>& rows, std::vector<FileRow> fileRows);
    // Saves the fields of `mask` into the files of `rows` on a worker, one
    // file at a time, with the status bar's progress bar and Cancel; returns
    // when the worker is done. Files saved before a cancel stay saved.
    // values[i] holds the fields for fileRows[i].
    // The saves form one step of the undo history, called `undoTitle`.
    void SaveMany(const std::vector<int>& rows, std::vector<FileRow> fileRows,
                  const std::vector<TagFields>& values, FieldMask mask, const CoverEdit& cover,
                  const QString& undoTitle);
    // Command > Number tracks: 1..n (or "1/n".."n/n") into the Track field of
    // the selected files, in table order.
    void NumberTracks(bool withTotal);
    // Command > Tags from file names: the fields a pattern reads from each
    // selected file's name, previewed, then saved like a multi-file edit.
    void TagsFromNames();
    // Command > Rename files from tags: the selected files renamed by a
    // pattern, previewed, then renamed on a worker; the table follows.
    void RenameFiles();
    // The pattern dialog shown through the hook, or modal; true after Apply.
    bool ShowPatternDialog(TPatternDialog& dialog);
    // File > Export: the shown columns of the shown rows, in table order, as
    // CSV, written whole on a worker.
    void ExportClick();
    // The filter box: the table shows the rows its text keeps; an edit
    // pending on the Content page is saved first.
    void FilterBoxChanged(const QString& text);
    void FocusFilterBox();
    // The folder's file count, or the filter's "12 of 340 files".
    void ShowTableStatus();
    // The Content page when no row is selected: empty and disabled.
    void ShowNoContent();
    void SetWindowBusy(bool busy);
    void ContentFieldChanged();
    void clsSpbSaveContentClick();
    // Saves an edit of the properties view that is still pending.
    void SavePendingContent();

    // Edit > Undo and Redo: the last step (a save of either editor, tags
    // from names, numbering, a rename) taken back or done again, file by
    // file, on a worker; files changed since are left alone and logged.
    void RevertLastStep(bool redo);
    // What Undo and Redo would do, or why Undo cannot.
    void UpdateUndoActions();
    // Runs `work` on a worker while the window waits, busy, with `status`
    // in the status bar: for file work that waits on a save of the same
    // file (renames, undo), whose results `work` leaves in the caller's
    // variables.
    void RunWhileBusy(const QString& status, const std::function<void()>& work);
    // The saves between these two calls form one step of the history.
    void StartRecording();
    void FinishRecording(const QString& title);

    void TbToolBarClick(bool checked);
    void TbDirectoryClick(bool checked);
    void tmiPropertiesViewClick(bool checked);
    void TbStatusbarClick(bool checked);
    void ToggleDirectoryPanel();
    void clsBtnPropertyViewCloseClick();

    WindowHooks m_hooks;
    MainMenus m_menus;
    FolderNavigator* m_navigator = nullptr; // children of the window
    HelpMenu* m_help = nullptr;
    std::string m_currentFolder;
    bool m_shownOnce = false;
    int m_unseenLogRows = 0;           // log rows added since the Log View was last shown
    QPersistentModelIndex m_markedRow; // the row carrying the edit marker
    QAction* SaveContentAction = nullptr;

    QToolBar* CbToolBar = nullptr;
    QWidget* TbAddress = nullptr;
    QComboBox* CbAddress = nullptr;
    QToolButton* TbGoAddress = nullptr;
    QLabel* ClsStbStatusText = nullptr;
    QProgressBar* ClsPrbListing = nullptr;
    QPushButton* ClsBtnCancel = nullptr;
    QAction* CancelAction = nullptr;
    FolderLoader* m_loader = nullptr; // child of the window
    int m_listingTotal = 0;
    TagSaver m_saver; // both editors save through it
    UndoRecorder m_recorder;
    UndoHistory m_undoHistory;
    bool m_saving = false;
    std::stop_source m_stopSaving;
    QSplitter* ClsSplLeftRight = nullptr;
    TDirectoryPanel* ClsPnlLeft = nullptr;
    QSplitter* SplitterRightTopAndBottom = nullptr;
    QWidget* ClsPnlRightTop = nullptr;
    QTabWidget* PageControl1 = nullptr;
    QLineEdit* FilterBox = nullptr; // kept when another folder is listed
    TListViewSort* clsLVFile = nullptr;
    QComboBox* cbGenre = nullptr;
    QWidget* ClsPnlRightBottom = nullptr;
    THeaderStrip* PannelPropertyView = nullptr;
    QToolButton* clsBtnPropertyViewClose = nullptr;
    QPushButton* clsSpbSaveContent = nullptr;
    QTabWidget* PageControl = nullptr;
    QWidget* TsContent = nullptr;
    TContentView* ContentView = nullptr;
    TFormInfo* FormInfo = nullptr; // created once, owned as a child window
    QWidget* TsPlayMusic = nullptr;
    QWidget* TsLogView = nullptr;
    TListViewSort* clsLVLogView = nullptr;
};

} // namespace varnello
