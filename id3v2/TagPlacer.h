#pragma once
// Puts a new tag (and a new ID3v1 block, when it changes with the tag) into
// a file once their sizes are known, so that the file ends up as: the bytes
// before the tag, the new tag, and what followed the old tag. Whatever
// happens on the way, the file ends as the complete old file or the complete
// new one:
// - a tag of the old tag's size alone is written over the old one with one
//   write call; with an ID3v1 block as well, under a rollback journal;
// - otherwise the whole new file is written to a temporary file beside the
//   original (unnamed until it is complete), given the original's owner,
//   mode and extended attributes, synced and renamed over the original;
// - where that cannot be done or would lose something (other hard links, a
//   folder the user cannot write, an owner or attribute the user cannot
//   set), the audio is moved inside the file under a rollback journal that
//   holds every byte the move changes.
// Before anything is written, the folder's entry must still name the locked
// file and nothing else may have changed it since it was read.

#include "FileStream.h"
#include "SaveIo.h"
#include "SaveProgress.h"
#include "SaveTarget.h"
#include "TagPlan.h"
#include "WriteCache.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace varnello {

class TagPlacer
{
public:
    using TagEmitter = std::function<void(WriteCache&)>;

    TagPlacer(const TagPlan& plan, const SaveIo& io, SaveProgress& progress, TagEmitter emitTag);

    // Throws the engine's exceptions; the file is then as it was.
    void Place(SaveTarget& target);

private:
    void WriteInPlace(SaveTarget& target);
    bool ThroughTemporary(SaveTarget& target);
    void WriteTemporary(FileStream& file, FileStream& temporary);
    void CopyAudio(FileStream& file, FileStream& temporary, std::span<std::uint8_t> buffer);
    void MoveWithJournal(SaveTarget& target);
    void MoveUp(FileStream& file);
    void MoveDown(FileStream& file);
    void WriteTag(FileStream& file, std::uint64_t position, std::size_t cacheSize);
    void WriteTail(FileStream& file, std::uint64_t fileSize);
    void Move(FileStream& file, std::uint64_t source, std::uint64_t target, std::uint64_t count,
              std::span<std::uint8_t> buffer);
    void StartWork(std::uint64_t moving);

    const TagPlan& m_plan;
    const SaveIo& m_io;
    SaveProgress& m_progress;
    TagEmitter m_emitTag;
};

// Throws EFileChanged when the folder's entry no longer names the locked
// file or something else has changed the file since it was locked.
void RequireUnchanged(const SaveTarget& target);

} // namespace varnello
