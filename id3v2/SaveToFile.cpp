#include "SaveToFile.h"

#include "FileStream.h"
#include "TagWriter.h"

#include <sys/stat.h>

namespace varnello {

namespace {

constexpr const char* kSameFile = "=";

bool IsRegularFile(const FileStream& file)
{
    struct stat info
    {
    };
    return ::fstat(file.Handle(), &info) == 0 && S_ISREG(info.st_mode);
}

StatusWord WriteInto(Tid3v2tag& tag, const std::string& path, std::uint8_t majorVersion,
                     std::uint8_t revision, std::uint64_t offset, const SaveOptions& options)
{
    FileStream file(path, FileStream::Access::ReadWrite);
    if (!IsRegularFile(file)) {
        return status::kCannotOpen; // replaced by something else since it was checked
    }
    TagWriter writer(tag, file, path, offset, options);
    const StatusWord result = writer.WriteTag(majorVersion, revision);
    file.Close();
    return result;
}

} // namespace

StatusWord SaveTagToFile(Tid3v2tag& tag, const std::string& fileName, std::uint8_t majorVersion,
                         std::uint8_t revision, std::int64_t offset, const SaveOptions& options)
{
    const bool sameFile = fileName == kSameFile;
    const std::string path = sameFile ? tag.FileName : fileName;
    std::uint64_t position = 0;
    if (offset >= 0) {
        position = static_cast<std::uint64_t>(offset);
    } else if (sameFile) {
        position = tag.TagOffset;
    }
    if (!status::IsSuccess(tag.LoadStatus)) {
        return status::kBadTag;
    }
    const FileAttributes attributes = QueryAttributes(path);
    if (!attributes.Exists) {
        return status::kCannotOpen;
    }
    if (attributes.ReadOnly) {
        return status::kReadOnly;
    }
    try {
        const StatusWord result = WriteInto(tag, path, majorVersion, revision, position, options);
        if (status::IsSuccess(result)) {
            tag.FileName = path;
        }
        return result;
    } catch (const EFileOpenError&) {
        return status::kCannotOpen;
    } catch (const EReadError&) {
        return status::kReadError;
    } catch (const EWriteError&) {
        return status::kWriteError;
    } catch (const EInOutError&) {
        return status::kIoError;
    }
}

StatusWord RemoveTagFromFile(const std::string& /*path*/, std::uint64_t /*offset*/)
{
    return status::kNoFrames;
}

StatusWord Tid3v2tag::SaveToFile(const std::string& fileName, std::uint8_t majorVersion,
                                 std::uint8_t revision, std::int64_t offset)
{
    return SaveTagToFile(*this, fileName, majorVersion, revision, offset, SaveOptions{});
}

} // namespace varnello
