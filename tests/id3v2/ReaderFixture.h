#pragma once
// Shared set-up of the reader tests: tags are written into files of a
// temporary folder and loaded from there.

#include "Mp3Builder.h"
#include "Tid3v2tag.h"

#include <gtest/gtest.h>
#include <iomanip>
#include <sstream>
#include <string>

namespace varnello::readertest {

using testsupport::Bytes;
using testsupport::Hex;

inline std::string StatusHex(StatusWord word)
{
    std::ostringstream out;
    out << "0x" << std::hex << std::uppercase << std::setw(4) << std::setfill('0') << word.Value();
    return out.str();
}

class ReaderTest : public testing::Test
{
protected:
    // Writes the bytes (tag plus a little audio) and loads them into m_tag.
    StatusWord Load(const Bytes& tag, std::size_t audioFrames = 2)
    {
        const std::string path = m_dir.File("t" + std::to_string(m_files++) + ".mp3");
        testsupport::Mp3Builder().Tag(tag).Audio(audioFrames).WriteTo(path);
        return m_tag.LoadFromFile(path, 0);
    }

    StatusWord LoadFile(const Bytes& bytes)
    {
        const std::string path = m_dir.File("t" + std::to_string(m_files++) + ".mp3");
        testsupport::WriteFile(path, bytes);
        return m_tag.LoadFromFile(path, 0);
    }

    const Bytes& Data(std::uint32_t i) { return m_tag.Frames.Record(i).Data; }

    testsupport::TempDir m_dir;
    Tid3v2tag m_tag;
    int m_files = 0;
};

} // namespace varnello::readertest
