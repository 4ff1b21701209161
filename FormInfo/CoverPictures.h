#pragma once
// The windows' side of cover pictures, shared by both editors: reading and
// checking a picture the user gives (a file, or data dropped or pasted),
// reading a file's cover for its thumbnail, and writing a cover out. The work
// runs on the thread pool, never on the GUI thread; the answer comes back on
// the GUI thread, and only while its receiver still exists.

#include "Cover.h"

#include <QCoreApplication>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QThreadPool>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QMimeData;

namespace varnello {

// A picture as the windows show it.
struct CoverPicture
{
    // The picture's bytes, JPEG or PNG; none for "no cover".
    std::shared_ptr<const std::vector<std::uint8_t>> Bytes;
    QImage Thumbnail; // scaled to fit the box asked for; null when none
    QString Caption;  // "600 × 600 JPEG, 84 KiB", or what stands instead
    // Why a picture the user gave cannot be used; empty when it can. For a
    // file's cover: why it cannot be shown.
    QString Refusal;

    bool HasBytes() const { return Bytes && !Bytes->empty(); }
};

// Runs `work` on the thread pool and hands its result to `done` on the GUI
// thread, unless `receiver` is gone by then.
template <typename Result>
void RunOffGuiThread(QObject* receiver, std::function<Result()> work,
                     std::function<void(Result)> done)
{
    QThreadPool::globalInstance()->start(
        [guard = QPointer<QObject>(receiver), work = std::move(work), done = std::move(done)] {
            Result result = work();
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [guard, done, result = std::move(result)] {
                    if (guard) {
                        done(result);
                    }
                },
                Qt::QueuedConnection);
        });
}

namespace cover {

// The thumbnail box of the Content page.
inline constexpr int kThumbnailSide = 96;

// The cover of the file at `path` (the picture of type "front cover", else
// the first picture), with its thumbnail; no bytes when the file has none.
CoverPicture ReadFileCover(const std::string& path, QSize box);
// A picture file the user chose, checked: JPEG or PNG by its bytes, at most
// 16 MiB, and decoded once to make its thumbnail.
CoverPicture ReadPicture(const std::string& path, QSize box);
// The same for bytes the user dropped or pasted.
CoverPicture CheckPicture(std::vector<std::uint8_t> bytes, QSize box);
// A picture held as an image (a pasted screenshot), stored as PNG.
CoverPicture PictureFromImage(const QImage& image, QSize box);
// Takes what dropped or pasted data offers, in this order: JPEG or PNG bytes,
// a local picture file, an image. Reads and checks it off the GUI thread and
// calls `done` with the picture, or with a refusal when the data holds none.
void TakePictureFrom(const QMimeData& data, QObject* receiver, QSize box,
                     std::function<void(CoverPicture)> done);

// Writes the picture's bytes to `path` whole or not at all (see
// WriteFileWhole). Returns why it failed; empty on success.
QString WritePicture(const std::string& path, const std::vector<std::uint8_t>& bytes);

// "600 × 600 JPEG, 84 KiB".
QString Caption(const ImageCheck& check, std::uint64_t size);

} // namespace cover

} // namespace varnello
