#pragma once
// Writes the tag held by a Tid3v2tag into a file that is open for reading
// and writing, as ID3v2 version 3 or 4. One object serves one save: it
// prepares the frames, finds the old tag, sizes the new tag and its padding,
// and has TagPlacer put the tag and the audio into place.

#include "FileStream.h"
#include "SaveIo.h"
#include "SaveOptions.h"
#include "SaveProgress.h"
#include "StatusWord.h"
#include "TagLayout.h"
#include "TagPlan.h"
#include "Tid3v2tag.h"
#include "WriteCache.h"

#include <cstdint>
#include <string>
#include <vector>

namespace varnello {

class TagWriter
{
public:
    // `path` is the file's name, needed to replace the file through a
    // temporary file; `offset` is where the tag starts.
    TagWriter(Tid3v2tag& tag, FileStream& file, std::string path, std::uint64_t offset,
              const SaveOptions& options);

    // A version or revision of 255 stands for the tag object's own value.
    StatusWord WriteTag(std::uint8_t majorVersion, std::uint8_t revision);

    // Everything a save does before it changes the file: the checks, the
    // preparation of the frames, the old tag and the new tag's size. The file
    // is only read. WriteTag runs this first.
    StatusWord PlanTag(std::uint8_t majorVersion, std::uint8_t revision);
    const TagPlan& Plan() const { return m_plan; }

private:
    StatusWord FindOldTag();
    void MeasureFrames();
    StatusWord FinishSizing();
    void EmitTag(WriteCache& cache);
    void UpdateObject();

    Tid3v2tag& m_tag;
    FileStream& m_file;
    std::string m_path;
    SaveIo m_io;
    SaveProgress m_progress;
    TagPlan m_plan;
    StatusWord m_status = status::kOk;
    std::uint32_t m_crcRegister = 0xFFFFFFFF;
    layout::Bytes m_headers; // tag header and extended header
    std::vector<layout::Bytes> m_frameHeaders;
};

} // namespace varnello
