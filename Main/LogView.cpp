#include "LogView.h"

#include "StatusWord.h"
#include "Ui.h"

#include <QCoreApplication>
#include <QLocale>
#include <algorithm>

namespace varnello::logview {

namespace {

QString TimeText(const QTime& time)
{
    return QLocale().toString(time, QLocale::LongFormat);
}

// The "Time" column starts 80 pixels wide, or as wide as the locale's long time
// format needs in the table's font, when that is wider.
int TimeColumnWidth(const TListViewSort& log)
{
    const int text = log.fontMetrics().horizontalAdvance(TimeText(QTime(23, 59, 59)));
    return std::max(80, text + 14);
}

} // namespace

void SetUp(TListViewSort& log)
{
    log.setObjectName(QStringLiteral("clsLVLogView"));
    log.SetColumns({
        {QCoreApplication::translate("LogView", "!"), 30, 30, 30, false},
        {QCoreApplication::translate("LogView", "Description"), 240, 30, 500, false},
        {QCoreApplication::translate("LogView", "Path"), 300, 30, 500, false},
        {QCoreApplication::translate("LogView", "Time"), TimeColumnWidth(log), 1, 500, false},
    });
    QPalette palette = log.palette();
    palette.setColor(QPalette::Base, Qt::white);
    log.setPalette(palette);
}

QString StatusMessageText(StatusWord status)
{
    // The core's English message is the key of its translation.
    const std::string message = StatusMessage(status.ErrorCode());
    return QCoreApplication::translate("StatusMessage", message.c_str());
}

TListRow ToLogRow(const SaveFailure& failure, const std::string& folder, const QTime& time)
{
    return ToLogRow(StatusMessageText(failure.Status), folder, failure.FileName, time);
}

TListRow ToLogRow(const QString& description, const std::string& folder,
                  const std::string& fileName, const QTime& time)
{
    TListRow row;
    row.Cells << QString() << description << ui::PathToQt(JoinPath(folder, fileName))
              << TimeText(time);
    row.Data = ui::ToBytes(fileName);
    return row;
}

void LayoutLogColumns(TListViewSort& log, int width)
{
    int others = 0;
    for (int column = 0; column < log.ColumnCount(); ++column) {
        if (column != kPath) {
            others += log.columnWidth(column);
        }
    }
    const int free = width - others - 5;
    if (free > 300 && log.columnWidth(kPath) < free) {
        log.SetColumnWidth(kPath, free);
    }
}

} // namespace varnello::logview
