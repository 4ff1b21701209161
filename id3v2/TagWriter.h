#pragma once
// Writes the tag held by a Tid3v2tag into a file that a SaveTarget holds
// open and locked, as ID3v2 version 3 or 4. One object serves one save: it
// prepares the frames, finds the old tag, sizes the new tag and its padding,
// and has TagPlacer put the tag, the audio and a changed ID3v1 block into
// place.

#include "FileStream.h"
#include "SaveIo.h"
#include "SaveOptions.h"
#include "SaveProgress.h"
#include "SaveTarget.h"
#include "StatusWord.h"
#include "TagLayout.h"
#include "TagPlan.h"
#include "Tid3v2tag.h"
#include "WriteCache.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varnello {

class TagWriter
{
public:
    // `offset` is where the tag starts; `tail`, when given, replaces the
    // file's last 128 bytes (an ID3v1 tag) in the same replace.
    TagWriter(Tid3v2tag& tag, SaveTarget& target, std::uint64_t offset, const SaveOptions& options,
              const std::optional<std::array<std::uint8_t, 128>>& tail = std::nullopt);

    // A version or revision of 255 stands for the tag object's own value.
    StatusWord WriteTag(std::uint8_t majorVersion, std::uint8_t revision);
    // Takes the tag at the offset out of the file (and puts the ID3v1 block
    // in, when one is given), with the same safety as a save.
    StatusWord RemoveTag();

    // Everything a save does before it changes the file: the checks, the
    // preparation of the frames, the old tag and the new tag's size. The file
    // is only read. WriteTag runs this first.
    StatusWord PlanTag(std::uint8_t majorVersion, std::uint8_t revision);
    const TagPlan& Plan() const { return m_plan; }

private:
    StatusWord FindOldTag();
    std::uint64_t OldFramesEnd(std::uint64_t size);
    StatusWord CheckPadding(std::uint64_t size);
    void MeasureFrames();
    StatusWord FinishSizing();
    void EmitTag(WriteCache& cache);
    void UpdateObject();

    Tid3v2tag& m_tag;
    SaveTarget& m_target;
    FileStream& m_file;
    SaveIo m_io;
    SaveProgress m_progress;
    TagPlan m_plan;
    StatusWord m_status = status::kOk;
    std::uint32_t m_crcRegister = 0xFFFFFFFF;
    bool m_trailingZero = false; // a 00 after an unsynchronised tag's final FF
    layout::Bytes m_headers;     // tag header and extended header
    std::vector<layout::Bytes> m_frameHeaders;
};

} // namespace varnello
