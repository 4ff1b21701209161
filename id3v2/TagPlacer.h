#pragma once
// Puts a new tag into a file once its size is known, so that the file ends
// up as: the bytes before the tag, the new tag, and the audio that followed
// the old tag. How it gets there depends on the sizes:
// - a tag of the old tag's size is written over the old one;
// - otherwise the whole new file is written to a temporary file beside the
//   original, flushed to disk and renamed over it, so that a failure or a
//   crash at any moment leaves either the old or the new file;
// - when no temporary file can be made or put in the original's place, or
//   the file has other hard links that a rename would cut off, the audio is
//   moved inside the file, after the file has first been grown to its final
//   size so that a full disk fails before any audio byte moves.

#include "FileStream.h"
#include "SaveIo.h"
#include "SaveProgress.h"
#include "TagPlan.h"
#include "WriteCache.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace varnello {

class TagPlacer
{
public:
    using TagEmitter = std::function<void(WriteCache&)>;

    TagPlacer(const TagPlan& plan, const SaveIo& io, SaveProgress& progress, TagEmitter emitTag);

    void Place(FileStream& file, const std::string& path);

private:
    void InPlace(FileStream& file);
    bool ThroughTemporary(FileStream& file, const std::string& path);
    void WriteTemporary(FileStream& file, FileStream& temporary);
    void MoveInPlace(FileStream& file);
    void MoveUp(FileStream& file);
    void MoveDown(FileStream& file);
    void WriteTag(FileStream& file, std::uint64_t position);
    void Copy(FileStream& from, std::uint64_t source, FileStream& to, std::uint64_t target,
              std::uint64_t count, std::span<std::uint8_t> buffer);
    void StartWork(std::uint64_t moving);

    const TagPlan& m_plan;
    const SaveIo& m_io;
    SaveProgress& m_progress;
    TagEmitter m_emitTag;
};

} // namespace varnello
