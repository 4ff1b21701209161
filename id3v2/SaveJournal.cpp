#include "SaveJournal.h"

#include "Crc32.h"
#include "SaveTarget.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>

namespace varnello {

namespace {

// The journal's layout, little-endian:
//   0  "VARNJRNL"
//   8  version (4 bytes), 12 complete flag (4 bytes, written last)
//   16 device, 24 inode, 32 old size, 40 new size (8 bytes each)
//   48 region count, 52 folder length, 56 name length, 60 CRC-32 of the
//      old bytes or 0 (4 bytes each)
//   64 regions (position and count, 8 bytes each), the folder, the name
//   then a CRC-32 of all of the above with the complete flag as 0,
//   then the old bytes of the regions in their order.
// The complete flag is 2 for a journal whose old bytes the CRC-32 at 60
// vouches for: written in one go without a flush (against kills), or header
// last and then flushed (against power loss). Journals marked 1 were flushed
// before they were marked complete; older versions wrote them, and they are
// still honoured.
constexpr std::array<std::uint8_t, 8> kMagic{'V', 'A', 'R', 'N', 'J', 'R', 'N', 'L'};
constexpr std::uint32_t kVersion = 1;
constexpr std::uint64_t kCompleteAt = 12;
constexpr std::size_t kFixedSize = 64;
constexpr std::uint32_t kComplete = 1;
constexpr std::uint32_t kCompleteChecked = 2;
// A journal that was never completed belongs to a save that changed nothing
// yet; once it is this old, its save has surely ended.
constexpr std::int64_t kAbandonedAfterNanoseconds = 60'000'000'000;
constexpr std::size_t kCopyChunk = 1 << 20;
// How often a save makes its journal anew when a recovery took it away.
constexpr int kCreateAttempts = 4;
constexpr std::string_view kBesidePrefix = ".varnello-";
constexpr std::string_view kJournalSuffix = ".journal";
// A header larger than this is not one of ours.
constexpr std::uint64_t kLargestHeader = 1 << 20;

void Put64(std::vector<std::uint8_t>& out, std::uint64_t value)
{
    for (int i = 0; i < 8; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

std::uint64_t Get(std::span<const std::uint8_t> in, std::size_t at, int bytes)
{
    std::uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = (value << 8) | in[at + static_cast<std::size_t>(i)];
    }
    return value;
}

std::string Hex(std::uint64_t value)
{
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(value));
    return digits;
}

std::string BesideName(const platform::FileInfo& info)
{
    return std::string(kBesidePrefix) + Hex(info.Inode) + std::string(kJournalSuffix);
}

std::string StateName(const platform::FileInfo& info)
{
    return Hex(info.Device) + "-" + Hex(info.Inode) + std::string(kJournalSuffix);
}

std::string StateFolder()
{
    const std::string base = platform::UserStateFolder();
    return base.empty() ? std::string() : platform::JoinPath(base, "varnello");
}

struct Header
{
    std::uint32_t Complete = 0;
    std::uint32_t DataCrc = 0;
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    std::uint64_t OldSize = 0;
    std::uint64_t NewSize = 0;
    std::vector<JournalRegion> Regions;
    std::string Folder;
    std::string Name;
    std::uint64_t DataStart = 0;
};

std::vector<std::uint8_t> EncodeHeader(const Header& header)
{
    std::vector<std::uint8_t> out(kMagic.begin(), kMagic.end());
    Put32(out, kVersion);
    Put32(out, 0); // the complete flag, written last
    Put64(out, header.Device);
    Put64(out, header.Inode);
    Put64(out, header.OldSize);
    Put64(out, header.NewSize);
    Put32(out, static_cast<std::uint32_t>(header.Regions.size()));
    Put32(out, static_cast<std::uint32_t>(header.Folder.size()));
    Put32(out, static_cast<std::uint32_t>(header.Name.size()));
    Put32(out, header.DataCrc);
    for (const JournalRegion& region : header.Regions) {
        Put64(out, region.Position);
        Put64(out, region.Count);
    }
    out.insert(out.end(), header.Folder.begin(), header.Folder.end());
    out.insert(out.end(), header.Name.begin(), header.Name.end());
    std::uint32_t crc = 0xFFFFFFFFu;
    Crc32Update(out, crc);
    Put32(out, ~crc);
    return out;
}

// Reads and checks a journal's header; false for anything that is not a
// whole header of ours.
bool DecodeHeader(const platform::Handle& journal, Header& header)
{
    std::vector<std::uint8_t> fixed(kFixedSize);
    std::size_t got = 0;
    if (platform::ReadAt(journal, 0, fixed, got) || got != kFixedSize ||
        !std::equal(kMagic.begin(), kMagic.end(), fixed.begin()) || Get(fixed, 8, 4) != kVersion) {
        return false;
    }
    const std::uint64_t regions = Get(fixed, 48, 4);
    const std::uint64_t folderLength = Get(fixed, 52, 4);
    const std::uint64_t nameLength = Get(fixed, 56, 4);
    const std::uint64_t size = kFixedSize + regions * 16 + folderLength + nameLength + 4;
    if (size > kLargestHeader) {
        return false;
    }
    std::vector<std::uint8_t> all(static_cast<std::size_t>(size));
    if (platform::ReadAt(journal, 0, all, got) || got != all.size()) {
        return false;
    }
    const std::uint32_t complete = static_cast<std::uint32_t>(Get(all, kCompleteAt, 4));
    std::fill(all.begin() + kCompleteAt, all.begin() + kCompleteAt + 4, 0);
    std::uint32_t crc = 0xFFFFFFFFu;
    Crc32Update(std::span<const std::uint8_t>(all).first(all.size() - 4), crc);
    if (~crc != Get(all, all.size() - 4, 4)) {
        return false;
    }
    header.Complete = complete;
    header.DataCrc = static_cast<std::uint32_t>(Get(all, 60, 4));
    header.Device = Get(all, 16, 8);
    header.Inode = Get(all, 24, 8);
    header.OldSize = Get(all, 32, 8);
    header.NewSize = Get(all, 40, 8);
    std::size_t at = kFixedSize;
    header.Regions.clear();
    for (std::uint64_t i = 0; i < regions; ++i, at += 16) {
        header.Regions.push_back({Get(all, at, 8), Get(all, at + 8, 8)});
    }
    header.Folder.assign(all.begin() + static_cast<std::ptrdiff_t>(at),
                         all.begin() + static_cast<std::ptrdiff_t>(at + folderLength));
    at += folderLength;
    header.Name.assign(all.begin() + static_cast<std::ptrdiff_t>(at),
                       all.begin() + static_cast<std::ptrdiff_t>(at + nameLength));
    header.DataStart = size;
    return true;
}

// Copies count bytes between two handles with plain reads and writes; used
// by the roll-back, which must not depend on anything a save may have hooked.
std::error_code CopyBytes(const platform::Handle& from, std::uint64_t source,
                          const platform::Handle& to, std::uint64_t target, std::uint64_t count)
{
    std::uint64_t copied = 0;
    if (const std::error_code error =
            platform::CopyRange(from, source, to, target, count, copied)) {
        return error;
    }
    std::vector<std::uint8_t> buffer;
    while (copied < count) {
        buffer.resize(
            static_cast<std::size_t>(std::min<std::uint64_t>(count - copied, kCopyChunk)));
        std::size_t got = 0;
        if (const std::error_code error = platform::ReadAt(from, source + copied, buffer, got)) {
            return error;
        }
        if (got != buffer.size()) {
            return std::make_error_code(std::errc::io_error);
        }
        if (const std::error_code error = platform::WriteAt(to, target + copied, buffer)) {
            return error;
        }
        copied += got;
    }
    return {};
}

// Puts the journal's old bytes and size back into the file and syncs it.
std::error_code Restore(const platform::Handle& journal, const Header& header,
                        const platform::Handle& file)
{
    std::uint64_t at = header.DataStart;
    for (const JournalRegion& region : header.Regions) {
        if (const std::error_code error =
                CopyBytes(journal, at, file, region.Position, region.Count)) {
            return error;
        }
        at += region.Count;
    }
    if (const std::error_code error = platform::SetSize(file, header.OldSize)) {
        return error;
    }
    return platform::Sync(file);
}

// A journal marked complete after its sync, or one written in one go whose
// old bytes match their CRC-32 (after a power cut it may hold anything).
bool IsComplete(const platform::Handle& journal, const Header& header)
{
    if (header.Complete == kComplete) {
        return true;
    }
    if (header.Complete != kCompleteChecked) {
        return false;
    }
    std::uint32_t crc = 0xFFFFFFFFu;
    std::vector<std::uint8_t> buffer;
    std::uint64_t at = header.DataStart;
    for (const JournalRegion& region : header.Regions) {
        for (std::uint64_t done = 0; done < region.Count;) {
            buffer.resize(
                static_cast<std::size_t>(std::min<std::uint64_t>(region.Count - done, kCopyChunk)));
            std::size_t got = 0;
            if (platform::ReadAt(journal, at + done, buffer, got) || got != buffer.size()) {
                return false;
            }
            Crc32Update(buffer, crc);
            done += got;
        }
        at += region.Count;
    }
    return ~crc == header.DataCrc;
}

std::string JoinedPath(const Header& header)
{
    return platform::JoinPath(header.Folder, header.Name);
}

// True for an unfinished journal that no save holds: a save keeps its
// journal locked until the journal is complete, so one that is unlocked and
// still unfinished is the leftover of a save that ended without changing
// the file. Read again under the lock: the save may have completed it
// since it was first read.
bool Abandoned(const platform::Handle& folder, const std::string& name)
{
    platform::Handle journal;
    Header header;
    return !platform::OpenAt(folder, name, platform::Access::ReadWrite, platform::Follow::NoLinks,
                             journal) &&
           !platform::LockExclusive(journal, std::chrono::milliseconds(0)) &&
           !(DecodeHeader(journal, header) && IsComplete(journal, header));
}

// Recovers the save of one journal, found in `folder` under `name`.
// `locked` is the file when the caller holds its lock already.
RecoveredSave RecoverJournal(const platform::Handle& folder, const std::string& name,
                             const platform::Handle* locked)
{
    RecoveredSave result;
    platform::Handle journal;
    if (platform::OpenAt(folder, name, platform::Access::Read, platform::Follow::NoLinks,
                         journal)) {
        result.Note = "the journal " + name + " cannot be opened";
        return result;
    }
    Header header;
    if (!DecodeHeader(journal, header) || !IsComplete(journal, header)) {
        // Its save was interrupted before it changed the file.
        platform::FileInfo info;
        const bool abandoned =
            !platform::Query(journal, info) &&
            platform::NowNanoseconds() - info.ModifiedNanoseconds > kAbandonedAfterNanoseconds;
        if (abandoned || locked != nullptr || Abandoned(folder, name)) {
            static_cast<void>(platform::RemoveAt(folder, name));
            result.Note = "an unfinished journal was removed; the file was not changed";
        } else {
            result.Note = "a save is writing its journal, or stopped before it changed the file";
        }
        return result;
    }
    result.Path = JoinedPath(header);
    platform::Handle fileFolder;
    platform::Handle opened;
    const platform::Handle* file = locked;
    if (file == nullptr) {
        if (platform::OpenFolder(header.Folder, fileFolder) ||
            platform::OpenAt(fileFolder, header.Name, platform::Access::ReadWrite,
                             platform::Follow::NoLinks, opened)) {
            result.Note = "the file is gone; its journal was kept";
            return result;
        }
        file = &opened;
    }
    platform::FileInfo info;
    if (platform::Query(*file, info) || info.Device != header.Device ||
        info.Inode != header.Inode) {
        if (locked != nullptr) {
            // Named like this file's journal, but of another file.
            static_cast<void>(platform::RemoveAt(folder, name));
        }
        result.Note = "another file has the name now; its journal was not applied";
        return result;
    }
    if (locked == nullptr) {
        if (platform::LockExclusive(*file, std::chrono::milliseconds(0))) {
            result.Note = "a save of the file is still running";
            return result;
        }
        // The save may have ended since the journal was read: a save removes
        // its journal before it lets the file go, so only a journal still
        // there now is one of an interrupted save.
        platform::FileInfo read;
        platform::FileInfo named;
        if (platform::Query(journal, read) ||
            platform::QueryAt(folder, name, platform::Follow::NoLinks, named) ||
            !named.SameFile(read) || platform::Query(*file, info)) {
            result.Note = "the save ended meanwhile";
            return result;
        }
    }
    const std::uint64_t low = std::min(header.OldSize, header.NewSize);
    const std::uint64_t high = std::max(header.OldSize, header.NewSize);
    if (info.Size < low || info.Size > high) {
        // Changed by something else since; rolling back would undo that.
        static_cast<void>(platform::RemoveAt(folder, name));
        result.Note = "the file has changed since; its old journal was removed";
        return result;
    }
    if (const std::error_code error = Restore(journal, header, *file)) {
        result.Note = "the old file could not be restored: " + error.message();
        return result;
    }
    static_cast<void>(platform::RemoveAt(folder, name));
    static_cast<void>(platform::Sync(folder));
    result.Restored = true;
    result.Note = "an interrupted save was rolled back; the file is as it was before it";
    return result;
}

} // namespace

bool IsJournalName(const std::string& name)
{
    return name.starts_with(kBesidePrefix) && name.ends_with(kJournalSuffix);
}

bool HasStateJournals()
{
    const std::string state = StateFolder();
    std::vector<platform::FolderEntry> entries;
    if (state.empty() || platform::ListFolder(state, entries)) {
        return false;
    }
    return std::any_of(entries.begin(), entries.end(), [](const platform::FolderEntry& entry) {
        return entry.Name.ends_with(kJournalSuffix);
    });
}

SaveJournal::SaveJournal(SaveTarget& target, const SaveIo& io) : m_target(target), m_io(io) {}

SaveJournal::~SaveJournal()
{
    if (!m_name.empty() && !m_written) {
        static_cast<void>(platform::RemoveAt(m_folder, m_name));
    }
}

namespace {

// A new journal under `name` in the folder, locked. Where the file system
// allows, it is made without a name and locked before it gets one, so that
// no recovery ever finds it unlocked; elsewhere it is created under its name
// and locked at once.
std::error_code CreateLocked(const platform::Handle& folder, const std::string& name,
                             platform::Handle& journal, bool& locked)
{
    static_cast<void>(platform::RemoveAt(folder, name)); // a leftover of ours
    platform::Handle unnamed;
    if (!platform::CreateUnnamedIn(folder, unnamed) &&
        !platform::LockExclusive(unnamed, std::chrono::milliseconds(0)) &&
        !platform::LinkAt(unnamed, folder, name)) {
        journal = std::move(unnamed);
        locked = true;
        return {};
    }
    if (const std::error_code error = platform::CreateExclusiveAt(folder, name, journal)) {
        return error;
    }
    // A recovery may have taken it between its creation and this lock.
    locked = !platform::LockExclusive(journal, std::chrono::milliseconds(0));
    return {};
}

} // namespace

// Creates the journal, beside the file where its folder takes one, else in
// the state folder, locked: held until it is complete, so that a recovery
// can tell it from the leftover of a killed save. Returns no handle when a
// recovery removed it before the lock was taken.
platform::Handle SaveJournal::Create(const platform::FileInfo& info)
{
    platform::Handle journal;
    std::error_code error;
    bool locked = false;
    if (!platform::OpenFolder(m_target.FolderPath(), m_folder)) {
        m_name = BesideName(info);
        error = CreateLocked(m_folder, m_name, journal, locked);
    }
    if (!journal.IsOpen()) {
        const std::string state = StateFolder();
        m_name = StateName(info);
        if (state.empty() || platform::MakeFolders(state) ||
            platform::OpenFolder(state, m_folder)) {
            m_name.clear();
            throw EFileOpenError("no folder takes the save's journal: " + error.message());
        }
        if ((error = CreateLocked(m_folder, m_name, journal, locked))) {
            m_name.clear();
            throw EFileOpenError("cannot create the save's journal: " + error.message());
        }
    }
    platform::FileInfo created;
    platform::FileInfo named;
    if (!locked || platform::Query(journal, created) ||
        platform::QueryAt(m_folder, m_name, platform::Follow::NoLinks, named) ||
        !named.SameFile(created)) {
        m_name.clear(); // the recovery removes it, or the name is not ours
        return {};
    }
    return journal;
}

void SaveJournal::Write(const std::vector<JournalRegion>& regions, std::uint64_t newSize,
                        Durability durability)
{
    const platform::FileInfo& info = m_target.Info();
    m_regions = regions;
    m_oldSize = info.Size;
    Header header;
    header.Device = info.Device;
    header.Inode = info.Inode;
    header.OldSize = info.Size;
    header.NewSize = newSize;
    header.Regions = regions;
    header.Name = m_target.Name();
    if (platform::AbsolutePath(m_target.FolderPath(), header.Folder)) {
        header.Folder = m_target.FolderPath();
    }
    // The old bytes of a small journal are read at once, for their CRC.
    std::vector<std::uint8_t> old;
    if (durability == Durability::AgainstKills) {
        for (const JournalRegion& region : regions) {
            const std::size_t at = old.size();
            old.resize(at + static_cast<std::size_t>(region.Count));
            m_io.Read(m_target.File(), region.Position, std::span<std::uint8_t>(old).subspan(at));
        }
        std::uint32_t crc = 0xFFFFFFFFu;
        Crc32Update(old, crc);
        header.DataCrc = ~crc;
    }

    m_io.JournalStep();
    // A recovery that came between the creation and the lock has taken the
    // journal for a leftover: it is made again.
    platform::Handle journal;
    for (int attempt = 0; !journal.IsOpen(); ++attempt) {
        if (attempt == kCreateAttempts) {
            throw EFileOpenError("the save's journal was removed while it was made");
        }
        journal = Create(info);
    }
    FileStream stream(std::move(journal));
    const std::vector<std::uint8_t> flag = [] {
        std::vector<std::uint8_t> out;
        Put32(out, kCompleteChecked);
        return out;
    }();
    if (durability == Durability::AgainstKills) {
        // One write of everything, complete at once: a killed process leaves
        // the page cache with it, and a power cut, which may tear it, leaves
        // bytes that fail their CRC.
        std::vector<std::uint8_t> bytes = EncodeHeader(header);
        std::copy(flag.begin(), flag.end(), bytes.begin() + kCompleteAt);
        bytes.insert(bytes.end(), old.begin(), old.end());
        m_io.Write(stream, 0, bytes);
        m_written = true;
        return;
    }
    // The old bytes first, their CRC taken on the way; the header, which
    // carries the CRC and the complete flag, last. One flush then makes the
    // journal whole on disk: a power cut before it ends leaves a journal
    // that fails its CRC, and the file has not changed yet.
    std::uint64_t at = EncodeHeader(header).size();
    std::uint32_t crc = 0xFFFFFFFFu;
    const auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(kCopyChunk);
    for (const JournalRegion& region : regions) {
        for (std::uint64_t done = 0; done < region.Count;) {
            const std::span<std::uint8_t> piece(
                buffer.get(),
                static_cast<std::size_t>(std::min<std::uint64_t>(region.Count - done, kCopyChunk)));
            m_io.Read(m_target.File(), region.Position + done, piece);
            Crc32Update(piece, crc);
            m_io.Write(stream, at, piece);
            at += piece.size();
            done += piece.size();
        }
    }
    header.DataCrc = ~crc;
    std::vector<std::uint8_t> bytes = EncodeHeader(header);
    std::copy(flag.begin(), flag.end(), bytes.begin() + kCompleteAt);
    m_io.JournalStep();
    m_io.Write(stream, 0, bytes);
    m_io.Sync(stream);
    m_io.SyncFolder(m_folder);
    m_written = true;
}

void SaveJournal::RollBack()
{
    if (!m_written) {
        return;
    }
    platform::Handle journal;
    Header header;
    if (platform::OpenAt(m_folder, m_name, platform::Access::Read, platform::Follow::NoLinks,
                         journal) ||
        !DecodeHeader(journal, header)) {
        throw EInOutError("the save's journal cannot be read back");
    }
    if (const std::error_code error = Restore(journal, header, m_target.File().Handle())) {
        throw EInOutError("the old file could not be restored: " + error.message());
    }
    Remove();
}

void SaveJournal::Apply(const std::function<void()>& change)
{
    try {
        change();
    } catch (...) {
        try {
            RollBack();
        } catch (...) {
            // The journal stays for the next recovery.
        }
        throw;
    }
    Remove();
}

void SaveJournal::Remove()
{
    if (!m_name.empty()) {
        static_cast<void>(platform::RemoveAt(m_folder, m_name));
        m_name.clear();
        m_written = false;
    }
}

std::vector<RecoveredSave> RecoverFolder(const std::string& folder)
{
    std::vector<RecoveredSave> found;
    // Temporary files of killed saves hold nothing the original lacks.
    RemoveLeftoverTemporaries(folder);
    std::vector<platform::FolderEntry> entries;
    platform::Handle handle;
    if (!platform::ListFolder(folder, entries) && !platform::OpenFolder(folder, handle)) {
        for (const platform::FolderEntry& entry : entries) {
            if (IsJournalName(entry.Name)) {
                found.push_back(RecoverJournal(handle, entry.Name, nullptr));
            }
        }
    }
    // Journals of files whose folder could not take them.
    std::string absolute;
    const std::string state = StateFolder();
    platform::Handle stateHandle;
    if (state.empty() || platform::AbsolutePath(folder, absolute) ||
        platform::ListFolder(state, entries) || platform::OpenFolder(state, stateHandle)) {
        return found;
    }
    for (const platform::FolderEntry& entry : entries) {
        if (!entry.Name.ends_with(kJournalSuffix)) {
            continue;
        }
        platform::Handle journal;
        Header header;
        if (platform::OpenAt(stateHandle, entry.Name, platform::Access::Read,
                             platform::Follow::NoLinks, journal)) {
            continue;
        }
        if (DecodeHeader(journal, header)) {
            if (header.Folder == absolute) {
                found.push_back(RecoverJournal(stateHandle, entry.Name, nullptr));
            }
        } else if (Abandoned(stateHandle, entry.Name)) {
            // Killed before it had a header, so it names no folder: it is
            // nobody's, and its save changed nothing.
            static_cast<void>(platform::RemoveAt(stateHandle, entry.Name));
        }
    }
    return found;
}

std::vector<RecoveredSave> RecoverFile(const std::string& path)
{
    std::vector<RecoveredSave> found;
    std::string resolved;
    platform::FileInfo info;
    platform::Handle folder;
    if (platform::ResolveLinks(path, resolved) ||
        platform::QueryPath(resolved, platform::Follow::NoLinks, info) ||
        platform::OpenFolder(platform::FolderOf(resolved), folder)) {
        return found;
    }
    platform::FileInfo journal;
    if (!platform::QueryAt(folder, BesideName(info), platform::Follow::NoLinks, journal)) {
        found.push_back(RecoverJournal(folder, BesideName(info), nullptr));
    }
    const std::string state = StateFolder();
    platform::Handle stateHandle;
    if (!state.empty() && !platform::OpenFolder(state, stateHandle) &&
        !platform::QueryAt(stateHandle, StateName(info), platform::Follow::NoLinks, journal)) {
        found.push_back(RecoverJournal(stateHandle, StateName(info), nullptr));
    }
    return found;
}

void RecoverLockedFile(SaveTarget& target)
{
    const platform::FileInfo& info = target.Info();
    platform::FileInfo journal;
    bool recovered = false;
    if (!platform::QueryAt(target.Folder(), BesideName(info), platform::Follow::NoLinks, journal)) {
        RecoverJournal(target.Folder(), BesideName(info), &target.File().Handle());
        recovered = true;
    }
    // Every save asks, so the common answer (no journal) costs one lookup;
    // the folder is opened only when there is one to recover.
    const std::string state = StateFolder();
    platform::Handle stateHandle;
    if (!state.empty() &&
        !platform::QueryPath(platform::JoinPath(state, StateName(info)), platform::Follow::NoLinks,
                             journal) &&
        !platform::OpenFolder(state, stateHandle)) {
        RecoverJournal(stateHandle, StateName(info), &target.File().Handle());
        recovered = true;
    }
    if (recovered) {
        target.Refresh();
    }
}

} // namespace varnello
