#include "FolderReader.h"

#include "FileStream.h"
#include "Genres.h"
#include "Mp3Mng.h"
#include "Platform.h"
#include "SaveIo.h"
#include "SaveJournal.h"
#include "TagFieldTable.h"
#include "Tid3v2tag.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <set>
#include <string_view>
#include <system_error>
#include <thread>

namespace varnello {

namespace {

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

bool IsMp3FileName(std::string_view name)
{
    static constexpr std::string_view kExtension = ".mp3";
    if (name.size() < kExtension.size()) {
        return false;
    }
    const std::size_t start = name.size() - kExtension.size();
    for (std::size_t i = 0; i < kExtension.size(); ++i) {
        if (LowerAscii(name[start + i]) != kExtension[i]) {
            return false;
        }
    }
    return true;
}

namespace {

// Sorts without regard to case (ASCII letters folded to lower case); names
// that differ only in case keep a fixed order by their bytes. Bytes compare
// unsigned, so UTF-8 names sort after ASCII by code point.
void SortNames(std::vector<std::string>& names)
{
    const auto folded = [](const std::string& a, const std::string& b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                            [](char x, char y) {
                                                return static_cast<unsigned char>(LowerAscii(x)) <
                                                       static_cast<unsigned char>(LowerAscii(y));
                                            });
    };
    std::sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
        if (folded(a, b)) {
            return true;
        }
        return !folded(b, a) && a < b;
    });
}

// TrimControl, without making a new string for a cell that needs none.
void TrimCell(std::string& cell)
{
    const auto isControl = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    if (!cell.empty() && (isControl(cell.front()) || isControl(cell.back()))) {
        cell = TrimControl(cell);
    }
}

void ReadId3v2Cells(Tid3v2tag& tag, TagFields& fields)
{
    for (const TagFieldInfo& field : kAllTagFields) {
        std::string& cell = fields.*field.Member;
        if (field.Mask == fieldmask::kYear) {
            tag.GetYear(cell); // the year frame of the tag's version
        } else if (field.Mask == fieldmask::kComment) {
            COMM comment;
            tag.GetComment(comment, "", "None");
            cell = std::move(comment.Text);
        } else {
            tag.GetTextFrame(field.FrameId, cell);
        }
        // A failed decode may leave the part read before the fault; it is
        // shown as it is, like any other text.
        TrimCell(cell);
    }
}

void ReadId3v1Cells(const Mp3Mng& id3v1, TagFields& fields)
{
    id3v1.GetTitle(fields.Title);
    id3v1.GetArtist(fields.Artist);
    id3v1.GetAlbum(fields.Album);
    id3v1.GetYear(fields.Year);
    id3v1.GetComment(fields.Comment);
    const std::uint8_t genre = id3v1.GetGenre();
    // Genre 0 would be "Blues" in the list, but the table shows it empty.
    fields.Genre = genre == 0 ? std::string() : GenreToText(genre);
    if (const std::uint8_t track = id3v1.GetTrack(); track != 0) {
        fields.Track = std::to_string(track);
    }
}

} // namespace

std::vector<std::string> FolderReader::ListMp3Names(const std::string& folder)
{
    std::error_code ignored;
    return ListMp3Names(folder, ignored);
}

namespace {

struct FolderListing
{
    std::vector<std::string> Mp3Names; // sorted
    // Not hidden, links to folders included, with what identifies them.
    std::vector<std::pair<std::string, platform::FileInfo>> Subfolders;
};

// Lists one folder: its MP3 files and, when asked, its subfolders. Saves
// interrupted in it are rolled back first (see ListMp3Names).
std::error_code ListOneFolder(const std::string& folder, bool subfolders, bool stateJournals,
                              FolderListing& listing)
{
    std::vector<platform::FolderEntry> entries;
    std::error_code error = platform::ListFolder(folder, entries);
    platform::Handle handle;
    if (!error) {
        error = platform::OpenFolder(folder, handle);
    }
    if (error) {
        return error;
    }
    bool journals = false;
    for (platform::FolderEntry& entry : entries) {
        const std::string& name = entry.Name;
        journals = journals || IsJournalName(name) || IsTemporaryName(name);
        // Hidden files stay out of sight, as in Explorer: on Windows those
        // marked so, everywhere those whose name starts with a dot.
        if (name.empty() || name.front() == '.' || entry.Hidden) {
            continue;
        }
        const bool mp3 = IsMp3FileName(name);
        if (!mp3 && !subfolders) {
            continue;
        }
        // A link or an entry of unknown type: asked about, following links.
        platform::FileInfo info;
        const bool asked = (entry.MaybeRegular || (entry.Directory && subfolders)) &&
                           !platform::QueryAt(handle, name, platform::Follow::Links, info);
        if (mp3 && (entry.Regular || (asked && info.Regular))) {
            listing.Mp3Names.push_back(std::move(entry.Name));
        } else if (subfolders && asked && info.Directory) {
            listing.Subfolders.emplace_back(std::move(entry.Name), info);
        }
    }
    if (journals || stateJournals) {
        RecoverFolder(folder);
    }
    SortNames(listing.Mp3Names);
    return {};
}

} // namespace

std::vector<std::string> FolderReader::ListMp3Names(const std::string& folder,
                                                    std::error_code& error)
{
    // Saves interrupted in this folder are rolled back, and what killed
    // saves left is removed, before its files are read, so that the table
    // never shows a half-saved file.
    FolderListing listing;
    error = ListOneFolder(folder, false, HasStateJournals(), listing);
    return std::move(listing.Mp3Names);
}

std::vector<std::string> FolderReader::ListMp3NamesRecursive(const std::string& folder,
                                                             std::error_code& error,
                                                             std::vector<SkippedFolder>& skipped,
                                                             const std::stop_token& stop)
{
    std::vector<std::string> names;
    platform::FileInfo root;
    error = platform::QueryPath(folder, platform::Follow::Links, root);
    if (error) {
        return names;
    }
    // Folders by device and inode: each is listed once, whatever links
    // lead to it.
    std::set<std::pair<std::uint64_t, std::uint64_t>> visited{{root.Device, root.Inode}};
    const bool stateJournals = HasStateJournals();
    // Relative paths ending in "/", the next to list at the back.
    std::vector<std::string> pending{""};
    while (!pending.empty() && !stop.stop_requested()) {
        const std::string relative = std::move(pending.back());
        pending.pop_back();
        FolderListing listing;
        if (const std::error_code failed =
                ListOneFolder(JoinPath(folder, relative), true, stateJournals, listing)) {
            if (relative.empty()) {
                error = failed;
                return names;
            }
            skipped.push_back({relative.substr(0, relative.size() - 1), failed});
            continue;
        }
        for (std::string& name : listing.Mp3Names) {
            names.push_back(relative + name);
        }
        std::vector<std::string> subfolders;
        for (const auto& [name, info] : listing.Subfolders) {
            if (visited.insert({info.Device, info.Inode}).second) {
                subfolders.push_back(name);
            }
        }
        SortNames(subfolders);
        for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it) {
            pending.push_back(relative + *it + "/");
        }
    }
    return names;
}

FileRow FolderReader::ReadRow(const std::string& folder, const std::string& fileName, int no) const
{
    FileRow row;
    row.No = no;
    row.FileName = fileName;
    const std::string path = JoinPath(folder, fileName);

    // One open serves both tags. A file that cannot be opened, or that is not
    // a regular file, has neither tag: both loads would fail to open it too.
    FileAttributes attributes;
    FileStream file;
    try {
        file = FileStream::OpenRegularForReading(path, attributes);
    } catch (const EFileOpenError&) {
        return row;
    }
    // Fresh objects for every file: nothing of the previous file can show.
    // The ID3v2 cells win whenever that tag loaded; they are read at once,
    // while the frames just read are still in the processor's cache, and the
    // tag is freed before the ID3v1 tag is read.
    {
        Tid3v2tag tag;
        if (status::IsSuccess(tag.LoadFromOpenFile(file, attributes, path, 0))) {
            row.TagKind |= tagkind::kId3v2;
            ReadId3v2Cells(tag, row.Fields);
        }
    }
    // Open reads the tag; asking ReadTag again would only repeat that read
    // for a file without one and give the same answer.
    Mp3Mng id3v1;
    id3v1.Open(path, file);
    if (id3v1.HasTag()) {
        row.TagKind |= tagkind::kId3v1;
    }
    if (row.TagKind == tagkind::kId3v1) {
        ReadId3v1Cells(id3v1, row.Fields);
    }
    return row;
}

std::vector<FileRow> FolderReader::ReadFolder(const std::string& folder,
                                              const Progress& progress) const
{
    const std::vector<std::string> names = ListMp3Names(folder);
    std::vector<FileRow> rows;
    rows.reserve(names.size());
    ReadRows(folder, names, [&](std::vector<FileRow>&& batch) {
        for (FileRow& row : batch) {
            rows.push_back(std::move(row));
            if (progress && !progress(rows.size(), names.size())) {
                return false;
            }
        }
        return true;
    });
    return rows;
}

void FolderReader::ReadRows(const std::string& folder, const std::vector<std::string>& names,
                            const RowSink& sink, unsigned readers) const
{
    const std::size_t batches = (names.size() + kBatchSize - 1) / kBatchSize;
    if (batches == 0) {
        return;
    }
    // Workers take whole batches in order; the calling thread hands each
    // batch on as soon as it and every batch before it are read.
    std::mutex mutex;
    std::condition_variable ready;
    std::vector<std::optional<std::vector<FileRow>>> done(batches);
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};
    const auto work = [&] {
        const FolderReader reader;
        for (std::size_t b = next++; b < batches && !stop; b = next++) {
            std::vector<FileRow> rows;
            const std::size_t first = b * kBatchSize;
            const std::size_t last = std::min(names.size(), first + kBatchSize);
            rows.reserve(last - first);
            for (std::size_t i = first; i < last && !stop; ++i) {
                rows.push_back(reader.ReadRow(folder, names[i], static_cast<int>(i)));
            }
            const std::lock_guard lock(mutex);
            done[b] = std::move(rows);
            ready.notify_one();
        }
    };
    const unsigned count = static_cast<unsigned>(
        std::clamp<std::size_t>(std::min<std::size_t>(readers, batches), 1, 64));
    std::vector<std::jthread> pool;
    if (count == 1) {
        work();
    } else {
        pool.reserve(count);
        for (unsigned t = 0; t < count; ++t) {
            pool.emplace_back(work);
        }
    }
    for (std::size_t b = 0; b < batches && !stop; ++b) {
        std::vector<FileRow> batch;
        {
            std::unique_lock lock(mutex);
            ready.wait(lock, [&] { return done[b].has_value(); });
            batch = std::move(*done[b]);
            done[b].reset();
        }
        if (!sink(std::move(batch))) {
            stop = true;
        }
    }
    stop = true; // the pool's threads join as it goes
}

} // namespace varnello
