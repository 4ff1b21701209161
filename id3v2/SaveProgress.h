#pragma once
// The progress figures of one save: a phase text and a percentage that the
// tag object publishes. Only changes are passed on.

#include "Tid3v2tag.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

namespace varnello {

class SaveProgress
{
public:
    explicit SaveProgress(Tid3v2tag& tag) : m_tag(tag) {}

    void Report(std::uint8_t percent, std::string_view text)
    {
        if (percent != m_percent || text != m_text || !m_started) {
            m_started = true;
            m_percent = percent;
            m_text.assign(text);
            m_tag.ReportProgress(m_percent, m_text);
        }
    }
    void Report(std::uint8_t percent)
    {
        if (percent != m_percent) {
            m_percent = percent;
            m_tag.ReportProgress(m_percent, m_text);
        }
    }
    void Phase(std::string_view text) { Report(m_percent, text); }

    // The byte work runs from 10 to 100 percent over `estimate` units.
    void StartWork(std::uint64_t estimate, std::uint64_t alreadyDone)
    {
        m_estimate = std::max<std::uint64_t>(estimate, 1);
        m_done = 0;
        Work(alreadyDone);
    }
    void Work(std::uint64_t units)
    {
        m_done = std::min(m_done + units, m_estimate);
        Report(static_cast<std::uint8_t>(10 + m_done * 90 / m_estimate));
    }

private:
    Tid3v2tag& m_tag;
    bool m_started = false;
    std::uint8_t m_percent = 0;
    std::string m_text;
    std::uint64_t m_estimate = 1;
    std::uint64_t m_done = 0;
};

} // namespace varnello
