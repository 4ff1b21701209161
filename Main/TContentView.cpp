#include "TContentView.h"

#include "GenreBox.h"
#include "Genres.h"
#include "StorableText.h"
#include "TCoverView.h"
#include "TagFieldTable.h"
#include "Ui.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QShowEvent>
#include <QSignalBlocker>

namespace varnello {

using ui::ToQt;
using ui::ToUtf8;

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const char* caption, QWidget* buddy)
{
    auto* label = new QLabel(QCoreApplication::translate("TContentView", caption), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setBuddy(buddy);
    return label;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

// The fields have the tooltip background, which sets them apart from the
// table above them; a field whose save failed is tinted red.
void UseTooltipColours(QWidget* field, bool unsaved = false)
{
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base,
                     unsaved ? QColor(255, 205, 205) : palette.color(QPalette::ToolTipBase));
    palette.setColor(QPalette::Text, palette.color(QPalette::ToolTipText));
    field->setPalette(palette);
    field->setProperty("unsaved", unsaved);
}

// A field's text, whichever kind of editor shows it.
QString TextOf(const QWidget* field)
{
    if (const auto* line = qobject_cast<const QLineEdit*>(field)) {
        return line->text();
    }
    if (const auto* box = qobject_cast<const QComboBox*>(field)) {
        return box->currentText();
    }
    return qobject_cast<const QPlainTextEdit*>(field)->toPlainText();
}

void SetTextOf(QWidget* field, const QString& text)
{
    if (auto* line = qobject_cast<QLineEdit*>(field)) {
        line->setText(text);
    } else if (auto* box = qobject_cast<QComboBox*>(field)) {
        box->setEditText(text);
    } else {
        qobject_cast<QPlainTextEdit*>(field)->setPlainText(text);
    }
}

} // namespace

TContentView::TContentView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ContentView"));
    CreateControls();
    CreateLayout();
    ConnectHandlers();
}

void TContentView::CreateControls()
{
    edTitle = MakeEdit(this, "edTitle");
    EdArtist = MakeEdit(this, "EdArtist");
    edAlbum = MakeEdit(this, "edAlbum");
    edYear = MakeEdit(this, "edYear");
    cbGenreContent = new QComboBox(this);
    cbGenreContent->setObjectName(QStringLiteral("cbGenreContent"));
    PrepareGenreBox(cbGenreContent);
    edComment = new QPlainTextEdit(this);
    edComment->setObjectName(QStringLiteral("edComment"));
    edComment->setTabChangesFocus(true);
    edTrack = MakeEdit(this, "edTrack");
    edDisc = MakeEdit(this, "edDisc");
    edAlbumArtist = MakeEdit(this, "edAlbumArtist");
    ui::KeepTextStorable(edTitle);
    ui::KeepTextStorable(EdArtist);
    ui::KeepTextStorable(edAlbum);
    ui::KeepTextStorable(edYear);
    ui::KeepTextStorable(cbGenreContent);
    ui::KeepTextStorable(edComment);
    ui::KeepTextStorable(edTrack);
    ui::KeepTextStorable(edDisc);
    ui::KeepTextStorable(edAlbumArtist);
    for (QWidget* field : FieldWidgets()) {
        UseTooltipColours(field);
    }

    LabelTitle = MakeLabel(this, "LabelTitle", "&Title", edTitle);
    LabelArtist = MakeLabel(this, "LabelArtist", "&Artist", EdArtist);
    LabelAlbum = MakeLabel(this, "LabelAlbum", "A&lbum", edAlbum);
    LabelYear = MakeLabel(this, "LabelYear", "&Year", edYear);
    LabelGenre = MakeLabel(this, "LabelGenre", "&Genre", cbGenreContent);
    LabelComment = MakeLabel(this, "LabelComment", "Co&mment", edComment);
    LabelTrack = MakeLabel(this, "LabelTrack", "Trac&k", edTrack);
    LabelDisc = MakeLabel(this, "LabelDisc", "&Disc", edDisc);
    LabelAlbumArtist = MakeLabel(this, "LabelAlbumArtist", "Album arti&st", edAlbumArtist);
    CoverView = new TCoverView(this);
    lbContentState = new QLabel(this);
    lbContentState->setObjectName(QStringLiteral("lbContentState"));
    lbContentState->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lbContentState->hide();
}

void TContentView::CreateLayout()
{
    // Title, artist and album in the first line, year and genre in the
    // second, the comment below across the page, then track, disc and album
    // artist; the cover at the right of them all.
    auto* grid = new QGridLayout(this);
    grid->addWidget(LabelTitle, 0, 0);
    grid->addWidget(edTitle, 0, 1);
    grid->addWidget(LabelArtist, 0, 2);
    grid->addWidget(EdArtist, 0, 3);
    grid->addWidget(LabelAlbum, 0, 4);
    grid->addWidget(edAlbum, 0, 5);
    grid->addWidget(LabelYear, 1, 0);
    grid->addWidget(edYear, 1, 1);
    grid->addWidget(LabelGenre, 1, 2);
    grid->addWidget(cbGenreContent, 1, 3);
    grid->addWidget(LabelComment, 2, 0, Qt::AlignLeft | Qt::AlignTop);
    grid->addWidget(edComment, 2, 1, 1, 5);
    grid->addWidget(LabelTrack, 3, 0);
    grid->addWidget(edTrack, 3, 1);
    grid->addWidget(LabelDisc, 3, 2);
    grid->addWidget(edDisc, 3, 3);
    grid->addWidget(LabelAlbumArtist, 3, 4);
    grid->addWidget(edAlbumArtist, 3, 5);
    grid->addWidget(CoverView, 0, 6, 5, 1, Qt::AlignTop);
    grid->addWidget(lbContentState, 4, 1, 1, 5);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setColumnStretch(5, 1);
    grid->setRowStretch(2, 1);
}

void TContentView::ConnectHandlers()
{
    connect(edTitle, &QLineEdit::textChanged, this, &TContentView::edTitleChange);
    connect(EdArtist, &QLineEdit::textChanged, this, &TContentView::EdArtistChange);
    connect(edAlbum, &QLineEdit::textChanged, this, &TContentView::edAlbumChange);
    connect(edYear, &QLineEdit::textChanged, this, &TContentView::edYearChange);
    connect(cbGenreContent, &QComboBox::editTextChanged, this, &TContentView::cbGenreContentChange);
    connect(edComment, &QPlainTextEdit::textChanged, this, &TContentView::edCommentChange);
    for (QLineEdit* field : {edTrack, edDisc, edAlbumArtist}) {
        connect(field, &QLineEdit::textChanged, this, &TContentView::ContentEdited);
    }
    connect(CoverView, &TCoverView::CoverEdited, this, &TContentView::ContentEdited);
}

static_assert(kAllTagFields.size() == 9, "one editor per field of the field table");

std::array<QWidget*, 9> TContentView::FieldWidgets() const
{
    return {edTitle,   EdArtist, edAlbum, edYear,       cbGenreContent,
            edComment, edTrack,  edDisc,  edAlbumArtist};
}

void TContentView::ShowFields(const TagFields& fields)
{
    const std::array<QWidget*, 9> widgets = FieldWidgets();
    m_storedGenre = fields.Genre;
    for (std::size_t i = 0; i < kAllTagFields.size(); ++i) {
        SetTextOf(widgets[i], widgets[i] == cbGenreContent ? ShownGenre()
                                                           : ToQt(fields.*kAllTagFields[i].Member));
    }
}

QString TContentView::ShownGenre() const
{
    return ToQt(m_genreNames ? GenreReferencesAsNames(m_storedGenre) : m_storedGenre);
}

void TContentView::SetGenreNames(bool names)
{
    if (names == m_genreNames) {
        return;
    }
    const bool unedited = cbGenreContent->currentText() == ShownGenre();
    m_genreNames = names;
    if (unedited) {
        const QSignalBlocker blocker(cbGenreContent);
        cbGenreContent->setEditText(ShownGenre());
    }
}

TagFields TContentView::Fields() const
{
    TagFields fields;
    const std::array<QWidget*, 9> widgets = FieldWidgets();
    for (std::size_t i = 0; i < kAllTagFields.size(); ++i) {
        fields.*kAllTagFields[i].Member = ToUtf8(TextOf(widgets[i]));
    }
    // A genre is a name: blanks around it are typing slips.
    fields.Genre = ToUtf8(ToQt(fields.Genre).trimmed());
    // The name shown for a reference is not an edit of the stored text.
    if (const QString shown = ShownGenre();
        ToQt(m_storedGenre) != shown && cbGenreContent->currentText() == shown) {
        fields.Genre = m_storedGenre;
    }
    return fields;
}

void TContentView::ShowState(State state, const QString& detail)
{
    m_state = state;
    switch (state) {
    case State::Clean:
        lbContentState->clear();
        lbContentState->hide();
        return;
    case State::Pending:
        lbContentState->setStyleSheet(QString());
        lbContentState->setText(
            tr("\u270E Edited, not saved yet: Ctrl+S saves, or choose another row."));
        break;
    case State::Failed:
        lbContentState->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold;"));
        lbContentState->setText(
            tr("\u26A0 Not saved: %1. Ctrl+S tries again; another row drops the edit.")
                .arg(detail));
        break;
    }
    lbContentState->show();
}

void TContentView::MarkUnsaved(FieldMask mask)
{
    m_unsavedMask = mask;
    const std::array<QWidget*, 9> fields = FieldWidgets();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        UseTooltipColours(fields[i], mask.Has(kAllTagFields[i].Mask));
    }
}

void TContentView::SetContentEnabled(bool enabled)
{
    for (QWidget* field : FieldWidgets()) {
        field->setEnabled(enabled);
    }
    CoverView->setEnabled(enabled);
}

void TContentView::TsContentShow()
{
    if (cbGenreContent->count() < static_cast<int>(kGenreCount)) {
        FillGenreBox(cbGenreContent);
    }
}

void TContentView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    TsContentShow();
}

void TContentView::edTitleChange()
{
    emit ContentEdited();
}

void TContentView::EdArtistChange()
{
    emit ContentEdited();
}

void TContentView::edAlbumChange()
{
    emit ContentEdited();
}

void TContentView::edYearChange()
{
    emit ContentEdited();
}

void TContentView::cbGenreContentChange()
{
    emit ContentEdited();
}

void TContentView::edCommentChange()
{
    emit ContentEdited();
}

} // namespace varnello
