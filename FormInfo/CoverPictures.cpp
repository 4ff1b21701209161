#include "CoverPictures.h"

#include "Ui.h"
#include "WholeFile.h"

#include <QBuffer>
#include <QByteArray>
#include <QCoreApplication>
#include <QImageReader>
#include <QImageWriter>
#include <QLocale>
#include <QMimeData>
#include <QUrl>
#include <span>

namespace varnello::cover {

namespace {

QString Tr(const char* text)
{
    return QCoreApplication::translate("CoverPictures", text);
}

// Decodes the picture once, straight to the size of the box: a JPEG decoder
// scales while it decodes, so a large cover costs little.
QImage DecodeThumbnail(std::span<const std::uint8_t> bytes, QSize box)
{
    QByteArray raw = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                             static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&raw);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const QSize full = reader.size();
    if (full.isValid() && (full.width() > box.width() || full.height() > box.height())) {
        reader.setScaledSize(full.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    }
    return reader.read();
}

// The checked picture with its thumbnail, or the reason it is refused.
CoverPicture Checked(std::vector<std::uint8_t> bytes, const ImageCheck& check, QSize box)
{
    CoverPicture picture;
    if (bytes.size() > kLargestPicture) {
        picture.Refusal = Tr("larger than 16 MiB");
        return picture;
    }
    if (check.Format == ImageFormat::kNone) {
        picture.Refusal = Tr("not a JPEG or PNG picture");
        return picture;
    }
    picture.Thumbnail = DecodeThumbnail(bytes, box);
    if (picture.Thumbnail.isNull()) {
        picture.Refusal = Tr("the picture cannot be decoded");
        return picture;
    }
    picture.Caption = Caption(check, bytes.size());
    picture.Bytes = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
    return picture;
}

std::vector<std::uint8_t> ToVector(const QByteArray& bytes)
{
    return {reinterpret_cast<const std::uint8_t*>(bytes.constData()),
            reinterpret_cast<const std::uint8_t*>(bytes.constData()) + bytes.size()};
}

} // namespace

QString Caption(const ImageCheck& check, std::uint64_t size)
{
    return QStringLiteral("%1 \u00D7 %2 %3, %4")
        .arg(check.Width)
        .arg(check.Height)
        .arg(QLatin1String(check.Name()))
        .arg(QLocale().formattedDataSize(static_cast<qint64>(size), 0));
}

CoverPicture ReadFileCover(const std::string& path, QSize box)
{
    CoverRead read = ReadCover(path);
    CoverPicture picture;
    if (!read.Cover) {
        picture.Caption = Tr("No cover");
        return picture;
    }
    AttachedPicture& cover = *read.Cover;
    if (cover.Data.empty()) {
        picture.Caption = Tr("A picture of %1 that cannot be shown")
                              .arg(QLocale().formattedDataSize(static_cast<qint64>(cover.Size), 0));
        picture.Refusal = picture.Caption;
        return picture;
    }
    if (read.Check.Format == ImageFormat::kNone) {
        // Kept as it is; only pictures this program could have written are
        // shown.
        picture.Caption = Tr("A picture of %1 (%2) that cannot be shown")
                              .arg(QLocale().formattedDataSize(static_cast<qint64>(cover.Size), 0))
                              .arg(ui::ToQt(cover.Mime));
        picture.Refusal = picture.Caption;
        picture.Bytes = std::make_shared<const std::vector<std::uint8_t>>(std::move(cover.Data));
        return picture;
    }
    picture.Thumbnail = DecodeThumbnail(cover.Data, box);
    picture.Caption = Caption(read.Check, cover.Data.size());
    if (picture.Thumbnail.isNull()) {
        picture.Refusal = Tr("the picture cannot be decoded");
    }
    picture.Bytes = std::make_shared<const std::vector<std::uint8_t>>(std::move(cover.Data));
    return picture;
}

CoverPicture ReadPicture(const std::string& path, QSize box)
{
    PictureFile file = ReadPictureFile(path);
    if (!file.Refusal.empty()) {
        CoverPicture refused;
        refused.Refusal = ui::ToQt(file.Refusal);
        return refused;
    }
    return Checked(std::move(file.Bytes), file.Check, box);
}

CoverPicture CheckPicture(std::vector<std::uint8_t> bytes, QSize box)
{
    const ImageCheck check =
        bytes.size() > kLargestPicture ? ImageCheck{} : CheckImage(std::span(bytes));
    return Checked(std::move(bytes), check, box);
}

CoverPicture PictureFromImage(const QImage& image, QSize box)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (image.isNull() || !writer.write(image)) {
        CoverPicture refused;
        refused.Refusal = Tr("the picture cannot be stored as PNG");
        return refused;
    }
    return CheckPicture(ToVector(png), box);
}

void TakePictureFrom(const QMimeData& data, QObject* receiver, QSize box,
                     std::function<void(CoverPicture)> done)
{
    for (const char* format : {"image/jpeg", "image/png"}) {
        const QString mime = QString::fromLatin1(format);
        if (data.hasFormat(mime)) {
            RunOffGuiThread<CoverPicture>(
                receiver,
                [bytes = ToVector(data.data(mime)), box] { return CheckPicture(bytes, box); },
                std::move(done));
            return;
        }
    }
    for (const QUrl& url : data.urls()) {
        if (url.isLocalFile()) {
            RunOffGuiThread<CoverPicture>(
                receiver,
                [path = ui::PathFromQt(url.toLocalFile()), box] { return ReadPicture(path, box); },
                std::move(done));
            return;
        }
    }
    if (data.hasImage()) {
        RunOffGuiThread<CoverPicture>(
            receiver,
            [image = qvariant_cast<QImage>(data.imageData()), box] {
                return PictureFromImage(image, box);
            },
            std::move(done));
        return;
    }
    CoverPicture none;
    none.Refusal = Tr("no picture to take");
    done(none);
}

QString WritePicture(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    return ui::ToQt(WriteFileWhole(path, bytes));
}

} // namespace varnello::cover
