#pragma once
// Reads the ID3v2 tag (major version 2, 3 or 4) at the current position of an
// open file into a Tid3v2tag. One reader serves one load: it owns the body
// reader, the work buffer and the counters, so loads of different tags may run
// on different threads at once.

#include "BodyReader.h"
#include "FileStream.h"
#include "StatusWord.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace varnello {

class Tid3v2tag;
struct FrameRecord;

class TagReader
{
public:
    TagReader(Tid3v2tag& tag, FileStream& file, std::uint64_t tagOffset);

    // Parses the header and the body; returns the status word.
    StatusWord ReadTag();

    // True once a supported header was accepted, that is once the body
    // reader has begun to change the tag object.
    bool HeaderAccepted() const { return m_headerAccepted; }

private:
    StatusWord ReadTagV23();
    StatusWord ReadTagV24();
    // In TagReaderV22.cpp.
    StatusWord ReadTagV22();
    StatusWord ReadFramesV22();
    StatusWord ReadFrameV22();
    bool StartBody(std::uint8_t definedFlags);
    StatusWord ReadExtendedHeaderV23();
    StatusWord ReadExtendedHeaderV24();
    StatusWord WalkExtendedFlagsV24();
    void ClearExtendedHeader();
    StatusWord ReadFrames();
    StatusWord WalkFrames();
    void RestartFrames(std::uint64_t framesStart);
    std::size_t ReadFrameHeader();
    void ReadPadding(std::uint64_t found);
    StatusWord ReadFrame();
    bool ReadFrameData(std::uint32_t size, std::vector<std::uint8_t>& data);
    StatusWord ReadFlagAddedBytes(FrameRecord& record, std::uint32_t& size);

    // Reads n bytes of the body into the target; false when the body ran out.
    bool ReadExact(std::size_t n, std::vector<std::uint8_t>& target);
    std::size_t ReadSome(std::size_t n, std::vector<std::uint8_t>& target);
    std::size_t ReadSome(std::span<std::uint8_t> target);
    void UpdateProgress();
    StatusWord Fail(StatusWord error) const { return status::WithError(m_status, error); }

    Tid3v2tag& m_tag;
    FileStream& m_file;
    std::uint64_t m_tagOffset;
    std::optional<BodyReader> m_body;
    std::array<std::uint8_t, 10> m_header{}; // the tag header, then each frame header
    std::vector<std::uint8_t> m_work;        // extended header
    StatusWord m_status = status::kOk;
    std::uint32_t m_extendedPadding = 0; // padding size stated by a version 3 extended header
    // Body bytes before the body reader's first one: nonzero once the frames are
    // read again from their start.
    std::uint64_t m_bodyBase = 0;
    // What UpdateProgress reported last; the first report always goes out.
    std::uint64_t m_reportedTaken = ~std::uint64_t{0};
    int m_reportedPercent = -1;
    bool m_paddingFound = false;
    bool m_headerAccepted = false;
    // How the current walk over the frames went: version 4 sizes read as
    // plain integers, a size field that is not syncsafe, bytes after the
    // frames that are neither a frame nor zeros.
    bool m_plainSizes = false;
    bool m_sizeNotSyncsafe = false;
    bool m_junkFound = false;
};

} // namespace varnello
