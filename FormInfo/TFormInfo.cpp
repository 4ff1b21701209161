#include "TFormInfo.h"

#include "EditSaving.h"
#include "GenreBox.h"
#include "Genres.h"
#include "StorableText.h"
#include "TagFieldTable.h"
#include "Ui.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <utility>

namespace varnello {

using ui::ToQt;
using ui::ToUtf8;

namespace {

// The client area the dialog is laid out for; it grows only when the
// platform's font needs more room.
constexpr int kClientWidth = 423;
constexpr int kClientHeight = 330;

QLabel* MakeLabel(QWidget* parent, const char* name, const char* caption)
{
    auto* label = new QLabel(QCoreApplication::translate("TFormInfo", caption), parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

QCheckBox* MakeModifyBox(QWidget* parent, const char* name)
{
    auto* box = new QCheckBox(QCoreApplication::translate("TFormInfo", "Modify"), parent);
    box->setObjectName(QString::fromLatin1(name));
    // The boxes are hidden for a single file; keeping their room keeps the
    // fields where they are in both modes.
    QSizePolicy policy = box->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    box->setSizePolicy(policy);
    return box;
}

// The mark next to a field whose files do not agree: small and in a warning
// colour, hidden until a multi-file showing needs it. Named after the box
// ("chkbArtist": "lbDiffersArtist").
QLabel* MakeDiffersLabel(QCheckBox* modify)
{
    auto* label = new QLabel(modify->parentWidget());
    label->setObjectName(QStringLiteral("lbDiffers") + modify->objectName().mid(4));
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(176, 80, 0));
    label->setPalette(palette);
    label->hide();
    return label;
}

} // namespace

TFormInfo::TFormInfo(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormInfo"));
    setWindowTitle(QCoreApplication::translate("TFormInfo", "Mp3 Information"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    CreateControls();
    CreateLayout();
    ConnectHandlers();
    initialize();
    FitSize();
}

void TFormInfo::FitSize()
{
    // The dialog grows by the width its marks of differing fields need, so
    // that the fields keep theirs. The sizes cached for the group box go
    // first, or the dialog keeps its old size.
    GroupBox1->layout()->invalidate();
    GroupBox1->updateGeometry();
    layout()->invalidate();
    setFixedSize(sizeHint().expandedTo(QSize(kClientWidth, kClientHeight)));
}

void TFormInfo::CreateControls()
{
    Label1 = MakeLabel(this, "Label1", "&File Name");
    edFileName = MakeEdit(this, "edFileName");
    edFileName->setReadOnly(true);
    edFileName->setFocusPolicy(Qt::ClickFocus); // no tab stop
    Label1->setBuddy(edFileName);

    GroupBox1 = new QGroupBox(QCoreApplication::translate("TFormInfo", "Tag Information"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    Label2 = MakeLabel(GroupBox1, "Label2", "&Title");
    Label3 = MakeLabel(GroupBox1, "Label3", "&Artist");
    Label4 = MakeLabel(GroupBox1, "Label4", "A&lbum");
    Label5 = MakeLabel(GroupBox1, "Label5", "&Year");
    Label7 = MakeLabel(GroupBox1, "Label7", "&Genre");
    Label6 = MakeLabel(GroupBox1, "Label6", "Co&mment");
    edTitle = MakeEdit(GroupBox1, "edTitle");
    EdArtist = MakeEdit(GroupBox1, "EdArtist");
    edAlbum = MakeEdit(GroupBox1, "edAlbum");
    edYear = MakeEdit(GroupBox1, "edYear");
    cbGenre = new QComboBox(GroupBox1);
    cbGenre->setObjectName(QStringLiteral("cbGenre"));
    PrepareGenreBox(cbGenre);
    edComment = new QPlainTextEdit(GroupBox1);
    edComment->setObjectName(QStringLiteral("edComment"));
    edComment->setTabChangesFocus(true);
    // Created here, after the comment, so that Tab reaches them after it.
    LabelTrack = MakeLabel(GroupBox1, "LabelTrack", "Trac&k");
    LabelDisc = MakeLabel(GroupBox1, "LabelDisc", "&Disc");
    LabelAlbumArtist = MakeLabel(GroupBox1, "LabelAlbumArtist", "Album arti&st");
    edTrack = MakeEdit(GroupBox1, "edTrack");
    edDisc = MakeEdit(GroupBox1, "edDisc");
    edAlbumArtist = MakeEdit(GroupBox1, "edAlbumArtist");
    ui::KeepTextStorable(edTitle);
    ui::KeepTextStorable(EdArtist);
    ui::KeepTextStorable(edAlbum);
    ui::KeepTextStorable(edYear);
    ui::KeepTextStorable(cbGenre);
    ui::KeepTextStorable(edComment);
    ui::KeepTextStorable(edTrack);
    ui::KeepTextStorable(edDisc);
    ui::KeepTextStorable(edAlbumArtist);
    Label2->setBuddy(edTitle);
    Label3->setBuddy(EdArtist);
    Label4->setBuddy(edAlbum);
    Label5->setBuddy(edYear);
    Label7->setBuddy(cbGenre);
    Label6->setBuddy(edComment);
    LabelTrack->setBuddy(edTrack);
    LabelDisc->setBuddy(edDisc);
    LabelAlbumArtist->setBuddy(edAlbumArtist);

    chkbTitle = MakeModifyBox(GroupBox1, "chkbTitle");
    chkbArtist = MakeModifyBox(GroupBox1, "chkbArtist");
    chkbAlbum = MakeModifyBox(GroupBox1, "chkbAlbum");
    chkbYear = MakeModifyBox(GroupBox1, "chkbYear");
    chkbGenre = MakeModifyBox(GroupBox1, "chkbGenre");
    chkbComment = MakeModifyBox(GroupBox1, "chkbComment");
    chkbTrack = MakeModifyBox(GroupBox1, "chkbTrack");
    chkbDisc = MakeModifyBox(GroupBox1, "chkbDisc");
    chkbAlbumArtist = MakeModifyBox(GroupBox1, "chkbAlbumArtist");
    // In the order of the field table, whose masks they carry.
    const std::array<QWidget*, 9> fields{edTitle,   EdArtist, edAlbum, edYear,       cbGenre,
                                         edComment, edTrack,  edDisc,  edAlbumArtist};
    const std::array<QCheckBox*, 9> boxes{chkbTitle, chkbArtist, chkbAlbum,
                                          chkbYear,  chkbGenre,  chkbComment,
                                          chkbTrack, chkbDisc,   chkbAlbumArtist};
    static_assert(kAllTagFields.size() == fields.size(), "one editor per field of the table");
    for (std::size_t i = 0; i < kAllTagFields.size(); ++i) {
        m_switches.push_back(
            {fields[i], boxes[i], kAllTagFields[i].Mask, MakeDiffersLabel(boxes[i])});
    }

    LabelCover = MakeLabel(GroupBox1, "LabelCover", "Cover");
    CoverChoice = new QWidget(GroupBox1);
    CoverChoice->setObjectName(QStringLiteral("CoverChoice"));
    btCoverChoose = new QPushButton(tr("C&hoose picture..."), CoverChoice);
    btCoverChoose->setObjectName(QStringLiteral("btCoverChoose"));
    btCoverRemove = new QPushButton(tr("Remo&ve cover"), CoverChoice);
    btCoverRemove->setObjectName(QStringLiteral("btCoverRemove"));
    lbCoverChoice = new QLabel(CoverChoice);
    lbCoverChoice->setObjectName(QStringLiteral("lbCoverChoice"));
    for (QPushButton* button : {btCoverChoose, btCoverRemove}) {
        button->setAutoDefault(false);
    }
    lbCoverChoice->setWordWrap(true);
    chkbCover = MakeModifyBox(GroupBox1, "chkbCover");
    // The cover's row is hidden for one file, and takes no room then.
    QSizePolicy coverBoxPolicy = chkbCover->sizePolicy();
    coverBoxPolicy.setRetainSizeWhenHidden(false);
    chkbCover->setSizePolicy(coverBoxPolicy);

    btUpdate = new QPushButton(QCoreApplication::translate("TFormInfo", "&Save"), this);
    btUpdate->setObjectName(QStringLiteral("btUpdate"));
    Button2 = new QPushButton(QCoreApplication::translate("TFormInfo", "&Close"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    // Enter in a field must not write files behind the user's back.
    btUpdate->setAutoDefault(false);
    Button2->setAutoDefault(false);
}

void TFormInfo::AddFieldRow(QGridLayout* grid, int row, QLabel* label, QWidget* field,
                            QCheckBox* modify)
{
    grid->addWidget(label, row, 0);
    grid->addWidget(field, row, 1);
    grid->addWidget(modify, row, 2);
}

void TFormInfo::CreateLayout()
{
    auto* fileLine = new QHBoxLayout;
    fileLine->addWidget(Label1);
    fileLine->addWidget(edFileName, 1);

    auto* grid = new QGridLayout(GroupBox1);
    AddFieldRow(grid, 0, Label2, edTitle, chkbTitle);
    AddFieldRow(grid, 1, Label3, EdArtist, chkbArtist);
    AddFieldRow(grid, 2, Label4, edAlbum, chkbAlbum);
    AddFieldRow(grid, 3, Label5, edYear, chkbYear);
    AddFieldRow(grid, 4, Label7, cbGenre, chkbGenre);
    // The comment's memo is taller than one line; its "Modify" box sits under
    // its label.
    grid->addWidget(Label6, 5, 0, Qt::AlignLeft | Qt::AlignTop);
    grid->addWidget(chkbComment, 6, 0, Qt::AlignLeft | Qt::AlignTop);
    grid->addWidget(edComment, 5, 1, 2, 1);
    grid->setRowStretch(6, 1);
    AddFieldRow(grid, 7, LabelTrack, edTrack, chkbTrack);
    AddFieldRow(grid, 8, LabelDisc, edDisc, chkbDisc);
    AddFieldRow(grid, 9, LabelAlbumArtist, edAlbumArtist, chkbAlbumArtist);
    auto* coverLine = new QHBoxLayout(CoverChoice);
    coverLine->setContentsMargins(0, 0, 0, 0);
    coverLine->addWidget(btCoverChoose);
    coverLine->addWidget(btCoverRemove);
    coverLine->addWidget(lbCoverChoice, 1);
    AddFieldRow(grid, 10, LabelCover, CoverChoice, chkbCover);
    // The "differs" marks go after the fields, in the row where each starts.
    for (const FieldSwitch& fieldSwitch : m_switches) {
        int row = 0;
        int column = 0;
        int rowSpan = 0;
        int columnSpan = 0;
        grid->getItemPosition(grid->indexOf(fieldSwitch.Field), &row, &column, &rowSpan,
                              &columnSpan);
        grid->addWidget(fieldSwitch.Differs, row, 3, Qt::AlignLeft | Qt::AlignVCenter);
    }
    grid->setColumnStretch(1, 1);
    // Room for four lines of comment keeps the dialog near its intended size.
    constexpr int kCommentLines = 4;
    const int frame = edComment->frameWidth() * 2;
    const int documentMargin = static_cast<int>(edComment->document()->documentMargin() * 2);
    edComment->setFixedHeight(edComment->fontMetrics().lineSpacing() * kCommentLines + frame +
                              documentMargin);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btUpdate);
    buttons->addWidget(Button2);

    auto* dialogLayout = new QVBoxLayout(this);
    dialogLayout->addLayout(fileLine);
    dialogLayout->addWidget(GroupBox1, 1);
    dialogLayout->addLayout(buttons);
}

void TFormInfo::ConnectHandlers()
{
    connect(btUpdate, &QPushButton::clicked, this, &TFormInfo::btUpdateClick);
    connect(Button2, &QPushButton::clicked, this, &TFormInfo::Button2Click);
    connect(chkbTitle, &QCheckBox::toggled, this, &TFormInfo::chkbTitleClick);
    connect(chkbArtist, &QCheckBox::toggled, this, &TFormInfo::chkbArtistClick);
    connect(chkbAlbum, &QCheckBox::toggled, this, &TFormInfo::chkbAlbumClick);
    connect(chkbYear, &QCheckBox::toggled, this, &TFormInfo::chkbYearClick);
    connect(chkbGenre, &QCheckBox::toggled, this, &TFormInfo::chkbGenreClick);
    connect(chkbComment, &QCheckBox::toggled, this, &TFormInfo::chkbCommentClick);
    connect(chkbCover, &QCheckBox::toggled, this, [this](bool ticked) {
        CoverChoice->setEnabled(ticked);
        UpdateSaveButton();
    });
    connect(btCoverChoose, &QPushButton::clicked, this, &TFormInfo::btCoverChooseClick);
    connect(btCoverRemove, &QPushButton::clicked, this, &TFormInfo::btCoverRemoveClick);
    for (std::size_t i = kTagFields.size(); i < m_switches.size(); ++i) {
        connect(m_switches[i].Modify, &QCheckBox::toggled, this,
                [this, i] { ApplySwitch(m_switches[i]); });
    }
}

void TFormInfo::initialize()
{
    edFileName->clear();
    edTitle->clear();
    EdArtist->clear();
    edAlbum->clear();
    edYear->clear();
    cbGenre->setEditText(QString());
    edComment->clear();
    edTrack->clear();
    edDisc->clear();
    edAlbumArtist->clear();
    FillGenreBox(cbGenre);
    btUpdate->setEnabled(true);
}

void TFormInfo::SetFolder(const QString& folder)
{
    // Paths go to the file system in its own encoding, as the table read them.
    m_folder = ui::PathFromQt(folder);
}

void TFormInfo::SetSelection(std::vector<FileRow> selectedRows)
{
    m_rows = std::move(selectedRows);
    m_selectedCount = static_cast<int>(m_rows.size());
    // "Seleted" is the dialog's wording as users know it.
    edFileName->setText(QString::number(m_selectedCount) +
                        QCoreApplication::translate("TFormInfo", " Files Seleted."));
}

void TFormInfo::SetSingleFile(const QString& path)
{
    edFileName->setText(path);
    m_selectedCount = 1;
    SetModifyMode(false);
}

void TFormInfo::SetMultipleFiles()
{
    if (!m_rows.empty()) {
        LoadFromRow(m_rows.front());
    }
    ShowDifferences();
    SetModifyMode(true);
}

void TFormInfo::LoadFromRow(const FileRow& row)
{
    m_loadedRow = row;
    m_tagKind = row.TagKind;
    edTitle->setText(ToQt(row.Fields.Title));
    EdArtist->setText(ToQt(row.Fields.Artist));
    edAlbum->setText(ToQt(row.Fields.Album));
    edYear->setText(ToQt(row.Fields.Year));
    cbGenre->setEditText(ToQt(ShownGenre(row.Fields.Genre)));
    edComment->setPlainText(ToQt(row.Fields.Comment));
    edTrack->setText(ToQt(row.Fields.Track));
    edDisc->setText(ToQt(row.Fields.Disc));
    edAlbumArtist->setText(ToQt(row.Fields.AlbumArtist));
}

void TFormInfo::SetModifyMode(bool multi)
{
    // The cover is changed here only for several files at once; one file's
    // cover is changed on the Content page.
    m_coverAction = CoverAction::kKeep;
    m_coverPicture = {};
    LabelCover->setVisible(multi);
    CoverChoice->setVisible(multi);
    chkbCover->setVisible(multi);
    chkbCover->setChecked(false);
    CoverChoice->setEnabled(false);
    ShowCoverChoice();
    for (const FieldSwitch& fieldSwitch : m_switches) {
        fieldSwitch.Modify->setVisible(multi);
        if (multi) {
            fieldSwitch.Modify->setChecked(false);
        }
        fieldSwitch.Field->setEnabled(!multi);
        if (!multi) {
            fieldSwitch.Differs->hide();
        }
    }
    UpdateSaveButton();
    FitSize();
}

std::string TFormInfo::ShownGenre(const std::string& stored) const
{
    return m_genreNames ? GenreReferencesAsNames(stored) : stored;
}

std::string TFormInfo::ShownText(const TagFieldInfo& field, const TagFields& fields) const
{
    const std::string& stored = fields.*field.Member;
    return field.Mask == fieldmask::kGenre ? ShownGenre(stored) : stored;
}

void TFormInfo::ShowDifferences()
{
    const std::size_t total = m_rows.size();
    for (std::size_t i = 0; i < m_switches.size(); ++i) {
        const TagFieldInfo& field = kAllTagFields[i];
        std::size_t differing = 0;
        if (total > 0) {
            const std::string shown = ShownText(field, m_rows.front().Fields);
            differing = static_cast<std::size_t>(
                std::count_if(m_rows.begin(), m_rows.end(), [&](const FileRow& row) {
                    return ShownText(field, row.Fields) != shown;
                }));
        }
        QLabel* label = m_switches[i].Differs;
        label->setText(differing == 0 ? QString()
                                      : tr("differs in %1 of %2 files").arg(differing).arg(total));
        label->setVisible(differing > 0);
    }
}

void TFormInfo::ApplySwitch(const FieldSwitch& fieldSwitch)
{
    fieldSwitch.Field->setEnabled(fieldSwitch.Modify->isChecked());
    UpdateSaveButton();
}

void TFormInfo::chkbTitleClick()
{
    ApplySwitch(m_switches[0]);
}

void TFormInfo::chkbArtistClick()
{
    ApplySwitch(m_switches[1]);
}

void TFormInfo::chkbAlbumClick()
{
    ApplySwitch(m_switches[2]);
}

void TFormInfo::chkbYearClick()
{
    ApplySwitch(m_switches[3]);
}

void TFormInfo::chkbGenreClick()
{
    ApplySwitch(m_switches[4]);
}

void TFormInfo::chkbCommentClick()
{
    ApplySwitch(m_switches[5]);
}

void TFormInfo::UpdateSaveButton()
{
    bool anyEnabled = false;
    for (const FieldSwitch& fieldSwitch : m_switches) {
        anyEnabled = anyEnabled || fieldSwitch.Field->isEnabledTo(this);
    }
    // A ticked cover box counts once a picture or the removal is chosen.
    anyEnabled = anyEnabled || CoverChange().Action != CoverAction::kKeep;
    btUpdate->setEnabled(anyEnabled);
}

CoverEdit TFormInfo::CoverChange() const
{
    CoverEdit edit;
    if (chkbCover->isVisibleTo(this) && chkbCover->isChecked()) {
        edit.Action = m_coverAction;
        if (m_coverAction == CoverAction::kSet && m_coverPicture.HasBytes()) {
            edit.Image = *m_coverPicture.Bytes;
        }
    }
    return edit;
}

void TFormInfo::SetPictureQuestion(std::function<QString(QWidget*, const QString&)> ask)
{
    m_askPicture = std::move(ask);
}

void TFormInfo::ShowCoverChoice()
{
    switch (m_coverAction) {
    case CoverAction::kKeep:
        lbCoverChoice->setText(tr("Each file keeps its cover"));
        break;
    case CoverAction::kSet:
        lbCoverChoice->setText(tr("Every file gets %1").arg(m_coverPicture.Caption));
        break;
    case CoverAction::kRemove:
        lbCoverChoice->setText(tr("The cover is taken out of every file"));
        break;
    }
    UpdateSaveButton();
}

void TFormInfo::btCoverChooseClick()
{
    const QString folder = ui::PathToQt(m_folder);
    const QString chosen = m_askPicture
                               ? m_askPicture(this, folder)
                               : QFileDialog::getOpenFileName(this, tr("Cover picture"), folder,
                                                              tr("Pictures (*.jpg *.jpeg *.png)"));
    if (chosen.isEmpty()) {
        return;
    }
    lbCoverChoice->setText(tr("Reading..."));
    const QSize box(cover::kThumbnailSide, cover::kThumbnailSide);
    RunOffGuiThread<CoverPicture>(
        this, [path = ui::PathFromQt(chosen), box] { return cover::ReadPicture(path, box); },
        [this](CoverPicture picture) {
            const QString refusal = picture.Refusal;
            m_coverAction = refusal.isEmpty() ? CoverAction::kSet : CoverAction::kKeep;
            m_coverPicture = refusal.isEmpty() ? std::move(picture) : CoverPicture{};
            ShowCoverChoice();
            if (!refusal.isEmpty()) {
                lbCoverChoice->setText(tr("Picture not taken: %1").arg(refusal));
            }
        });
}

void TFormInfo::btCoverRemoveClick()
{
    m_coverAction = CoverAction::kRemove;
    m_coverPicture = {};
    ShowCoverChoice();
}

std::vector<SaveFailure> TFormInfo::GetFailures()
{
    return std::exchange(m_failures, {});
}

TagFields TFormInfo::EditedFields() const
{
    TagFields fields;
    fields.Title = ToUtf8(edTitle->text());
    fields.Artist = ToUtf8(EdArtist->text());
    fields.Album = ToUtf8(edAlbum->text());
    fields.Year = ToUtf8(edYear->text());
    fields.Genre = ToUtf8(cbGenre->currentText().trimmed()); // blanks around a name are slips
    // The name shown for a reference is not an edit of the stored text.
    const std::string shownGenre = ShownGenre(m_loadedRow.Fields.Genre);
    if (shownGenre != m_loadedRow.Fields.Genre && cbGenre->currentText() == ToQt(shownGenre)) {
        fields.Genre = m_loadedRow.Fields.Genre;
    }
    fields.Comment = ToUtf8(edComment->toPlainText());
    fields.Track = ToUtf8(edTrack->text());
    fields.Disc = ToUtf8(edDisc->text());
    fields.AlbumArtist = ToUtf8(edAlbumArtist->text());
    return fields;
}

FieldMask TFormInfo::TickedMask() const
{
    FieldMask mask;
    for (const FieldSwitch& fieldSwitch : m_switches) {
        if (fieldSwitch.Modify->isChecked()) {
            mask |= fieldSwitch.Mask;
        }
    }
    return mask;
}

void TFormInfo::SaveSingleFile()
{
    EditOutcome outcome =
        SaveSingleEdit(m_saver, this, m_folder, m_loadedRow, EditedFields(), m_askRepair);
    m_rows = std::move(outcome.Rows);
    m_tagKind = m_rows.front().TagKind;
    m_failures = std::move(outcome.Failures);
    // The ID3v1 genre is looked up from the trimmed text; the box then shows
    // that text, as the row does.
    if (Has(m_tagKind, tagkind::kId3v1)) {
        cbGenre->setEditText(ToQt(TrimControl(ToUtf8(cbGenre->currentText()))));
    }
}

void TFormInfo::SaveMultipleFiles()
{
    const TagFields values = EditedFields();
    const FieldMask mask = TickedMask();
    const CoverEdit cover = CoverChange();
    std::vector<SaveFailure> failures;
    for (FileRow& row : m_rows) {
        for (SaveFailure& failure : SaveOneOfMany(m_saver, m_folder, row, values, mask, cover)) {
            failures.push_back(std::move(failure));
        }
    }
    // The last processed file first, as the saver lists them.
    std::reverse(failures.begin(), failures.end());
    m_failures =
        RepairMany(m_saver, this, m_folder, m_rows, std::vector<TagFields>(m_rows.size(), values),
                   mask, failures, m_askRepair, cover);
}

void TFormInfo::btUpdateClick()
{
    m_failures.clear();
    // A window that owns the saving takes the values and the ticked fields
    // from the closed dialog and saves them itself.
    if (!m_ownerSaves) {
        if (m_selectedCount == 1) {
            SaveSingleFile();
        } else {
            SaveMultipleFiles();
        }
    }
    m_saved = true;
    accept();
}

void TFormInfo::Button2Click()
{
    m_saved = false;
    reject();
}

void TFormInfo::showEvent(QShowEvent* event)
{
    // Saved is true only for a showing that ends through Save.
    m_saved = false;
    if (QWidget* owner = parentWidget()) {
        const QRect ownerFrame = owner->window()->frameGeometry();
        move(ownerFrame.center() - QPoint(width() / 2, height() / 2));
    }
    QDialog::showEvent(event);
}

} // namespace varnello
