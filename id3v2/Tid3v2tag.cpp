#include "Tid3v2tag.h"

#include "FileStream.h"
#include "TagReader.h"

namespace varnello {

void Tid3v2tag::ReportProgress(std::uint8_t percent, std::string_view text)
{
    const bool changed = percent != Progress || text != ProgressText;
    Progress = percent;
    if (text != ProgressText) {
        ProgressText = text;
    }
    if (changed && OnProgress) {
        OnProgress(*this);
    }
}

StatusWord Tid3v2tag::LoadFromFile(const std::string& fileName, std::int64_t offset)
{
    // A folder or device named like an MP3 file does not count as a file.
    const FileAttributes attributes = QueryAttributes(fileName);
    if (!attributes.Exists) {
        return status::kCannotOpen;
    }
    ReadOnly = attributes.ReadOnly;
    FileStream file;
    try {
        file = FileStream(fileName, FileStream::Access::Read);
    } catch (const EFileOpenError&) {
        return StatusOfCurrentException();
    }
    return LoadFromOpenFile(file, attributes, fileName, offset);
}

StatusWord Tid3v2tag::LoadFromOpenFile(FileStream& file, const FileAttributes& attributes,
                                       const std::string& fileName, std::int64_t offset)
{
    ReadOnly = attributes.ReadOnly;
    StatusWord result = status::kOk;
    bool headerAccepted = false;
    try {
        if (offset < 0 || static_cast<std::uint64_t>(offset) >= file.Size()) {
            return status::kPastEof;
        }
        file.Seek(static_cast<std::uint64_t>(offset));
        FileName = fileName;
        TagReader reader(*this, file, static_cast<std::uint64_t>(offset));
        try {
            return reader.ReadTag();
        } catch (...) {
            headerAccepted = reader.HeaderAccepted();
            throw;
        }
    } catch (const std::runtime_error&) {
        result = StatusOfCurrentException();
    }
    // The frames may be half rebuilt: make sure that they are never saved
    // as if the load had succeeded.
    if (headerAccepted) {
        LoadStatus = result;
    }
    return result;
}

} // namespace varnello
