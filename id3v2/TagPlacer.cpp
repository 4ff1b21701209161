#include "TagPlacer.h"

#include <cstdlib>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace varnello {

namespace {

// Audio moves inside a file in pieces of this size.
constexpr std::size_t kMoveChunk = 16384;
// A temporary file is filled in larger pieces.
constexpr std::size_t kCopyChunk = 1 << 20;

// Removes the temporary file unless it has become the new original.
class TemporaryFile
{
public:
    explicit TemporaryFile(std::string path) : m_path(std::move(path)) {}
    ~TemporaryFile()
    {
        if (!m_path.empty()) {
            ::unlink(m_path.c_str());
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const std::string& Path() const { return m_path; }
    void Keep() { m_path.clear(); }

private:
    std::string m_path;
};

// The path a rename must replace: a symbolic link is followed, so that the
// link stays and the file it points to gets the new content.
std::optional<std::string> RenameTarget(const std::string& path)
{
    struct stat info
    {
    };
    if (::lstat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    if (!S_ISLNK(info.st_mode)) {
        return path;
    }
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr),
                                                           &std::free);
    if (!real) {
        return std::nullopt;
    }
    return std::string(real.get());
}

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

TagPlacer::TagPlacer(const TagPlan& plan, const SaveIo& io, SaveProgress& progress,
                     TagEmitter emitTag)
    : m_plan(plan), m_io(io), m_progress(progress), m_emitTag(std::move(emitTag))
{
}

void TagPlacer::Place(FileStream& file, const std::string& path)
{
    if (m_plan.NewSize == m_plan.OldSize) {
        InPlace(file);
    } else if (!ThroughTemporary(file, path)) {
        MoveInPlace(file);
    }
}

void TagPlacer::StartWork(std::uint64_t moving)
{
    // The CRC, already worked out, counts a tenth of a byte per tag byte.
    const std::uint64_t crcWork = m_plan.HasCrc ? m_plan.NewSize / 10 : 0;
    m_progress.StartWork(m_plan.NewSize + crcWork + moving, crcWork);
}

void TagPlacer::WriteTag(FileStream& file, std::uint64_t position)
{
    m_progress.Phase("Writing new tag");
    WriteCache cache(m_io, m_progress);
    cache.Start(file, position);
    m_emitTag(cache);
    cache.Flush();
}

void TagPlacer::InPlace(FileStream& file)
{
    StartWork(0);
    WriteTag(file, m_plan.Offset);
}

bool TagPlacer::ThroughTemporary(FileStream& file, const std::string& path)
{
    struct stat info
    {
    };
    if (::fstat(file.Handle(), &info) != 0) {
        throw EInOutError("cannot query the file");
    }
    const std::optional<std::string> target = RenameTarget(path);
    if (info.st_nlink > 1 || !target) {
        return false;
    }
    const std::string folder = FolderOf(*target);
    std::string temporaryPath;
    FileStream temporary;
    try {
        temporary = m_io.CreateTemporary(folder, temporaryPath);
    } catch (const EFileOpenError&) {
        return false;
    }
    TemporaryFile guard(temporaryPath);
    if (::fchmod(temporary.Handle(), info.st_mode & 07777) != 0) {
        return false;
    }
    // Keeping the owner needs privileges that a save usually lacks; the
    // permission bits above are what matters to the user.
    static_cast<void>(::fchown(temporary.Handle(), info.st_uid, info.st_gid));

    WriteTemporary(file, temporary);
    m_io.Sync(temporary);
    m_io.Close(temporary);
    if (!m_io.Rename(guard.Path(), *target)) {
        return false; // the file may be written but not replaced
    }
    guard.Keep();
    SaveIo::SyncFolder(folder);
    return true;
}

void TagPlacer::WriteTemporary(FileStream& file, FileStream& temporary)
{
    const std::uint64_t audio = m_plan.AudioSize();
    StartWork(m_plan.Offset + audio);
    // Every byte of the buffer is read into before it is written out, so it
    // need not be cleared first.
    const auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(kCopyChunk);
    const std::span<std::uint8_t> chunk(buffer.get(), kCopyChunk);
    Copy(file, 0, temporary, 0, m_plan.Offset, chunk);
    WriteTag(temporary, m_plan.Offset);
    m_progress.Phase("Re-positioning audio data");
    Copy(file, m_plan.Offset + m_plan.OldSize, temporary, m_plan.Offset + m_plan.NewSize, audio,
         chunk);
}

void TagPlacer::Copy(FileStream& from, std::uint64_t source, FileStream& to, std::uint64_t target,
                     std::uint64_t count, std::span<std::uint8_t> buffer)
{
    while (count > 0) {
        const std::size_t take =
            static_cast<std::size_t>(std::min<std::uint64_t>(count, buffer.size()));
        const std::span<std::uint8_t> piece = buffer.first(take);
        m_io.Read(from, source, piece);
        m_io.Write(to, target, piece);
        source += take;
        target += take;
        count -= take;
        m_progress.Work(take);
    }
}

void TagPlacer::MoveInPlace(FileStream& file)
{
    if (m_plan.NewSize > m_plan.OldSize) {
        MoveUp(file);
    } else {
        MoveDown(file);
    }
    WriteTag(file, m_plan.Offset);
}

// The tag grows by d bytes. The file is grown first; then the audio moves up
// from its end towards its start, so that no piece overwrites bytes not yet
// read. When the tag grows by more than the audio behind it, the bytes
// between the old end and the audio's new place belong to the new tag.
void TagPlacer::MoveUp(FileStream& file)
{
    const std::uint64_t f = m_plan.FileSize;
    const std::uint64_t d = m_plan.NewSize - m_plan.OldSize;
    const std::uint64_t audio = m_plan.AudioSize();
    const std::uint64_t placeholder = d > audio ? d - audio : 0;
    const std::uint64_t r = d - placeholder; // the audio bytes that land beyond the old end
    StartWork(audio + placeholder);
    m_io.Extend(file, f, f + d);
    m_progress.Work(placeholder);
    m_progress.Phase("Re-positioning audio data");

    std::vector<std::uint8_t> buffer(kMoveChunk);
    Copy(file, f - r, file, f + placeholder, r, buffer);
    std::uint64_t m = audio - r; // the audio bytes not yet in place
    const std::uint64_t start = m_plan.Offset + m_plan.OldSize;
    while (m > 0) {
        const std::uint64_t take = std::min<std::uint64_t>(m, kMoveChunk);
        Copy(file, start + m - take, file, start + m - take + d, take, buffer);
        m -= take;
    }
}

// The tag shrinks by s bytes: the audio moves down from its start towards
// its end, and the file is cut s bytes shorter.
void TagPlacer::MoveDown(FileStream& file)
{
    const std::uint64_t s = m_plan.OldSize - m_plan.NewSize;
    const std::uint64_t audio = m_plan.AudioSize();
    StartWork(audio);
    m_progress.Phase("Re-positioning audio data");
    std::vector<std::uint8_t> buffer(kMoveChunk);
    const std::uint64_t start = m_plan.Offset + m_plan.OldSize;
    Copy(file, start, file, start - s, audio, buffer);
    m_io.Truncate(file, m_plan.FileSize - s);
}

} // namespace varnello
