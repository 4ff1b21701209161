#pragma once
// Shared by the fuzz targets. The engine works on files, so each input is
// written to a file in a folder of its own per process (under /dev/shm when
// there is one, for speed). A broken promise of the engine ends the run with
// abort(), which libFuzzer reports like a crash, together with the input.

#include "Mp3Builder.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace varnello::fuzz {

using testsupport::Bytes;

// The folder of this process; removed when the process ends normally.
const testsupport::TempDir& Folder();
// The file name inside Folder() that the targets use; ends in ".mp3".
inline constexpr const char* kFileName = "input.mp3";
// Writes the input to Folder()/kFileName and returns the full path.
std::string WriteInput(const std::uint8_t* data, std::size_t size);

[[noreturn]] void Fail(const std::string& what);
void Require(bool condition, const std::string& what);

// The bytes a save at offset 0 replaces: the tag whose header begins the
// file, with a version 4 footer behind it; 0 when the file does not begin
// with a tag header. Worked out here from the bytes, not by the engine.
std::uint64_t OldTagRegion(const Bytes& file);
// The region of a tag just written at offset 0: header plus stated size.
std::uint64_t WrittenTagRegion(const Bytes& file);

// The folder holds only kFileName: a save left no temporary file behind.
void RequireOnlyInput();

} // namespace varnello::fuzz
