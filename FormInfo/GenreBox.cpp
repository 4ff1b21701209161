#include "GenreBox.h"

#include "Genres.h"

#include <QComboBox>
#include <QStringList>
#include <algorithm>

namespace varnello {

namespace {

QStringList SortedGenreNames()
{
    QStringList names;
    names.reserve(static_cast<qsizetype>(kGenreCount));
    for (const char* name : GenreNames) {
        names.append(QString::fromLatin1(name));
    }
    // A sorted list box compares without regard to case: "A Capela", "Acid",
    // "Acid Jazz", ... "Trip-Hop", "Vocal".
    std::stable_sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    return names;
}

} // namespace

void FillGenreBox(QComboBox* box)
{
    static const QStringList sortedNames = SortedGenreNames();
    const QString editText = box->currentText();
    const bool blocked = box->blockSignals(true);
    box->setUpdatesEnabled(false);
    box->clear();
    box->addItems(sortedNames);
    // Adding items selects the first one; the edit field keeps what it held.
    box->setCurrentIndex(-1);
    box->setEditText(editText);
    box->setUpdatesEnabled(true);
    box->blockSignals(blocked);
}

void PrepareGenreBox(QComboBox* box)
{
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr);
    box->setMaxVisibleItems(16);
    box->clear();
    box->addItem(QString());
}

} // namespace varnello
