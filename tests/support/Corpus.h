#pragma once
// Folders of MP3 files built with the test builder: a realistic collection for
// the benchmarks, and the small demo folder that run.sh shows.

#include <cstddef>
#include <cstdint>
#include <string>

namespace varnello::testsupport {

struct CorpusStats
{
    std::size_t Files = 0;
    std::size_t WithPicture = 0;
    std::size_t WithId3v1 = 0;
    std::uint64_t Bytes = 0;    // all bytes written
    std::uint64_t TagBytes = 0; // ID3v2 tags, headers and padding included
};

// Writes `count` files named "track-000001.mp3" ... into the existing folder:
// ID3v2.3 and 2.4 tags of a few KiB with the usual text frames, comments,
// user-defined and private frames, padding; a picture of 20-100 KiB on about
// one file in four; an ID3v1 tag on every second file; 64-256 KiB of MPEG
// frames. The same seed gives the same files.
CorpusStats WriteRealisticCorpus(const std::string& folder, std::size_t count,
                                 std::uint32_t seed = 1);

// Writes one file of that collection (number `index`) to `path`.
CorpusStats WriteRealisticFile(const std::string& path, std::size_t index, std::uint32_t seed = 1);

// The benchmark collection of `count` files in `folder` (empty: a folder under
// the temporary folder named after the count). A folder stamped complete by
// an earlier run with the same count is reused, so the listing and window
// benchmarks share one collection; otherwise it is generated afresh. Only a
// missing or empty folder, or one a benchmark marked as its own, is used: for
// any other the reason goes to stderr and the result is empty. Regenerating
// removes only the files a benchmark wrote. Returns the folder.
std::string PrepareBenchmarkCorpus(std::string folder, std::size_t count);

// Removes the files PrepareBenchmarkCorpus wrote, and the folder when nothing
// else is left in it; a folder without the benchmark's mark is left alone.
void RemoveBenchmarkCorpus(const std::string& folder);

// Fills the folder (created when missing) with a dozen small files covering
// version 3 and version 4 tags, Unicode text (Japanese, accented), ID3v1 only,
// both tags, no tag, a picture, a broken tag and an upper-case extension. MP3
// files already in the folder are removed first, so each run starts afresh.
// Returns the number of files written.
std::size_t WriteDemoFolder(const std::string& folder);

} // namespace varnello::testsupport
