#pragma once
// Helpers shared by the tag writer's tests: tags built in memory frame by
// frame, audio bytes that show any misplacement, and a look at a folder.

#include "FileTestHelpers.h"
#include "FrameFlags.h"
#include "Mp3Builder.h"
#include "Platform.h"
#include "SaveOptions.h"
#include "SaveToFile.h"
#include "Tid3v2tag.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace varnello::writertest {

using testsupport::Bytes;
using testsupport::FolderEntries;
using testsupport::Pattern;

// A frame whose data is stored as given and whose header asks for the same
// flags, unless `requested` says otherwise.
inline std::uint32_t AddFrame(Tid3v2tag& tag, const char* id, const Bytes& data,
                              std::uint8_t stored = 0, int requested = -1)
{
    FrameRecord frame;
    frame.ID = id;
    frame.Data = data;
    frame.StoredFlags[1] = stored;
    frame.Flags[1] = requested < 0 ? stored : static_cast<std::uint8_t>(requested);
    return tag.Frames.AppendRecord(std::move(frame));
}

inline std::uint32_t AddText(Tid3v2tag& tag, const char* id, std::string_view latin1,
                             std::uint8_t requested = 0)
{
    return AddFrame(tag, id, testsupport::Latin1Text(latin1), 0, requested);
}

inline std::uint64_t Inode(const std::string& path)
{
    platform::FileInfo info;
    static_cast<void>(platform::QueryPath(path, platform::Follow::Links, info));
    return info.Inode;
}

inline Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t count = SIZE_MAX)
{
    from = std::min(from, bytes.size());
    count = std::min(count, bytes.size() - from);
    return Bytes(bytes.begin() + static_cast<long>(from),
                 bytes.begin() + static_cast<long>(from + count));
}

// A save with the default options and the tag's own version.
inline StatusWord Save(Tid3v2tag& tag, const std::string& path, std::uint8_t version = 255,
                       const SaveOptions& options = {})
{
    return SaveTagToFile(tag, path, version, 255, 0, options);
}

} // namespace varnello::writertest
