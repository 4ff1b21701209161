// The Help menu's requests to the desktop, the about box and the playback
// panel, each on its own.

#include "HelpMenu.h"

#include "Mp3Builder.h"
#include "TPlaybackPanel.h"
#include "VarnelloSettings.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMainWindow>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrlQuery>
#include <filesystem>

using namespace varnello;
using varnello::testsupport::TempDir;

namespace {

void Touch(const std::string& path)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    varnello::testsupport::WriteFile(path, varnello::testsupport::ToBytes("<html></html>"));
}

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

class HelpMenuTest : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void HelpPathHasOneSeparator();
    void HelpPathPrefersPageBesideExecutableThenInstalledOne();
    void ContentAsksForPageBesideExecutable();
    void ContentWithoutABrowserShowsThePagePath();
    void ReportABugHandsOverExactMailLink();
    void HomePageAndBugListUseBuildSettings();
    void AboutBoxShowsNameVersionAndLinks();
    void PlaybackPanelIsHiddenAndItsButtonsDoNothing();

private:
    QMainWindow m_window;
    HelpMenu* m_help = nullptr;
    QList<QUrl> m_opened;
};

void HelpMenuTest::init()
{
    m_opened.clear();
    m_help = new HelpMenu(&m_window);
    m_help->SetUrlOpener([this](const QUrl& url) { m_opened.append(url); });
}

void HelpMenuTest::HelpPathHasOneSeparator()
{
    QCOMPARE(HelpMenu::HelpFilePath(QStringLiteral("/")), QStringLiteral("/varnello.1.2.html"));
    TempDir dir;
    const QString folder = Q(dir.Path());
    QCOMPARE(HelpMenu::HelpFilePath(folder), folder + QStringLiteral("/varnello.1.2.html"));
    QCOMPARE(HelpMenu::HelpFilePath(folder + QStringLiteral("/")),
             folder + QStringLiteral("/varnello.1.2.html"));
}

void HelpMenuTest::HelpPathPrefersPageBesideExecutableThenInstalledOne()
{
    TempDir dir;
    const QString bin = Q(dir.File("bin"));
    std::filesystem::create_directories(dir.File("bin"));
    const QString installed = Q(dir.File("share/varnello/varnello.1.2.html"));
    Touch(installed.toStdString());
    QCOMPARE(QString::fromLatin1(settings::kDataFromBin), QStringLiteral("../share/varnello"));
    QCOMPARE(HelpMenu::HelpFilePath(bin), installed);

    Touch(dir.File("bin/varnello.1.2.html"));
    QCOMPARE(HelpMenu::HelpFilePath(bin), bin + QStringLiteral("/varnello.1.2.html"));
}

void HelpMenuTest::ContentAsksForPageBesideExecutable()
{
    m_help->Content1Click();
    QCOMPARE(m_opened.size(), 1);
    const QUrl url = m_opened.at(0);
    QCOMPARE(url.scheme(), QStringLiteral("file"));
    QCOMPARE(url.toLocalFile(),
             QCoreApplication::applicationDirPath() + QStringLiteral("/varnello.1.2.html"));
    QVERIFY2(!url.toLocalFile().contains(QStringLiteral("//")), qPrintable(url.toLocalFile()));
}

void HelpMenuTest::ContentWithoutABrowserShowsThePagePath()
{
    QStringList messages;
    m_help->SetCheckedUrlOpener([](const QUrl&) { return false; });
    m_help->SetMessageBox(
        [&messages](const QString&, const QString& text) { messages.append(text); });
    m_help->Content1Click();
    QCOMPARE(messages.size(), 1);
    const QString page = QDir::toNativeSeparators(QCoreApplication::applicationDirPath() +
                                                  QStringLiteral("/varnello.1.2.html"));
    QVERIFY2(messages.at(0).contains(page), qPrintable(messages.at(0)));
}

void HelpMenuTest::ReportABugHandsOverExactMailLink()
{
    m_help->Reportabug1Click();
    QCOMPARE(m_opened.size(), 1);
    const QUrl url = m_opened.at(0);
    const QString expected =
        QStringLiteral("mailto:") + QString::fromLatin1(settings::kSupportMail) +
        QStringLiteral(
            "?subject=Report a bug -(Title)&body= Software name (Varnello): %0A%0A OS (Windows "
            "2000/XP/2003):%0A%0A Reporter (Your name or email): %0A%0A Version: %0A%0A Severity "
            "(High/Normal/Minor/Enhancement):  %0A%0A Description:");
    QCOMPARE(url.toString(), expected);
    QCOMPARE(url.scheme(), QStringLiteral("mailto"));
    QCOMPARE(url.path(), QString::fromLatin1(settings::kSupportMail));

    // What the mail program makes of it: the subject, and a body of six
    // labelled lines with a blank line between each two.
    const QUrlQuery query(url);
    QCOMPARE(query.queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded),
             QStringLiteral("Report a bug -(Title)"));
    const QStringList lines =
        query.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded).split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 11);
    const QStringList labels{QStringLiteral("Software name"), QStringLiteral("OS"),
                             QStringLiteral("Reporter"),      QStringLiteral("Version"),
                             QStringLiteral("Severity"),      QStringLiteral("Description")};
    for (int i = 0; i < labels.size(); ++i) {
        QVERIFY2(lines.at(2 * i).trimmed().startsWith(labels.at(i)), qPrintable(lines.at(2 * i)));
        if (i + 1 < labels.size()) {
            QVERIFY(lines.at(2 * i + 1).trimmed().isEmpty());
        }
    }
}

void HelpMenuTest::HomePageAndBugListUseBuildSettings()
{
    m_help->Homepage1Click();
    m_help->Viewbugs1Click();
    QCOMPARE(m_opened.size(), 2);
    QCOMPARE(m_opened.at(0).toString(), QString::fromLatin1(settings::kHomePage));
    QCOMPARE(m_opened.at(1).toString(), QString::fromLatin1(settings::kBugsPage));
    QVERIFY(m_opened.at(1).path().endsWith(QStringLiteral("/en/software/index_bugs.htm")));
}

void HelpMenuTest::AboutBoxShowsNameVersionAndLinks()
{
    m_window.show();
    QString title;
    QString text;
    bool modal = false;
    QTimer::singleShot(0, this, [&] {
        auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        QVERIFY(box != nullptr);
        modal = box->isModal();
        title = box->windowTitle();
        QCOMPARE(box->parentWidget(), &m_window);
        for (const QLabel* label : box->findChildren<QLabel*>()) {
            text += label->text() + QLatin1Char('\n');
        }
        auto* links = box->findChild<QLabel*>(QStringLiteral("Links"));
        QVERIFY(links != nullptr);
        emit links->linkActivated(QStringLiteral("mailto:") +
                                  QString::fromLatin1(settings::kSupportMail));
        box->accept();
    });
    m_help->About1Click();
    QCOMPARE(title, QStringLiteral("About"));
    QVERIFY(modal);
    QVERIFY2(text.contains(QStringLiteral("Varnello")), qPrintable(text));
    QVERIFY2(text.contains(QString::fromLatin1(settings::kVersion)), qPrintable(text));
    QVERIFY2(text.contains(QString::fromLatin1(settings::kHomePage)), qPrintable(text));
    QCOMPARE(m_opened.size(), 1);
    QCOMPARE(m_opened.at(0).scheme(), QStringLiteral("mailto"));
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

void HelpMenuTest::PlaybackPanelIsHiddenAndItsButtonsDoNothing()
{
    QWidget parent;
    auto* panel = new TPlaybackPanel(&parent);
    parent.show();
    QVERIFY(!panel->isVisible());
    QCOMPARE(panel->objectName(), QStringLiteral("ClsPnlLeftBottom"));
    auto* header = panel->findChild<QWidget*>(QStringLiteral("PnlLeftBottomPlay"));
    QVERIFY(header != nullptr);
    auto* caption = header->findChild<QLabel*>();
    QVERIFY(caption != nullptr);
    QCOMPARE(caption->text(), QStringLiteral("Play"));
    QCOMPARE(panel->CloseButton()->objectName(), QStringLiteral("spbtnPlayClose"));
    QCOMPARE(panel->CloseButton()->size(), QSize(18, 18));

    QSignalSpy closes(panel, &TPlaybackPanel::CloseClicked);
    panel->CloseButton()->click();
    QCOMPARE(closes.count(), 1);
    for (const char* name : {"btPlay", "btPause", "btStop"}) {
        auto* button = panel->findChild<QToolButton*>(QString::fromLatin1(name));
        QVERIFY2(button != nullptr, name);
        button->click();
    }
    QVERIFY(!panel->isVisible());
    QCOMPARE(closes.count(), 1);
}

QTEST_MAIN(HelpMenuTest)
#include "HelpMenuTest.moc"
