#pragma once
// Small helpers that the save tests of the engine and of the module share:
// bytes that show any misplacement, a look at a folder, and (on POSIX) a
// child process.

#include "Mp3Builder.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace varnello::testsupport {

// Bytes without a repeating pattern (so that a shifted copy never matches),
// with 0xFF and 0xE0 bytes among them.
inline Bytes Pattern(std::size_t size, std::uint32_t seed = 1)
{
    Bytes out(size);
    std::uint32_t state = seed * 2654435761u + 1;
    for (auto& byte : out) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<std::uint8_t>(state >> 24);
    }
    return out;
}

// The names in the folder, hidden ones included, sorted.
inline std::vector<std::string> FolderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    const std::filesystem::path path(std::u8string(folder.begin(), folder.end()));
    for (const auto& entry : std::filesystem::directory_iterator(path, error)) {
        const std::u8string name = entry.path().filename().u8string();
        names.emplace_back(name.begin(), name.end());
    }
    std::sort(names.begin(), names.end());
    return names;
}

#ifndef _WIN32
// Runs `body` in a child process; returns its exit code, or 128 + the
// signal that ended it.
inline int InChild(const std::function<int()>& body)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::_exit(body());
    }
    int wstatus = 0;
    ::waitpid(pid, &wstatus, 0);
    return WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
}
#endif

} // namespace varnello::testsupport
