#pragma once
// The dialogs "Tags from file names" and "Rename files from tags": a name
// pattern (the patterns used before are offered), a preview of what it does
// to each selected file, and Apply. Nothing is written here; the main window
// applies the plan the dialog shows.

#include "FileRow.h"
#include "NamePattern.h"
#include "NameTagger.h"
#include "Renamer.h"

#include <QDialog>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace varnello {

class TPatternDialog : public QDialog
{
    Q_OBJECT

public:
    enum class Kind
    {
        kTagsFromNames,
        kRenameFiles,
    };

    explicit TPatternDialog(Kind kind, QWidget* parent = nullptr);

    // The folder and the selected rows, in table order; shows their preview.
    void SetRows(std::string folder, std::vector<FileRow> rows);

    // The plan the preview shows, read after Apply.
    const std::vector<NameTags>& TagPlan() const { return m_tagPlan; }
    const RenamePlan& Renames() const { return m_renamePlan; }
    FieldMask PatternFields() const { return m_pattern.Fields; }

    // Whether the preview shows the pattern as typed (a rename's preview
    // looks at the folder off the GUI thread).
    bool PreviewIsCurrent() const { return m_previewCurrent; }

signals:
    void PreviewShown();

private:
    void PatternEdited();
    void UpdatePreview();
    void ShowTagPlan();
    void ShowRenamePlan();
    void ShowRefusal(const QString& reason);
    void Apply();
    QString SettingsKey() const;

    Kind m_kind;
    QComboBox* cbPattern = nullptr;
    QLabel* lbPlaceholders = nullptr;
    QLabel* lbSummary = nullptr;
    QTableWidget* twPreview = nullptr;
    QPushButton* btApply = nullptr;
    QPushButton* btCancel = nullptr;
    QTimer m_typing;

    std::string m_folder;
    std::vector<FileRow> m_rows;
    NamePattern m_pattern;
    std::vector<NameTags> m_tagPlan;
    RenamePlan m_renamePlan;
    std::uint64_t m_generation = 0;
    bool m_previewCurrent = false;
};

} // namespace varnello
