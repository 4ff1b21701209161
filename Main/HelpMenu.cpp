#include "HelpMenu.h"

#include "TAboutBox1.h"
#include "VarnelloSettings.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

namespace varnello {

namespace {

QString JoinFile(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

} // namespace

HelpMenu::HelpMenu(QWidget* window) : QObject(window), m_window(window)
{
    setObjectName(QStringLiteral("HelpMenu"));
    m_opener = [](const QUrl& url) { QDesktopServices::openUrl(url); };
}

void HelpMenu::OpenUrl(const QUrl& url) const
{
    // The desktop's answer is not examined: a missing page or mail program
    // is the desktop's to report.
    m_opener(url);
}

QString HelpMenu::HelpFilePath(const QString& exeDir)
{
    const QString name = QString::fromLatin1(kHelpFileName);
    const QString beside = JoinFile(exeDir, name);
    if (QFileInfo::exists(beside)) {
        return beside;
    }
    const QString dataDir =
        QDir::cleanPath(JoinFile(exeDir, QString::fromLatin1(settings::kDataFromBin)));
    const QString installed = JoinFile(dataDir, name);
    if (QFileInfo::exists(installed)) {
        return installed;
    }
    return beside;
}

QString HelpMenu::BugReportLink(const QString& mailAddress)
{
    return QStringLiteral("mailto:") + mailAddress +
           QStringLiteral("?subject=Report a bug -(Title)&body= Software name (Varnello): %0A%0A"
                          " OS (Windows 2000/XP/2003):%0A%0A Reporter (Your name or email): "
                          "%0A%0A Version: %0A%0A Severity (High/Normal/Minor/Enhancement):  "
                          "%0A%0A Description:");
}

void HelpMenu::Content1Click()
{
    OpenUrl(QUrl::fromLocalFile(HelpFilePath(QCoreApplication::applicationDirPath())));
}

void HelpMenu::Homepage1Click()
{
    OpenUrl(QUrl(QString::fromUtf8(settings::kHomePage)));
}

void HelpMenu::Reportabug1Click()
{
    // Tolerant parsing keeps the text as written: the spaces and the "%0A"
    // line breaks reach the mail program unchanged.
    OpenUrl(QUrl(BugReportLink(QString::fromUtf8(settings::kSupportMail)), QUrl::TolerantMode));
}

void HelpMenu::Viewbugs1Click()
{
    OpenUrl(QUrl(QString::fromUtf8(settings::kBugsPage)));
}

void HelpMenu::About1Click()
{
    QApplication::beep();
    TAboutBox1 box(m_window, [this](const QUrl& url) { OpenUrl(url); });
    box.exec();
}

} // namespace varnello
