#include "TagPlacer.h"

#include "SaveJournal.h"

#include <memory>

namespace varnello {

namespace {

// Audio moves inside a file in pieces of this size.
constexpr std::size_t kMoveChunk = 16384;
// A temporary file is filled in larger pieces.
constexpr std::size_t kCopyChunk = 1 << 20;
// A tag up to this size that fits the old one's place is written with one
// write call, which a killed process cannot tear; a larger one is journaled.
constexpr std::uint64_t kLargestSingleWrite = 16 << 20;
constexpr std::uint64_t kId3v1Size = 128;

// Removes a named temporary file unless it has become the new original.
class NamedTemporary
{
public:
    explicit NamedTemporary(const platform::Handle& folder) : m_folder(folder) {}
    ~NamedTemporary()
    {
        if (!m_name.empty()) {
            static_cast<void>(platform::RemoveAt(m_folder, m_name));
        }
    }
    NamedTemporary(const NamedTemporary&) = delete;
    NamedTemporary& operator=(const NamedTemporary&) = delete;
    void Set(std::string name) { m_name = std::move(name); }
    const std::string& Name() const { return m_name; }
    void Keep() { m_name.clear(); }

private:
    const platform::Handle& m_folder;
    std::string m_name;
};

} // namespace

void RequireUnchanged(const SaveTarget& target)
{
    if (!target.StillNamed()) {
        throw EFileChanged("the file's name now belongs to another file");
    }
    if (!target.Unchanged()) {
        throw EFileChanged("the file was changed by another program");
    }
}

TagPlacer::TagPlacer(const TagPlan& plan, const SaveIo& io, SaveProgress& progress,
                     TagEmitter emitTag)
    : m_plan(plan), m_io(io), m_progress(progress), m_emitTag(std::move(emitTag))
{
}

void TagPlacer::Place(SaveTarget& target)
{
    RequireUnchanged(target);
    if (m_plan.NewSize == m_plan.OldSize) {
        WriteInPlace(target);
    } else if (ThroughTemporary(target)) {
        return;
    } else {
        MoveWithJournal(target);
    }
    m_io.KeepModificationTime(target.File(), target.Info());
}

void TagPlacer::StartWork(std::uint64_t moving)
{
    // The CRC, already worked out, counts a tenth of a byte per tag byte.
    const std::uint64_t crcWork = m_plan.HasCrc ? m_plan.NewSize / 10 : 0;
    m_progress.StartWork(m_plan.NewSize + crcWork + moving, crcWork);
}

void TagPlacer::WriteTag(FileStream& file, std::uint64_t position, std::size_t cacheSize)
{
    m_progress.Phase("Writing new tag");
    WriteCache cache(m_io, m_progress, cacheSize);
    cache.Start(file, position);
    m_emitTag(cache);
    cache.Flush();
}

void TagPlacer::WriteTail(FileStream& file, std::uint64_t fileSize)
{
    if (m_plan.Tail) {
        m_io.Write(file, fileSize - kId3v1Size, *m_plan.Tail);
    }
}

void TagPlacer::WriteInPlace(SaveTarget& target)
{
    StartWork(0);
    FileStream& file = target.File();
    if (!m_plan.Tail && m_plan.NewSize <= kLargestSingleWrite) {
        WriteTag(file, m_plan.Offset, static_cast<std::size_t>(m_plan.NewSize));
        return;
    }
    std::vector<JournalRegion> regions{{m_plan.Offset, m_plan.NewSize}};
    if (m_plan.Tail) {
        regions.push_back({m_plan.FileSize - kId3v1Size, kId3v1Size});
    }
    SaveJournal journal(target, m_io);
    // A small journal is held in memory for its CRC and written in one go;
    // a tag too large for one write call is journaled like a move.
    journal.Write(regions, m_plan.FileSize,
                  m_plan.NewSize <= kLargestSingleWrite
                      ? SaveJournal::Durability::AgainstKills
                      : SaveJournal::Durability::AgainstPowerLoss);
    journal.Apply([&] {
        WriteTag(file, m_plan.Offset, WriteCache::kSize);
        WriteTail(file, m_plan.FileSize);
    });
}

bool TagPlacer::ThroughTemporary(SaveTarget& target)
{
    const platform::FileInfo& info = target.Info();
    // A rename would cut the file off from its other names; and where an
    // open file cannot be replaced, the file the save holds open cannot be.
    if (info.Links > 1 || !platform::CanReplaceOpenFile()) {
        return false;
    }
    std::string name;
    FileStream temporary;
    try {
        temporary = m_io.CreateTemporary(target.Folder(), name);
    } catch (const EFileOpenError&) {
        return false; // a folder the user cannot write
    }
    NamedTemporary guard(target.Folder());
    guard.Set(name);

    WriteTemporary(target.File(), temporary);
    // After the content, so that writing cannot clear setuid and setgid.
    if (!m_io.CopyIdentity(target.File(), info, temporary)) {
        return false;
    }
    m_io.KeepModificationTime(temporary, info);
    m_io.Sync(temporary);
    if (guard.Name().empty()) {
        const std::string given = TemporaryName();
        m_io.Link(temporary, target.Folder(), given);
        guard.Set(given);
    }
    // The lock on the named file holds through a second handle until the
    // rename, so that no clean-up of leftovers takes it away meanwhile.
    platform::Handle held;
    static_cast<void>(platform::Duplicate(temporary.Handle(), held));
    m_io.Close(temporary);
    RequireUnchanged(target);
    if (!m_io.Rename(target.Folder(), guard.Name(), target.Name())) {
        return false; // a sticky folder: the file stays as it was
    }
    guard.Keep();
    // The file is replaced now: a folder that cannot be flushed is no
    // failure of the save any more.
    m_io.FlushReplacedFolder(target.Folder());
    return true;
}

void TagPlacer::WriteTemporary(FileStream& file, FileStream& temporary)
{
    StartWork(m_plan.Offset + m_plan.AudioSize());
    // Every byte of the buffer is read into before it is written out, so it
    // need not be cleared first.
    const auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(kCopyChunk);
    const std::span<std::uint8_t> chunk(buffer.get(), kCopyChunk);
    m_io.Copy(file, 0, temporary, 0, m_plan.Offset, chunk);
    m_progress.Work(m_plan.Offset);
    WriteTag(temporary, m_plan.Offset, WriteCache::kSize);
    m_progress.Phase("Re-positioning audio data");
    CopyAudio(file, temporary, chunk);
    WriteTail(temporary, m_plan.NewFileSize());
    // The size as it should be, holes at the end included.
    m_io.Truncate(temporary, m_plan.NewFileSize());
}

// Copies the bytes behind the old tag, keeping the holes of a sparse file:
// only the runs that hold data are copied.
void TagPlacer::CopyAudio(FileStream& file, FileStream& temporary, std::span<std::uint8_t> buffer)
{
    const std::uint64_t from = m_plan.Offset + m_plan.OldSize;
    const std::uint64_t to = m_plan.FileSize - (m_plan.Tail ? kId3v1Size : 0);
    const std::uint64_t shift = m_plan.Offset + m_plan.NewSize;
    std::vector<platform::Extent> extents;
    if (platform::DataExtents(file.Handle(), from, to, extents)) {
        extents.assign(1, platform::Extent{from, to - from});
    }
    for (const platform::Extent& extent : extents) {
        m_io.Copy(file, extent.Position, temporary, extent.Position - from + shift, extent.Count,
                  buffer);
        m_progress.Work(extent.Count);
    }
}

void TagPlacer::MoveWithJournal(SaveTarget& target)
{
    FileStream& file = target.File();
    SaveJournal journal(target, m_io);
    // Every byte from the tag to the end of the file may change.
    journal.Write({{m_plan.Offset, m_plan.FileSize - m_plan.Offset}}, m_plan.NewFileSize(),
                  SaveJournal::Durability::AgainstPowerLoss);
    journal.Apply([&] {
        if (m_plan.NewSize > m_plan.OldSize) {
            MoveUp(file);
        } else {
            MoveDown(file);
        }
        WriteTag(file, m_plan.Offset, WriteCache::kSize);
        WriteTail(file, m_plan.NewFileSize());
        if (m_plan.NewSize < m_plan.OldSize) {
            m_io.Truncate(file, m_plan.NewFileSize());
        }
        m_io.Sync(file);
    });
}

void TagPlacer::Move(FileStream& file, std::uint64_t source, std::uint64_t target,
                     std::uint64_t count, std::span<std::uint8_t> buffer)
{
    while (count > 0) {
        const std::span<std::uint8_t> piece =
            buffer.first(static_cast<std::size_t>(std::min<std::uint64_t>(count, buffer.size())));
        m_io.Read(file, source, piece);
        m_io.Write(file, target, piece);
        source += piece.size();
        target += piece.size();
        count -= piece.size();
        m_progress.Work(piece.size());
    }
}

// The tag grows by d bytes. The file is grown first, so that a full disk
// shows before anything moves; then the audio moves up from its end towards
// its start, so that no piece overwrites bytes not yet read. When the tag
// grows by more than the audio behind it, the bytes between the old end and
// the audio's new place belong to the new tag.
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
    Move(file, f - r, f + placeholder, r, buffer);
    std::uint64_t m = audio - r; // the audio bytes not yet in place
    const std::uint64_t start = m_plan.Offset + m_plan.OldSize;
    while (m > 0) {
        const std::uint64_t take = std::min<std::uint64_t>(m, kMoveChunk);
        Move(file, start + m - take, start + m - take + d, take, buffer);
        m -= take;
    }
}

// The tag shrinks by s bytes: the audio moves down from its start towards
// its end; the caller cuts the file s bytes shorter.
void TagPlacer::MoveDown(FileStream& file)
{
    const std::uint64_t s = m_plan.OldSize - m_plan.NewSize;
    const std::uint64_t audio = m_plan.AudioSize();
    StartWork(audio);
    m_progress.Phase("Re-positioning audio data");
    std::vector<std::uint8_t> buffer(kMoveChunk);
    const std::uint64_t start = m_plan.Offset + m_plan.OldSize;
    Move(file, start, start - s, audio, buffer);
}

} // namespace varnello
