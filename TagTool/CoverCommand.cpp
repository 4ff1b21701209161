// varnello-tag cover: writes the picture a viewer shows as a file's cover
// into a file of its own.

#include "Arguments.h"
#include "Commands.h"
#include "Console.h"
#include "Cover.h"
#include "Platform.h"
#include "SaveIo.h"
#include "SaveJournal.h"

#include <chrono>
#include <filesystem>

namespace varnello::tagtool {

namespace {

constexpr const char* kCoverUsage =
    "Usage: varnello-tag cover FILE OUT\n"
    "\n"
    "Writes the cover picture of FILE's ID3v2 tag (the first front cover, else\n"
    "the first picture) to OUT, as it is stored (JPEG, PNG ...). OUT is written\n"
    "whole or not at all: through a temporary file in its folder, which then\n"
    "replaces it. An OUT that is a symbolic link or not a regular file is\n"
    "refused.\n"
    "\n"
    "  --hex-path HEX  a FILE or OUT given as the hex digits of its name\n"
    "  --help          show this help\n"
    "\n"
    "Exit status 0 when the picture was written, 1 when FILE has no picture or\n"
    "a file could not be read or written, 2 for a wrong command line.\n";

// New pictures may be read by everyone, as files a user saves usually are.
constexpr std::uint32_t kNewFileMode = 0644;

// The temporary file of a write, removed unless it was renamed over the
// target.
class PendingFile
{
public:
    explicit PendingFile(const platform::Handle& folder) : m_folder(folder) {}
    ~PendingFile()
    {
        if (!m_name.empty()) {
            m_file.Close();
            platform::RemoveAt(m_folder, m_name);
        }
    }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    std::error_code Create()
    {
        std::error_code error;
        do {
            m_name = TemporaryName();
            error = platform::CreateExclusiveAt(m_folder, m_name, m_file);
        } while (error == std::errc::file_exists);
        if (error) {
            m_name.clear();
            return error;
        }
        // A save's clean-up of leftovers passes over a locked temporary file.
        return platform::LockExclusive(m_file, std::chrono::milliseconds(0));
    }

    std::error_code Write(std::span<const std::uint8_t> bytes, std::uint32_t mode)
    {
        if (std::error_code error = platform::WriteAt(m_file, 0, bytes)) {
            return error;
        }
        if (std::error_code error = platform::SetMode(m_file, mode)) {
            return error;
        }
        if (std::error_code error = platform::Sync(m_file)) {
            return error;
        }
        return m_file.Close();
    }

    std::error_code RenameTo(const std::string& name)
    {
        if (std::error_code error = platform::RenameAt(m_folder, m_name, name)) {
            return error;
        }
        m_name.clear();
        return platform::Sync(m_folder);
    }

private:
    const platform::Handle& m_folder;
    platform::Handle m_file;
    std::string m_name;
};

// Writes the bytes to `path`, replacing it in one step; the reason it could
// not, or empty.
std::string WriteWhole(const std::string& path, std::span<const std::uint8_t> bytes)
{
    const std::string name = platform::NameOf(path);
    platform::Handle folder;
    if (const std::error_code error = platform::OpenFolder(platform::FolderOf(path), folder)) {
        return "cannot open its folder: " + error.message();
    }
    platform::FileInfo info;
    std::uint32_t mode = kNewFileMode;
    const std::error_code queried =
        platform::QueryAt(folder, name, platform::Follow::NoLinks, info);
    if (!queried) {
        if (info.SymbolicLink) {
            return "is a symbolic link; not written";
        }
        if (!info.Regular) {
            return "is not a regular file; not written";
        }
        mode = info.Mode;
    } else if (queried != std::errc::no_such_file_or_directory) {
        return "cannot be checked: " + queried.message();
    }
    PendingFile pending(folder);
    std::error_code error = pending.Create();
    if (!error) {
        error = pending.Write(bytes, mode);
    }
    if (!error) {
        error = pending.RenameTo(name);
    }
    return error ? "cannot be written: " + error.message() : std::string();
}

} // namespace

int RunCover(const std::vector<std::string>& args)
{
    const ParsedArguments parsed = ParseArguments(args, {}, {});
    if (!parsed.Error.empty()) {
        return UsageError("cover", parsed.Error);
    }
    if (parsed.Has("help")) {
        WriteOut(kCoverUsage);
        return exitcode::kOk;
    }
    if (parsed.Operands.size() != 2) {
        return UsageError("cover", "give a FILE and the OUT file to write its cover to");
    }
    const std::string& path = parsed.Operands[0];
    const std::string& out = parsed.Operands[1];
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        PrintError(path + (std::filesystem::exists(path, error) ? ": not a regular file"
                                                                : ": no such file"));
        return exitcode::kFailure;
    }
    // A save of the file that was interrupted is rolled back first, so that
    // the picture comes from a whole file.
    RecoverFile(path);
    const CoverRead read = ReadCover(path);
    if (!status::IsSuccess(read.Status) && read.Status.Error() != status::kNoTag) {
        PrintError(path + ": " + StatusMessage(read.Status.ErrorCode()));
        return exitcode::kFailure;
    }
    if (!read.Cover) {
        PrintError(path + ": has no picture");
        return exitcode::kFailure;
    }
    if (read.Cover->Data.empty() && read.Cover->Size > 0) {
        PrintError(path + ": the picture is larger than 16 MiB; not written");
        return exitcode::kFailure;
    }
    if (const std::string reason = WriteWhole(out, read.Cover->Data); !reason.empty()) {
        PrintError(out + ": " + reason);
        return exitcode::kFailure;
    }
    return exitcode::kOk;
}

} // namespace varnello::tagtool
