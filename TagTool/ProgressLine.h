#pragma once
// A "done / total" line on stderr for work that takes a while: shown only when
// stderr is a terminal and only once the work has run for half a second,
// redrawn at most ten times a second, and wiped when the work ends.

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>

namespace varnello::tagtool {

class ProgressLine
{
public:
    using Clock = std::chrono::steady_clock;

    // `stream` is where the line goes; it is used only when it is a terminal.
    ProgressLine(std::string label, std::FILE* stream);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void Update(std::size_t done, std::size_t total);
    // Wipes the line if one was shown.
    void Finish();

    static constexpr std::chrono::milliseconds kDelay{500};
    static constexpr std::chrono::milliseconds kInterval{100};

private:
    std::string m_label;
    std::FILE* m_stream = nullptr;
    bool m_enabled = false;
    bool m_shown = false;
    Clock::time_point m_start;
    Clock::time_point m_lastDraw;
};

} // namespace varnello::tagtool
