#include "ProgressLine.h"

#include "Platform.h"

#include <cstdio>

namespace varnello::tagtool {

ProgressLine::ProgressLine(std::string label, std::FILE* stream)
    : m_label(std::move(label)), m_stream(stream),
      m_enabled(stream != nullptr && platform::IsTerminal(::fileno(stream))), m_start(Clock::now())
{
}

ProgressLine::~ProgressLine()
{
    Finish();
}

void ProgressLine::Update(std::size_t done, std::size_t total)
{
    if (!m_enabled) {
        return;
    }
    const Clock::time_point now = Clock::now();
    if (now - m_start < kDelay || (m_shown && now - m_lastDraw < kInterval && done != total)) {
        return;
    }
    std::fprintf(m_stream, "\r%s %zu / %zu", m_label.c_str(), done, total);
    std::fflush(m_stream);
    m_shown = true;
    m_lastDraw = now;
}

void ProgressLine::Finish()
{
    if (m_shown) {
        // Carriage return, then erase to the end of the line.
        std::fputs("\r\033[K", m_stream);
        std::fflush(m_stream);
        m_shown = false;
    }
}

} // namespace varnello::tagtool
