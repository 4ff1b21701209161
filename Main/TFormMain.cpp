#include "TFormMain.h"

#include "AddressHistory.h"
#include "FileTable.h"
#include "FolderReader.h"
#include "LogView.h"
#include "TContentView.h"
#include "TDirectoryPanel.h"
#include "TFileListBox.h"
#include "TFormInfo.h"
#include "TListViewSort.h"
#include "Ui.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTime>
#include <QToolBar>
#include <QToolButton>

namespace varnello {

namespace {

// A rebuild that takes longer than this shows its progress and lets the
// window repaint, at most every kRepaintIntervalMs.
constexpr qint64 kProgressDelayMs = 300;
constexpr qint64 kRepaintIntervalMs = 100;

} // namespace

TFormMain::TFormMain(QWidget* parent) : QMainWindow(parent), m_menus(*this)
{
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QStringLiteral("Varnello"));
    CreateToolBar();
    CreateStatusBar();
    CreateCentralArea();
    CreateNavigation();
    ConnectHandlers();
    FormCreate();
}

TFormMain::~TFormMain() = default;

void TFormMain::ConnectHandlers()
{
    connect(m_menus.Open1, &QAction::triggered, this, [this] { Open1Click(); });
    connect(m_menus.Exit1, &QAction::triggered, this, &QWidget::close);
    connect(m_menus.ModifyAction, &QAction::triggered, this, &TFormMain::clsLVFileDblClick);
    connect(m_menus.menuModifyMp3Info, &QAction::triggered, this, &TFormMain::clsLVFileDblClick);
    connect(m_menus.TbToolBar, &QAction::toggled, this, &TFormMain::TbToolBarClick);
    connect(m_menus.TbDirectory, &QAction::toggled, this, &TFormMain::TbDirectoryClick);
    connect(m_menus.tmiPropertiesView, &QAction::toggled, this, &TFormMain::tmiPropertiesViewClick);
    connect(m_menus.TbStatusbar, &QAction::toggled, this, &TFormMain::TbStatusbarClick);
    connect(m_menus.Content1, &QAction::triggered, this, [this] { Content1Click(); });
    connect(m_menus.Homepage1, &QAction::triggered, this, [this] { Homepage1Click(); });
    connect(m_menus.Reportabug1, &QAction::triggered, this, [this] { Reportabug1Click(); });
    connect(m_menus.Viewbugs1, &QAction::triggered, this, [this] { Viewbugs1Click(); });
    connect(m_menus.About1, &QAction::triggered, this, [this] { About1Click(); });

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
    connect(clsSpbSaveContent, &QPushButton::clicked, this, &TFormMain::clsSpbSaveContentClick);
}

void TFormMain::FormCreate()
{
    // The tag editor is made once and kept hidden between showings.
    FormInfo = new TFormInfo(this);
    resize(1007, 725);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = geometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    filetable::LayoutFileColumns(*clsLVFile);
    PageControl->setCurrentWidget(TsContent);
    UpdateModifyAction();
    clsLVFile->setFocus();
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

void TFormMain::clsFileListBoxChange()
{
    const TFileListBox& list = *ClsPnlLeft->FileList();
    if (list.RawNames().empty()) {
        return;
    }
    // An edit still pending in the properties view belongs to a row of the
    // table that is about to go: it is saved to its file first.
    SavePendingContent();
    m_currentFolder = list.Folder();
    AddToHistory(*CbAddress, CurrentFolder());
    FillFileTable(list.RawNames());
    UpdateModifyAction();
    clsLVFileChange();
}

void TFormMain::FillFileTable(const std::vector<std::string>& names)
{
    TListModel& rows = clsLVFile->Rows();
    rows.Clear();
    QElapsedTimer elapsed;
    elapsed.start();
    qint64 lastRepaint = 0;
    std::vector<TListRow> batch;
    batch.reserve(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        batch.push_back(
            filetable::ToListRow(ReadFileRow(m_currentFolder, names[i], static_cast<int>(i))));
        const qint64 now = elapsed.elapsed();
        if (now >= kProgressDelayMs && now - lastRepaint >= kRepaintIntervalMs) {
            // A long folder: show what was read so far and let the window
            // repaint, without taking mouse or keyboard input meanwhile.
            rows.AppendRows(std::move(batch));
            batch.clear();
            ShowProgress(i + 1, names.size());
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            lastRepaint = elapsed.elapsed();
        }
    }
    rows.AppendRows(std::move(batch));
    ClsPrbListing->hide();
}

void TFormMain::ShowProgress(std::size_t done, std::size_t total)
{
    ClsPrbListing->setRange(0, static_cast<int>(total));
    ClsPrbListing->setValue(static_cast<int>(done));
    ClsPrbListing->show();
}

void TFormMain::AppendLogEntries(std::vector<SaveFailure> failures)
{
    const QTime now = QTime::currentTime();
    std::vector<TListRow> rows;
    rows.reserve(failures.size());
    for (const SaveFailure& failure : failures) {
        rows.push_back(logview::ToLogRow(failure, m_currentFolder, now));
    }
    clsLVLogView->Rows().AppendRows(std::move(rows));
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
    return filetable::FromListRow(clsLVFile->Rows().Row(row));
}

void TFormMain::SetFileRowFields(int row, int tagKind, const TagFields& fields)
{
    filetable::WriteFields(*clsLVFile, row, tagKind, fields);
}

void TFormMain::UpdateModifyAction()
{
    m_menus.ModifyAction->setEnabled(clsLVFile->HasSelection());
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
    std::vector<FileRow> fileRows;
    fileRows.reserve(selectedRows.size());
    for (int row : selectedRows) {
        fileRows.push_back(FileRowAt(row));
    }
    FormInfo->SetFolder(CurrentFolder());
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
    FormInfo->exec();
    if (FormInfo->WasSaved()) {
        UpdateRowFromDialog(row);
        ShowContentInContentView();
        AppendLogEntries(FormInfo->GetFailures());
    }
}

void TFormMain::OpenMultiFileEditor(const std::vector<int>& rows, std::vector<FileRow> fileRows)
{
    FormInfo->SetMultipleFiles();
    FormInfo->exec();
    if (!FormInfo->WasSaved()) {
        return;
    }
    // The dialog hands back the rows as it saved them, in the order given.
    const std::vector<FileRow>& saved = FormInfo->GetRows();
    for (std::size_t i = 0; i < rows.size() && i < saved.size(); ++i) {
        if (saved[i].Fields != fileRows[i].Fields || saved[i].TagKind != fileRows[i].TagKind) {
            SetFileRowFields(rows[i], saved[i].TagKind, saved[i].Fields);
        }
    }
    AppendLogEntries(FormInfo->GetFailures());
}

void TFormMain::UpdateRowFromDialog(int row)
{
    const std::vector<FileRow>& saved = FormInfo->GetRows();
    if (saved.empty()) {
        return;
    }
    SetFileRowFields(row, FormInfo->GetTagKind(), saved.front().Fields);
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
        ContentView->ShowFields(FileRowAt(selected.front()).Fields);
    } else {
        SetContentEnabled(false);
    }
    clsSpbSaveContent->setEnabled(false);
}

void TFormMain::SetContentEnabled(bool enabled)
{
    ContentView->SetContentEnabled(enabled);
}

void TFormMain::ContentFieldChanged()
{
    if (clsLVFile->SelectedRows().size() == 1) {
        clsSpbSaveContent->setEnabled(true);
    }
}

void TFormMain::SaveContent()
{
    const std::vector<int> selected = clsLVFile->SelectedRows();
    if (selected.size() != 1) {
        return;
    }
    const int row = selected.front();
    const TagFields edited = ContentView->Fields();
    const SaveResult result =
        FormInfo->SharedSaver().SaveContent(m_currentFolder, FileRowAt(row), edited);
    if (result.Id3v2Saved) {
        SetFileRowFields(row, result.TagKind, result.Fields);
        return;
    }
    const auto repair = [&](const std::string&) {
        TagSaver repairing = FormInfo->SharedSaver();
        repairing.SetReplaceUnreadable(true);
        const SaveResult repaired = repairing.SaveContent(m_currentFolder, FileRowAt(row), edited);
        if (repaired.Id3v2Saved) {
            SetFileRowFields(row, repaired.TagKind, repaired.Fields);
        }
        return repaired.Failures;
    };
    AppendLogEntries(
        OfferRepairs(this, m_currentFolder, result.Failures, FormInfo->RepairAsker(), repair));
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

std::vector<std::string> TFormMain::ListFolderNames(const std::string& folder) const
{
    return FolderReader::ListMp3Names(folder);
}

FileRow TFormMain::ReadFileRow(const std::string& folder, const std::string& fileName, int no) const
{
    return FolderReader().ReadRow(folder, fileName, no);
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
