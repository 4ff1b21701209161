#pragma once
// The log view's columns and rows: one row per failed save, with the message
// for the status word, the file's full path and the time it was logged.

#include "FileRow.h"
#include "TListViewSort.h"

#include <QString>
#include <QTime>
#include <cstdint>
#include <string>

namespace varnello::logview {

enum Column : int
{
    kMark = 0,
    kDescription,
    kPath,
    kTime,
    kColumnCount
};

void SetUp(TListViewSort& log);

// The message for a status word: the text of its high byte, the error code.
QString StatusMessageText(StatusWord status);

TListRow ToLogRow(const SaveFailure& failure, const std::string& folder, const QTime& time);
// A row for what failed on a file besides a save (a rename), with its reason.
TListRow ToLogRow(const QString& description, const std::string& folder,
                  const std::string& fileName, const QTime& time);

// Widens the "Path" column into the free width of a log `width` pixels wide.
void LayoutLogColumns(TListViewSort& log, int width);

} // namespace varnello::logview
