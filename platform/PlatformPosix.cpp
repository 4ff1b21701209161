// The POSIX (Linux) implementation of the platform layer.

#include "Platform.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace varnello::platform {

namespace {

std::error_code LastError()
{
    return {errno, std::generic_category()};
}

int Fd(const Handle& handle)
{
    return static_cast<int>(handle.Native());
}

// Retries a call that a signal interrupted.
template <typename Call> auto Retry(Call call)
{
    for (;;) {
        const auto result = call();
        if (result >= 0 || errno != EINTR) {
            return result;
        }
    }
}

std::error_code OpenWith(int folder, const std::string& path, int flags, Handle& out)
{
    const int fd = Retry([&] { return ::openat(folder, path.c_str(), flags | O_CLOEXEC, 0600); });
    if (fd < 0) {
        return LastError();
    }
    out = Handle(fd);
    return {};
}

int AccessFlags(Access access)
{
    return access == Access::Read ? O_RDONLY : O_RDWR;
}

void Fill(const struct stat& st, FileInfo& info)
{
    info = FileInfo{};
    info.Regular = S_ISREG(st.st_mode);
    info.Directory = S_ISDIR(st.st_mode);
    info.SymbolicLink = S_ISLNK(st.st_mode);
    info.Device = static_cast<std::uint64_t>(st.st_dev);
    info.Inode = static_cast<std::uint64_t>(st.st_ino);
    info.Size = static_cast<std::uint64_t>(st.st_size);
    info.Links = static_cast<std::uint64_t>(st.st_nlink);
    info.AllocatedBytes = static_cast<std::uint64_t>(st.st_blocks) * 512u;
    info.ModifiedNanoseconds =
        static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    info.Mode = static_cast<std::uint32_t>(st.st_mode & 07777);
    info.Owner = static_cast<std::uint32_t>(st.st_uid);
    info.Group = static_cast<std::uint32_t>(st.st_gid);
}

} // namespace

Handle::~Handle()
{
    if (m_native >= 0) {
        ::close(static_cast<int>(m_native));
    }
}

Handle::Handle(Handle&& other) noexcept : m_native(std::exchange(other.m_native, -1)) {}

Handle& Handle::operator=(Handle&& other) noexcept
{
    if (this != &other) {
        if (m_native >= 0) {
            ::close(static_cast<int>(m_native));
        }
        m_native = std::exchange(other.m_native, -1);
    }
    return *this;
}

std::error_code Handle::Close()
{
    if (m_native < 0) {
        return {};
    }
    const int fd = static_cast<int>(std::exchange(m_native, -1));
    // A close that a signal interrupted has closed the descriptor all the same.
    if (::close(fd) != 0 && errno != EINTR) {
        return LastError();
    }
    return {};
}

std::error_code Open(const std::string& path, Access access, Handle& file)
{
    return OpenWith(AT_FDCWD, path, AccessFlags(access) | O_NONBLOCK, file);
}

std::error_code OpenFolder(const std::string& path, Handle& folder)
{
    return OpenWith(AT_FDCWD, path.empty() ? "." : path, O_RDONLY | O_DIRECTORY, folder);
}

std::error_code OpenAt(const Handle& folder, const std::string& name, Access access, Follow follow,
                       Handle& file)
{
    const int flags =
        AccessFlags(access) | O_NONBLOCK | (follow == Follow::NoLinks ? O_NOFOLLOW : 0);
    return OpenWith(Fd(folder), name, flags, file);
}

std::error_code CreateExclusiveAt(const Handle& folder, const std::string& name, Handle& file)
{
    return OpenWith(Fd(folder), name, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, file);
}

std::error_code CreateUnnamedIn(const Handle& folder, Handle& file)
{
    return OpenWith(Fd(folder), ".", O_RDWR | O_TMPFILE, file);
}

std::error_code Duplicate(const Handle& file, Handle& copy)
{
    const int fd = ::fcntl(Fd(file), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        return LastError();
    }
    copy = Handle(fd);
    return {};
}

std::error_code LinkAt(const Handle& file, const Handle& folder, const std::string& name)
{
    // Linking an open file by its handle needs a privilege; its entry in
    // /proc does not.
    const std::string self = "/proc/self/fd/" + std::to_string(Fd(file));
    if (::linkat(AT_FDCWD, self.c_str(), Fd(folder), name.c_str(), AT_SYMLINK_FOLLOW) != 0) {
        return LastError();
    }
    return {};
}

std::error_code RenameAt(const Handle& folder, const std::string& from, const std::string& to)
{
    if (::renameat(Fd(folder), from.c_str(), Fd(folder), to.c_str()) != 0) {
        return LastError();
    }
    return {};
}

bool CanReplaceOpenFile()
{
    return true;
}

std::error_code RemoveAt(const Handle& folder, const std::string& name)
{
    if (::unlinkat(Fd(folder), name.c_str(), 0) != 0) {
        return LastError();
    }
    return {};
}

std::error_code RenameNoReplace(const Handle& folder, const std::string& from,
                                const std::string& to)
{
    if (::renameat2(Fd(folder), from.c_str(), Fd(folder), to.c_str(), RENAME_NOREPLACE) == 0) {
        return {};
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return LastError();
    }
    // A file system (or kernel) without the flag: a link refuses an existing
    // name just as well; for a moment the file has both names.
    if (::linkat(Fd(folder), from.c_str(), Fd(folder), to.c_str(), 0) != 0) {
        return LastError();
    }
    if (::unlinkat(Fd(folder), from.c_str(), 0) != 0) {
        const std::error_code error = LastError();
        ::unlinkat(Fd(folder), to.c_str(), 0);
        return error;
    }
    return {};
}

std::error_code Query(const Handle& file, FileInfo& info)
{
    struct stat st
    {
    };
    if (::fstat(Fd(file), &st) != 0) {
        return LastError();
    }
    Fill(st, info);
    return {};
}

std::error_code QueryAt(const Handle& folder, const std::string& name, Follow follow,
                        FileInfo& info)
{
    struct stat st
    {
    };
    const int flags = follow == Follow::NoLinks ? AT_SYMLINK_NOFOLLOW : 0;
    if (::fstatat(Fd(folder), name.c_str(), &st, flags) != 0) {
        return LastError();
    }
    Fill(st, info);
    return {};
}

std::error_code QueryPath(const std::string& path, Follow follow, FileInfo& info)
{
    struct stat st
    {
    };
    const int result =
        follow == Follow::NoLinks ? ::lstat(path.c_str(), &st) : ::stat(path.c_str(), &st);
    if (path.empty() || result != 0) {
        return path.empty() ? std::make_error_code(std::errc::no_such_file_or_directory)
                            : LastError();
    }
    Fill(st, info);
    return {};
}

std::error_code ReadLink(const std::string& path, std::string& target)
{
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t got = ::readlink(path.c_str(), buffer.data(), buffer.size());
        if (got < 0) {
            return LastError();
        }
        if (static_cast<std::size_t>(got) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(got));
            target = std::move(buffer);
            return {};
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::error_code ReadAt(const Handle& file, std::uint64_t position, std::span<std::uint8_t> buffer,
                       std::size_t& got)
{
    got = 0;
    while (got < buffer.size()) {
        const ssize_t n = ::pread(Fd(file), buffer.data() + got, buffer.size() - got,
                                  static_cast<off_t>(position + got));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return LastError();
        }
        if (n == 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    return {};
}

std::error_code WriteAt(const Handle& file, std::uint64_t position,
                        std::span<const std::uint8_t> bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(Fd(file), bytes.data() + done, bytes.size() - done,
                                   static_cast<off_t>(position + done));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return LastError();
        }
        if (n == 0) {
            return std::make_error_code(std::errc::no_space_on_device);
        }
        done += static_cast<std::size_t>(n);
    }
    return {};
}

std::error_code SetSize(const Handle& file, std::uint64_t size)
{
    if (Retry([&] { return ::ftruncate(Fd(file), static_cast<off_t>(size)); }) != 0) {
        return LastError();
    }
    return {};
}

std::error_code Reserve(const Handle& file, std::uint64_t position, std::uint64_t count)
{
    const int error =
        ::posix_fallocate(Fd(file), static_cast<off_t>(position), static_cast<off_t>(count));
    return error == 0 ? std::error_code{} : std::error_code(error, std::generic_category());
}

std::error_code Sync(const Handle& file)
{
    if (::fsync(Fd(file)) != 0) {
        return LastError();
    }
    return {};
}

std::error_code DataExtents(const Handle& file, std::uint64_t from, std::uint64_t to,
                            std::vector<Extent>& extents)
{
    extents.clear();
    std::uint64_t at = from;
    while (at < to) {
        const off_t data = ::lseek(Fd(file), static_cast<off_t>(at), SEEK_DATA);
        if (data < 0) {
            if (errno == ENXIO) {
                break; // only a hole is left
            }
            if (errno == EINVAL || errno == EOPNOTSUPP) {
                extents.assign(1, Extent{from, to - from});
                return {};
            }
            return LastError();
        }
        const auto start = static_cast<std::uint64_t>(data);
        if (start >= to) {
            break;
        }
        const off_t hole = ::lseek(Fd(file), data, SEEK_HOLE);
        if (hole < 0) {
            return LastError();
        }
        const std::uint64_t end = std::min(to, static_cast<std::uint64_t>(hole));
        extents.push_back({start, end - start});
        at = end;
    }
    return {};
}

std::error_code CopyRange(const Handle& from, std::uint64_t source, const Handle& to,
                          std::uint64_t target, std::uint64_t count, std::uint64_t& copied)
{
    copied = 0;
    auto in = static_cast<off_t>(source);
    auto out = static_cast<off_t>(target);
    while (copied < count) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(count - copied, 1u << 30));
        const ssize_t n = ::copy_file_range(Fd(from), &in, Fd(to), &out, want, 0);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            const bool unsupported = errno == EXDEV || errno == EINVAL || errno == ENOSYS ||
                                     errno == EOPNOTSUPP || errno == EBADF;
            if (unsupported && copied == 0) {
                return {}; // the caller copies the bytes itself
            }
            return LastError();
        }
        if (n == 0) {
            return std::make_error_code(std::errc::io_error); // the source ended early
        }
        copied += static_cast<std::uint64_t>(n);
    }
    return {};
}

std::error_code LockExclusive(const Handle& file, std::chrono::milliseconds wait)
{
    // An open file description lock belongs to the open file, so two saves in
    // one process exclude each other as two processes do.
    struct flock lock
    {
    };
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        if (::fcntl(Fd(file), F_OFD_SETLK, &lock) == 0) {
            return {};
        }
        if (errno != EAGAIN && errno != EACCES && errno != EINTR) {
            return LastError();
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::make_error_code(std::errc::resource_unavailable_try_again);
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
}

std::error_code SetOwner(const Handle& file, std::uint32_t owner, std::uint32_t group)
{
    if (::fchown(Fd(file), static_cast<uid_t>(owner), static_cast<gid_t>(group)) != 0) {
        return LastError();
    }
    return {};
}

std::error_code SetMode(const Handle& file, std::uint32_t mode)
{
    if (::fchmod(Fd(file), static_cast<mode_t>(mode & 07777)) != 0) {
        return LastError();
    }
    return {};
}

std::error_code SetModifiedTime(const Handle& file, std::int64_t nanoseconds)
{
    constexpr std::int64_t kPerSecond = 1'000'000'000;
    std::int64_t seconds = nanoseconds / kPerSecond;
    std::int64_t rest = nanoseconds % kPerSecond;
    if (rest < 0) {
        rest += kPerSecond;
        --seconds;
    }
    std::array<struct timespec, 2> times{};
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(seconds);
    times[1].tv_nsec = static_cast<long>(rest);
    if (::futimens(Fd(file), times.data()) != 0) {
        return LastError();
    }
    return {};
}

std::error_code ListAttributes(const Handle& file, std::vector<std::string>& names)
{
    names.clear();
    const ssize_t size = ::flistxattr(Fd(file), nullptr, 0);
    if (size < 0) {
        return errno == ENOTSUP ? std::error_code{} : LastError();
    }
    std::string buffer(static_cast<std::size_t>(size), '\0');
    const ssize_t got = ::flistxattr(Fd(file), buffer.data(), buffer.size());
    if (got < 0) {
        return LastError();
    }
    buffer.resize(static_cast<std::size_t>(got));
    for (std::size_t at = 0; at < buffer.size();) {
        const std::size_t end = buffer.find('\0', at);
        const std::size_t stop = end == std::string::npos ? buffer.size() : end;
        if (stop > at) {
            names.push_back(buffer.substr(at, stop - at));
        }
        at = stop + 1;
    }
    return {};
}

std::error_code GetAttribute(const Handle& file, const std::string& name,
                             std::vector<std::uint8_t>& value)
{
    for (int attempt = 0; attempt < 4; ++attempt) {
        const ssize_t size = ::fgetxattr(Fd(file), name.c_str(), nullptr, 0);
        if (size < 0) {
            return LastError();
        }
        value.resize(static_cast<std::size_t>(size));
        const ssize_t got = ::fgetxattr(Fd(file), name.c_str(), value.data(), value.size());
        if (got >= 0) {
            value.resize(static_cast<std::size_t>(got));
            return {};
        }
        if (errno != ERANGE) {
            return LastError(); // ERANGE: it grew in between; ask again
        }
    }
    return std::make_error_code(std::errc::resource_unavailable_try_again);
}

std::error_code SetAttribute(const Handle& file, const std::string& name,
                             std::span<const std::uint8_t> value)
{
    if (::fsetxattr(Fd(file), name.c_str(), value.data(), value.size(), 0) != 0) {
        return LastError();
    }
    return {};
}

std::error_code RemoveAttribute(const Handle& file, const std::string& name)
{
    if (::fremovexattr(Fd(file), name.c_str()) != 0) {
        return LastError();
    }
    return {};
}

std::error_code ListFolder(const std::string& path, std::vector<FolderEntry>& entries)
{
    entries.clear();
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(path.empty() ? "." : path.c_str()),
                                                  &::closedir);
    if (!dir) {
        return LastError();
    }
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir.get());
        if (entry == nullptr) {
            if (errno != 0) {
                return LastError();
            }
            return {};
        }
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..") {
            continue;
        }
        FolderEntry item;
        item.Name = name;
        item.Regular = entry->d_type == DT_REG;
        item.MaybeRegular = entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN;
        item.Directory = entry->d_type == DT_DIR;
        entries.push_back(std::move(item));
    }
}

std::string UserStateFolder()
{
    // Read once per call; the environment is the user's choice.
    if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && state[0] == '/') {
        return state;
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        return std::string(home) + "/.local/state";
    }
    return {};
}

std::uint64_t RandomNumber()
{
    std::uint64_t value = 0;
    if (::getrandom(&value, sizeof value, 0) != static_cast<ssize_t>(sizeof value)) {
        // No entropy source: the time and the process still make a name that
        // O_EXCL checks anyway.
        value = static_cast<std::uint64_t>(NowNanoseconds()) ^
                (static_cast<std::uint64_t>(::getpid()) << 32);
    }
    return value;
}

bool IsTerminal(int standardStream)
{
    return ::isatty(standardStream) != 0;
}

void KeepRunningAtFileSizeLimit()
{
    std::signal(SIGXFSZ, SIG_IGN);
}

void SetUpStandardStreams() {}

std::vector<std::string> ProgramArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv, argv + argc);
}

std::int64_t NowNanoseconds()
{
    struct timespec now
    {
    };
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

std::error_code MakeFolders(const std::string& path)
{
    if (path.empty()) {
        return std::make_error_code(std::errc::invalid_argument);
    }
    FileInfo info;
    if (!QueryPath(path, Follow::Links, info)) {
        return info.Directory ? std::error_code{}
                              : std::make_error_code(std::errc::not_a_directory);
    }
    const std::string parent = FolderOf(path);
    if (parent != path && parent != "." && parent != "/") {
        if (const std::error_code error = MakeFolders(parent)) {
            return error;
        }
    }
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        return LastError();
    }
    return {};
}

std::error_code AbsolutePath(const std::string& path, std::string& absolute)
{
    const std::unique_ptr<char, decltype(&std::free)> real(
        ::realpath(path.empty() ? "." : path.c_str(), nullptr), &std::free);
    if (!real) {
        return LastError();
    }
    absolute = real.get();
    return {};
}

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string JoinPath(const std::string& folder, const std::string& name)
{
    if (folder.empty() || folder == ".") {
        return name;
    }
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::error_code ResolveLinks(const std::string& path, std::string& resolved)
{
    std::string current = path;
    // As many links as the system itself follows before it gives up.
    for (int depth = 0; depth < 40; ++depth) {
        FileInfo info;
        if (const std::error_code error = QueryPath(current, Follow::NoLinks, info)) {
            return error;
        }
        if (!info.SymbolicLink) {
            resolved = current;
            return {};
        }
        std::string target;
        if (const std::error_code error = ReadLink(current, target)) {
            return error;
        }
        current =
            !target.empty() && target.front() == '/' ? target : JoinPath(FolderOf(current), target);
    }
    return std::make_error_code(std::errc::too_many_symbolic_link_levels);
}

} // namespace varnello::platform
