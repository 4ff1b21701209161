#pragma once
// The modal tag editor "Mp3 Information": edits one file, or several files at
// once with a "Modify" switch per field. The main window hands it value copies
// of the selected rows; Save writes them through the tag saver and the dialog
// hands the updated rows and the failed saves back.

#include "CoverPictures.h"
#include "FileRow.h"
#include "RepairQuestion.h"
#include "TagSaver.h"

#include <QDialog>
#include <QString>
#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace varnello {

struct TagFieldInfo;

class TFormInfo : public QDialog
{
    Q_OBJECT

public:
    explicit TFormInfo(QWidget* parent = nullptr);

    // Set-up before a showing, in this order: SetFolder, SetSelection, then
    // SetSingleFile + LoadFromRow for one row or SetMultipleFiles for several.
    void SetFolder(const QString& folder);
    // The selected rows in the table's current order.
    void SetSelection(std::vector<FileRow> selectedRows);
    void SetSingleFile(const QString& path);
    void SetMultipleFiles();
    void LoadFromRow(const FileRow& row);
    void SetModifyMode(bool multi);
    void UpdateSaveButton();
    // Genre references shown as names ("(17)" as "Rock"); a name left as it
    // was is handed back as the stored text. Set before the rows are loaded.
    void SetGenreNames(bool names) { m_genreNames = names; }

    // Results, read after the dialog closed.
    bool WasSaved() const { return m_saved; }
    TagKind GetTagKind() const { return m_tagKind; }
    // The failed saves of the last Save, handed over (the list is emptied).
    std::vector<SaveFailure> GetFailures();
    // The selected rows as they stand after the last Save: the saved fields
    // and TagKind, or the old cells of a file whose save failed.
    const std::vector<FileRow>& GetRows() const { return m_rows; }

    // With this set, Save only closes the dialog: the owner reads the values
    // and the ticked fields and saves them. Without it the dialog saves.
    void SetOwnerSaves(bool ownerSaves) { m_ownerSaves = ownerSaves; }
    // The values as typed and the fields whose "Modify" box is ticked.
    TagFields EditedFields() const;
    FieldMask TickedMask() const;
    // The cover change for every selected file: a picture or the removal
    // chosen while the cover's "Modify" box is ticked; none otherwise.
    CoverEdit CoverChange() const;
    // Asks for the picture file to take as the cover; by default a file
    // dialog. Tests put their own answer in.
    void SetPictureQuestion(std::function<QString(QWidget*, const QString&)> ask);
    bool IsSingleFile() const { return m_selectedCount == 1; }
    const std::string& Folder() const { return m_folder; }
    const FileRow& LoadedRow() const { return m_loadedRow; }

    // The saver the dialog writes through when it saves itself.
    TagSaver& SharedSaver() { return m_saver; }
    // The question both editors ask before replacing a tag that could not be
    // read; tests put their own answer in.
    const RepairQuestion& RepairAsker() const { return m_askRepair; }
    void SetRepairQuestion(RepairQuestion ask) { m_askRepair = std::move(ask); }

    void btUpdateClick();
    void Button2Click();
    void chkbTitleClick();
    void chkbArtistClick();
    void chkbAlbumClick();
    void chkbYearClick();
    void chkbGenreClick();
    void chkbCommentClick();
    void btCoverChooseClick();
    void btCoverRemoveClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct FieldSwitch
    {
        QWidget* Field = nullptr;
        QCheckBox* Modify = nullptr;
        FieldMask Mask;
        QLabel* Differs = nullptr; // "differs in N of M files", several files only
    };

    void CreateControls();
    void CreateLayout();
    void ConnectHandlers();
    void AddFieldRow(QGridLayout* grid, int row, QLabel* label, QWidget* field, QCheckBox* modify);
    void initialize();
    void ApplySwitch(const FieldSwitch& fieldSwitch);
    // The genre as the editor shows it, with names when asked to.
    std::string ShownGenre(const std::string& stored) const;
    // A field's text as the editor shows it.
    std::string ShownText(const TagFieldInfo& field, const TagFields& fields) const;
    // Marks each field whose shown value is not the same in all selected
    // rows with the count of rows that differ from the first.
    void ShowDifferences();
    // The fixed size from the layout, with the marks that are shown.
    void FitSize();
    void SaveSingleFile();
    void SaveMultipleFiles();
    void ShowCoverChoice();

    QLabel* Label1 = nullptr;
    QLineEdit* edFileName = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* LabelTrack = nullptr;
    QLabel* LabelDisc = nullptr;
    QLabel* LabelAlbumArtist = nullptr;
    QLineEdit* edTitle = nullptr;
    QLineEdit* EdArtist = nullptr;
    QLineEdit* edAlbum = nullptr;
    QLineEdit* edYear = nullptr;
    QComboBox* cbGenre = nullptr;
    QPlainTextEdit* edComment = nullptr;
    QLineEdit* edTrack = nullptr;
    QLineEdit* edDisc = nullptr;
    QLineEdit* edAlbumArtist = nullptr;
    QCheckBox* chkbTitle = nullptr;
    QCheckBox* chkbArtist = nullptr;
    QCheckBox* chkbAlbum = nullptr;
    QCheckBox* chkbYear = nullptr;
    QCheckBox* chkbGenre = nullptr;
    QCheckBox* chkbComment = nullptr;
    QCheckBox* chkbTrack = nullptr;
    QCheckBox* chkbDisc = nullptr;
    QCheckBox* chkbAlbumArtist = nullptr;
    // The cover's row, shown for several files only.
    QLabel* LabelCover = nullptr;
    QWidget* CoverChoice = nullptr;
    QPushButton* btCoverChoose = nullptr;
    QPushButton* btCoverRemove = nullptr;
    QLabel* lbCoverChoice = nullptr;
    QCheckBox* chkbCover = nullptr;
    QPushButton* btUpdate = nullptr;
    QPushButton* Button2 = nullptr;

    std::vector<FieldSwitch> m_switches;
    CoverAction m_coverAction = CoverAction::kKeep;
    CoverPicture m_coverPicture;
    std::function<QString(QWidget*, const QString&)> m_askPicture;

    std::string m_folder; // in the file system's encoding
    std::vector<FileRow> m_rows;
    FileRow m_loadedRow;
    int m_selectedCount = 0;
    TagKind m_tagKind = tagkind::kNone;
    bool m_saved = false;
    bool m_ownerSaves = false;
    bool m_genreNames = false;
    std::vector<SaveFailure> m_failures;
    TagSaver m_saver;
    RepairQuestion m_askRepair = AskToReplaceUnreadableTag;
};

} // namespace varnello
