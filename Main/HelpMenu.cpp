#include "HelpMenu.h"

#include "TAboutBox1.h"
#include "VarnelloSettings.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

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
    m_opener = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    m_messageBox = [this](const QString& title, const QString& text) {
        QMessageBox::information(m_window, title, text);
    };
}

void HelpMenu::SetUrlOpener(UrlOpener opener)
{
    m_opener = [opener = std::move(opener)](const QUrl& url) {
        opener(url);
        return true;
    };
}

bool HelpMenu::OpenUrl(const QUrl& url) const
{
    // A missing page or mail program is the desktop's to report; only a
    // desktop without any program for the address answers false.
    return m_opener(url);
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
    const QString path = HelpFilePath(QCoreApplication::applicationDirPath());
    if (!OpenUrl(QUrl::fromLocalFile(path))) {
        // Without a browser the user can still open the page by hand.
        m_messageBox(tr("Help"), tr("No program to show the help page was found.\n\n"
                                    "The user's guide is the page\n%1")
                                     .arg(QDir::toNativeSeparators(path)));
    }
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
