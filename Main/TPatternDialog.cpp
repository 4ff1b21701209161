#include "TPatternDialog.h"

#include "CoverPictures.h"
#include "TagFieldTable.h"
#include "Ui.h"
#include "UserSettings.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QVBoxLayout>

namespace varnello {

using ui::ToQt;

namespace {

// Patterns kept per dialog, the last used first.
constexpr int kPatternsKept = 10;

QStringList FirstPatterns(TPatternDialog::Kind kind)
{
    if (kind == TPatternDialog::Kind::kTagsFromNames) {
        return {QStringLiteral("%track% - %artist% - %title%"), QStringLiteral("%track% - %title%"),
                QStringLiteral("%artist% - %title%")};
    }
    return {QStringLiteral("%track:2% - %title%"), QStringLiteral("%artist% - %title%"),
            QStringLiteral("%track:2% - %artist% - %title%")};
}

QString PlaceholderList()
{
    QStringList names;
    for (const TagFieldInfo& field : kAllTagFields) {
        if (field.Placeholder != nullptr) {
            names << QStringLiteral("%%1%").arg(QLatin1String(field.Placeholder));
        }
    }
    names << QStringLiteral("%ignore%");
    return names.join(QLatin1Char(' '));
}

QTableWidgetItem* Cell(const QString& text, bool dim = false)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    if (dim) {
        item->setForeground(QColor(0x80, 0x80, 0x80));
    }
    return item;
}

QString NameOf(const std::string& name)
{
    return ui::PathToQt(name);
}

} // namespace

TPatternDialog::TPatternDialog(Kind kind, QWidget* parent) : QDialog(parent), m_kind(kind)
{
    const bool tags = kind == Kind::kTagsFromNames;
    setObjectName(tags ? QStringLiteral("TagsFromNamesDialog")
                       : QStringLiteral("RenameFilesDialog"));
    setWindowTitle(tags ? tr("Tags from file names") : tr("Rename files from tags"));

    auto* patternLabel = new QLabel(tr("&Pattern"), this);
    cbPattern = new QComboBox(this);
    cbPattern->setObjectName(QStringLiteral("cbPattern"));
    cbPattern->setEditable(true);
    cbPattern->setInsertPolicy(QComboBox::NoInsert);
    cbPattern->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    patternLabel->setBuddy(cbPattern);
    QStringList patterns = UserSettings().value(SettingsKey()).toStringList();
    for (const QString& first : FirstPatterns(kind)) {
        if (!patterns.contains(first)) {
            patterns << first;
        }
    }
    cbPattern->addItems(patterns);
    lbPlaceholders =
        new QLabel((tags ? tr("Placeholders: %1, with the text between them as the names have it.")
                         : tr("Placeholders: %1; %track:2% pads the number to two digits."))
                       .arg(PlaceholderList()),
                   this);
    lbPlaceholders->setWordWrap(true);
    lbSummary = new QLabel(this);
    lbSummary->setObjectName(QStringLiteral("lbSummary"));
    twPreview = new QTableWidget(this);
    twPreview->setObjectName(QStringLiteral("twPreview"));
    twPreview->verticalHeader()->hide();
    twPreview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    twPreview->setSelectionBehavior(QAbstractItemView::SelectRows);
    twPreview->horizontalHeader()->setStretchLastSection(true);
    btApply = new QPushButton(tr("&Apply"), this);
    btApply->setObjectName(QStringLiteral("btApply"));
    btCancel = new QPushButton(tr("Cancel"), this);
    btCancel->setObjectName(QStringLiteral("btCancel"));
    btApply->setAutoDefault(false);
    btCancel->setAutoDefault(false);

    auto* patternLine = new QHBoxLayout;
    patternLine->addWidget(patternLabel);
    patternLine->addWidget(cbPattern, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(lbSummary, 1);
    buttons->addWidget(btApply);
    buttons->addWidget(btCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(patternLine);
    layout->addWidget(lbPlaceholders);
    layout->addWidget(twPreview, 1);
    layout->addLayout(buttons);
    resize(720, 420);

    // The preview follows the typing once it pauses.
    m_typing.setSingleShot(true);
    m_typing.setInterval(150);
    connect(&m_typing, &QTimer::timeout, this, &TPatternDialog::UpdatePreview);
    connect(cbPattern, &QComboBox::editTextChanged, this, &TPatternDialog::PatternEdited);
    connect(btApply, &QPushButton::clicked, this, &TPatternDialog::Apply);
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString TPatternDialog::SettingsKey() const
{
    return m_kind == Kind::kTagsFromNames ? QStringLiteral("Patterns/TagsFromNames")
                                          : QStringLiteral("Patterns/RenameFiles");
}

void TPatternDialog::SetRows(std::string folder, std::vector<FileRow> rows)
{
    m_folder = std::move(folder);
    m_rows = std::move(rows);
    UpdatePreview();
}

void TPatternDialog::PatternEdited()
{
    // A rename's preview of the text before this edit may still be on its
    // way; it must not come back as the preview of this text.
    ++m_generation;
    m_previewCurrent = false;
    btApply->setEnabled(false);
    m_typing.start();
}

void TPatternDialog::ShowRefusal(const QString& reason)
{
    twPreview->clear();
    twPreview->setRowCount(0);
    twPreview->setColumnCount(0);
    lbSummary->setText(reason);
    btApply->setEnabled(false);
    m_previewCurrent = true;
    emit PreviewShown();
}

void TPatternDialog::UpdatePreview()
{
    m_typing.stop();
    ++m_generation;
    const bool tags = m_kind == Kind::kTagsFromNames;
    ParsedNamePattern parsed =
        ParseNamePattern(ui::ToUtf8(cbPattern->currentText()),
                         tags ? NamePatternUse::kMatch : NamePatternUse::kFormat);
    if (!parsed.Error.empty()) {
        m_pattern = {};
        ShowRefusal(ToQt(parsed.Error));
        return;
    }
    m_pattern = std::move(parsed.Pattern);
    if (tags) {
        // Names are matched in memory: no file is read.
        m_tagPlan = PlanTagsFromNames(m_pattern, m_rows);
        ShowTagPlan();
        return;
    }
    // A rename's plan looks for names taken in the folder: off the GUI thread.
    lbSummary->setText(tr("Looking at the folder..."));
    const std::uint64_t generation = m_generation;
    RunOffGuiThread<RenamePlan>(
        this,
        [folder = m_folder, rows = m_rows, pattern = m_pattern] {
            return PlanRenames(folder, rows, pattern);
        },
        [this, generation](RenamePlan plan) {
            if (generation == m_generation) {
                m_renamePlan = std::move(plan);
                ShowRenamePlan();
            }
        });
}

void TPatternDialog::ShowTagPlan()
{
    std::vector<const TagFieldInfo*> fields;
    QStringList captions{tr("File Name")};
    for (const TagFieldInfo& field : kAllTagFields) {
        if (m_pattern.Fields.Has(field.Mask)) {
            fields.push_back(&field);
            captions << tr(field.Label);
        }
    }
    captions << tr("Note");
    twPreview->clear();
    twPreview->setColumnCount(static_cast<int>(captions.size()));
    twPreview->setHorizontalHeaderLabels(captions);
    twPreview->setRowCount(static_cast<int>(m_tagPlan.size()));
    int matched = 0;
    for (int row = 0; row < static_cast<int>(m_tagPlan.size()); ++row) {
        const NameTags& entry = m_tagPlan[static_cast<std::size_t>(row)];
        matched += entry.Matched ? 1 : 0;
        twPreview->setItem(row, 0, Cell(NameOf(entry.FileName), !entry.Matched));
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const QString value = entry.Matched ? ToQt(entry.Values.*fields[i]->Member) : QString();
            twPreview->setItem(row, static_cast<int>(i) + 1, Cell(value));
        }
        twPreview->setItem(row, static_cast<int>(fields.size()) + 1,
                           Cell(entry.Matched ? QString() : tr("does not match"), true));
    }
    twPreview->resizeColumnsToContents();
    lbSummary->setText(tr("%1 of %2 files match; only the fields the pattern names are written.")
                           .arg(matched)
                           .arg(m_tagPlan.size()));
    btApply->setEnabled(matched > 0);
    m_previewCurrent = true;
    emit PreviewShown();
}

void TPatternDialog::ShowRenamePlan()
{
    twPreview->clear();
    twPreview->setColumnCount(3);
    twPreview->setHorizontalHeaderLabels({tr("File Name"), tr("New name"), tr("Note")});
    twPreview->setRowCount(static_cast<int>(m_renamePlan.Items.size()));
    int renamed = 0;
    for (int row = 0; row < static_cast<int>(m_renamePlan.Items.size()); ++row) {
        const PlannedRename& item = m_renamePlan.Items[static_cast<std::size_t>(row)];
        const bool renames = item.Check == RenameCheck::kRename;
        renamed += renames ? 1 : 0;
        QString note;
        switch (item.Check) {
        case RenameCheck::kRename:
            break;
        case RenameCheck::kUnchanged:
            note = tr("keeps its name");
            break;
        case RenameCheck::kCollision:
        case RenameCheck::kRefused:
            note = ToQt(item.Reason);
            break;
        }
        twPreview->setItem(row, 0, Cell(NameOf(item.OldName), !renames));
        twPreview->setItem(row, 1, Cell(NameOf(item.NewName), !renames));
        twPreview->setItem(row, 2, Cell(note, true));
    }
    twPreview->resizeColumnsToContents();
    lbSummary->setText(tr("%1 of %2 files get a new name; no file is ever replaced.")
                           .arg(renamed)
                           .arg(m_renamePlan.Items.size()));
    btApply->setEnabled(renamed > 0);
    m_previewCurrent = true;
    emit PreviewShown();
}

void TPatternDialog::Apply()
{
    if (!m_previewCurrent || !btApply->isEnabled()) {
        return;
    }
    // The pattern goes first in the list the next showing offers.
    QStringList patterns = UserSettings().value(SettingsKey()).toStringList();
    patterns.removeAll(cbPattern->currentText());
    patterns.prepend(cbPattern->currentText());
    UserSettings().setValue(SettingsKey(), patterns.mid(0, kPatternsKept));
    accept();
}

} // namespace varnello
