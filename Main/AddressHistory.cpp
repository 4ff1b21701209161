#include "AddressHistory.h"

#include <QComboBox>

namespace varnello {

bool HistoryContains(const QComboBox& address, const QString& folder)
{
    for (int i = 0; i < address.count(); ++i) {
        if (address.itemText(i).compare(folder, Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}

void AddToHistory(QComboBox& address, const QString& folder)
{
    if (folder.isEmpty() || HistoryContains(address, folder)) {
        return;
    }
    // Inserting into an editable box can make the new entry current and
    // overwrite the typed text; the text is the user's and must not move.
    const QString typed = address.currentText();
    const bool blocked = address.blockSignals(true);
    address.insertItem(0, folder);
    address.setCurrentIndex(-1);
    if (address.isEditable()) {
        address.setEditText(typed);
    }
    address.blockSignals(blocked);
}

QStringList HistoryEntries(const QComboBox& address)
{
    QStringList entries;
    for (int i = 0; i < address.count(); ++i) {
        entries.append(address.itemText(i));
    }
    return entries;
}

} // namespace varnello
