// Takes pictures of the main window on a folder, for the README:
//   varnello-screenshot [--sample] FOLDER OUT.png [FAILED.png]
// With --sample the folder is first filled with a few files of its own (for
// when the demo folder generator is not at hand). FAILED.png shows an edit
// whose save failed because its file went away; that file is removed from
// FOLDER. Run on the offscreen platform: QT_QPA_PLATFORM=offscreen.

#include "FileTable.h"
#include "Mp3Builder.h"
#include "TCoverView.h"
#include "TFormMain.h"
#include "TListViewSort.h"
#include "TPatternDialog.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPixmap>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <filesystem>

namespace {

using varnello::testsupport::Id3v1Fields;
using varnello::testsupport::Id3v2Builder;
using varnello::testsupport::Mp3Builder;

struct Sample
{
    const char* File;
    const char* Title;
    const char* Artist;
    const char* Album;
    const char* Year;
    const char* Genre;
    const char* Comment;
};

void WriteSampleFolder(const std::string& folder)
{
    static const Sample samples[] = {
        {"01 Morning Light.mp3", "Morning Light", "Ada Lind", "Northern Roads", "2019", "Folk",
         "Recorded live in Bergen"},
        {"02 Harbour Lines.mp3", "Harbour Lines", "Ada Lind", "Northern Roads", "2019", "Folk", ""},
        {"03 Slow River.mp3", "Slow River", "The Quiet Set", "Lowlands", "2007", "Jazz",
         "Remastered"},
        {"04 Paper Boats.mp3", "Paper Boats", "The Quiet Set", "Lowlands", "2007", "Jazz", ""},
        {"05 Iron Sky.mp3", "Iron Sky", "Kestrel", "Altitude", "1998", "Rock", "Single edit"},
        {"06 Static.mp3", "Static", "Kestrel", "Altitude", "1998", "Rock", ""},
        {"07 Glass Garden.mp3", "Glass Garden", "Mira Cole", "Greenhouse", "2021", "Pop", ""},
        {"08 Late Tram.mp3", "Late Tram", "Mira Cole", "Greenhouse", "2021", "Pop", "Bonus track"},
    };
    std::filesystem::create_directories(folder);
    for (const Sample& sample : samples) {
        Id3v2Builder tag;
        tag.TextFrame("TIT2", sample.Title)
            .TextFrame("TPE1", sample.Artist)
            .TextFrame("TALB", sample.Album)
            .TextFrame("TYER", sample.Year)
            .TextFrame("TCON", sample.Genre);
        if (*sample.Comment != '\0') {
            tag.Frame("COMM", varnello::testsupport::Latin1Comment("eng", "", sample.Comment));
        }
        Mp3Builder()
            .Tag(tag.Padding(256).Build())
            .Audio(4)
            .WriteTo((std::filesystem::path(folder) / sample.File).string());
    }
    Id3v1Fields old;
    old.Title = "Old Tape";
    old.Artist = "Unknown Band";
    old.Year = "1985";
    old.Genre = 17;
    Mp3Builder().Audio(4).Id3v1(old).WriteTo(
        (std::filesystem::path(folder) / "09 Old Tape.mp3").string());
    Mp3Builder().Audio(4).WriteTo((std::filesystem::path(folder) / "10 untagged.mp3").string());
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    const bool sample = arguments.removeAll(QStringLiteral("--sample")) > 0;
    if (arguments.size() < 2 || arguments.size() > 4) {
        std::fprintf(stderr, "usage: varnello-screenshot [--sample] FOLDER OUT.png [FAILED.png "
                             "[FROM-NAMES.png]]\n");
        return 2;
    }
    const QString folder = QDir(arguments.at(0)).absolutePath();
    // Opening a folder makes it the working folder: the picture's path is
    // made absolute first.
    const QString picture = QDir(arguments.at(1)).absolutePath();
    const QString failed = arguments.size() >= 3 ? QDir(arguments.at(2)).absolutePath() : QString();
    const QString fromNames =
        arguments.size() == 4 ? QDir(arguments.at(3)).absolutePath() : QString();
    if (sample) {
        WriteSampleFolder(QDir::toNativeSeparators(folder).toStdString());
    }

    // The picture shows the default columns whatever the user chose.
    const QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    varnello::TFormMain window;
    // Wide enough for the Track column after the comment.
    window.resize(1100, window.height());
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::fprintf(stderr, "the window was not shown\n");
        return 1;
    }
    window.ShowFolder(folder);
    if (!QTest::qWaitFor([&] { return !window.IsListing(); }, 10000)) {
        std::fprintf(stderr, "the folder was not read\n");
        return 1;
    }
    auto* table = window.findChild<varnello::TListViewSort*>(QStringLiteral("clsLVFile"));
    // The file with a cover, so that the Content page shows one.
    table->SelectRows({7});
    auto* cover = window.findChild<varnello::TCoverView*>(QStringLiteral("CoverView"));
    if (!QTest::qWaitFor([&] { return !cover->IsReading(); }, 5000)) {
        std::fprintf(stderr, "the cover was not read\n");
        return 1;
    }
    QTest::qWait(50);
    if (!window.grab().save(picture)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(picture));
        return 1;
    }
    if (!fromNames.isEmpty()) {
        // The preview of tags from the names of every file of the folder.
        std::vector<varnello::FileRow> rows;
        const auto& model = static_cast<const varnello::FileTableModel&>(table->Rows());
        for (int row = 0; row < model.RowCount(); ++row) {
            rows.push_back(model.Row(row));
        }
        varnello::TPatternDialog dialog(varnello::TPatternDialog::Kind::kTagsFromNames, &window);
        dialog.SetRows(window.CurrentFolderPath(), rows);
        dialog.findChild<QComboBox*>(QStringLiteral("cbPattern"))
            ->setEditText(QStringLiteral("%track% - %title%"));
        dialog.show();
        if (!QTest::qWaitFor([&] { return dialog.PreviewIsCurrent(); }, 5000)) {
            std::fprintf(stderr, "the preview was not shown\n");
            return 1;
        }
        QTest::qWait(50);
        if (!dialog.grab().save(fromNames)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(fromNames));
            return 1;
        }
        dialog.close();
    }
    if (!failed.isEmpty()) {
        // The third file goes away while its title is being edited.
        table->SelectRows({2});
        auto* title = window.findChild<QLineEdit*>(QStringLiteral("edTitle"));
        title->setText(title->text() + QStringLiteral(" (live)"));
        const QString name = table->Rows().Cell(2, 2);
        QFile::remove(QDir(folder).filePath(name));
        window.findChild<QAction*>(QStringLiteral("SaveContentAction"))->trigger();
        QTest::qWait(50);
        if (!window.grab().save(failed)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(failed));
            return 1;
        }
    }
    return 0;
}
