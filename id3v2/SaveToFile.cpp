#include "SaveToFile.h"

#include "FileStream.h"
#include "SaveJournal.h"
#include "TagWriter.h"

namespace varnello {

namespace {

constexpr const char* kSameFile = "=";

} // namespace

StatusWord SaveTagToTarget(Tid3v2tag& tag, SaveTarget& target, std::uint8_t majorVersion,
                           std::uint8_t revision, std::uint64_t offset, const SaveOptions& options,
                           const std::optional<std::array<std::uint8_t, 128>>& tail)
{
    if (!status::IsSuccess(tag.LoadStatus)) {
        return status::kBadTag;
    }
    try {
        TagWriter writer(tag, target, offset, options, tail);
        const StatusWord result = writer.WriteTag(majorVersion, revision);
        if (status::IsSuccess(result)) {
            tag.FileName = target.Path();
        }
        return result;
    } catch (const std::runtime_error&) {
        return StatusOfCurrentException();
    }
}

StatusWord LoadTagFromTarget(Tid3v2tag& tag, SaveTarget& target, std::uint64_t offset)
{
    FileAttributes attributes;
    attributes.Exists = true;
    attributes.ReadOnly = target.Info().ReadOnly();
    attributes.Size = target.Info().Size;
    attributes.Mode = target.Info().Mode;
    attributes.Links = target.Info().Links;
    return tag.LoadFromOpenFile(target.File(), attributes, target.Path(),
                                static_cast<std::int64_t>(offset));
}

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
    SaveTarget target;
    if (const StatusWord opened = target.Open(path); !status::IsSuccess(opened)) {
        return opened;
    }
    RecoverLockedFile(target);
    return SaveTagToTarget(tag, target, majorVersion, revision, position, options);
}

StatusWord RemoveTagFromTarget(SaveTarget& target, std::uint64_t offset, const SaveOptions& options,
                               const std::optional<std::array<std::uint8_t, 128>>& tail)
{
    try {
        Tid3v2tag scratch; // receives the progress figures and the outcome
        TagWriter writer(scratch, target, offset, options, tail);
        return writer.RemoveTag();
    } catch (const std::runtime_error&) {
        return StatusOfCurrentException();
    }
}

StatusWord RemoveTagFromFile(const std::string& path, std::uint64_t offset,
                             const SaveOptions& options)
{
    SaveTarget target;
    if (const StatusWord opened = target.Open(path); !status::IsSuccess(opened)) {
        return opened;
    }
    RecoverLockedFile(target);
    return RemoveTagFromTarget(target, offset, options, std::nullopt);
}

StatusWord Tid3v2tag::SaveToFile(const std::string& fileName, std::uint8_t majorVersion,
                                 std::uint8_t revision, std::int64_t offset)
{
    return SaveTagToFile(*this, fileName, majorVersion, revision, offset, SaveOptions{});
}

} // namespace varnello
