#pragma once
// The address history is the drop-down list of the address box: folders,
// most recently added first, each only once (compared without regard to
// case), for this run only.

#include <QString>
#include <QStringList>

class QComboBox;

namespace varnello {

bool HistoryContains(const QComboBox& address, const QString& folder);

// Puts `folder` at the top unless the history holds it already. The text
// typed in the box stays as it is.
void AddToHistory(QComboBox& address, const QString& folder);

QStringList HistoryEntries(const QComboBox& address);

} // namespace varnello
