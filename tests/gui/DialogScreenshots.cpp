// Draws the tag editor dialog in its single-file and multi-file set-ups on
// the offscreen platform and writes the pictures for the README:
//   forminfo_screenshots OUTPUT_FOLDER

#include "FileRow.h"
#include "TFormInfo.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QPixmap>
#include <cstdio>
#include <vector>

using varnello::FileRow;
using varnello::TagFields;

namespace {

FileRow Row(int no, const char* name, TagFields fields)
{
    FileRow row;
    row.No = no;
    row.TagKind = varnello::tagkind::kBoth;
    row.FileName = name;
    row.Fields = std::move(fields);
    return row;
}

bool Save(varnello::TFormInfo& dialog, const QString& path)
{
    dialog.show();
    QApplication::processEvents();
    const bool saved = dialog.grab().save(path);
    dialog.hide();
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: forminfo_screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const QString folder = QStringLiteral("~/Music/Night Drive");
    const std::vector<FileRow> rows = {
        Row(0, "01 - Harbour Lights.mp3",
            {"Harbour Lights", "The Quiet Engines", "Night Drive", "2004", "Alternative",
             "Recorded live\nat the old pier", "1/3", "1/1", "The Quiet Engines"}),
        Row(1, "02 - Low Tide.mp3",
            {"Low Tide", "The Quiet Engines", "Night Drive", "2004", "Alternative", "", "2/3",
             "1/1", "The Quiet Engines"}),
        Row(2, "03 - Paper Moon.mp3",
            {"Paper Moon", "The Quiet Engines", "Night Drive", "2004", "Alternative", "", "3/3",
             "1/1", "The Quiet Engines"}),
    };

    varnello::TFormInfo dialog;
    dialog.SetFolder(folder);
    dialog.SetSelection({rows.front()});
    dialog.SetSingleFile(folder + QStringLiteral("/01 - Harbour Lights.mp3"));
    dialog.LoadFromRow(rows.front());
    bool ok = Save(dialog, out.filePath(QStringLiteral("forminfo-single.png")));

    dialog.SetFolder(folder);
    dialog.SetSelection(rows);
    dialog.SetMultipleFiles();
    dialog.findChild<QCheckBox*>(QStringLiteral("chkbAlbum"))->setChecked(true);
    dialog.findChild<QCheckBox*>(QStringLiteral("chkbYear"))->setChecked(true);
    ok = Save(dialog, out.filePath(QStringLiteral("forminfo-multi.png"))) && ok;
    return ok ? 0 : 1;
}
