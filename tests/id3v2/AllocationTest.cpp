// How much memory a load asks for at once. This executable replaces the
// global operator new to note the largest single request, so it runs apart
// from the other tests.

#include "ReaderFixture.h"

#include <atomic>
#include <cstdlib>
#include <new>
#include <unistd.h>

namespace {

std::atomic<std::size_t> g_largest{0};

void* Allocate(std::size_t size)
{
    std::size_t seen = g_largest.load();
    while (size > seen && !g_largest.compare_exchange_weak(seen, size)) {
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}

} // namespace

void* operator new(std::size_t size)
{
    return Allocate(size);
}
void* operator new[](std::size_t size)
{
    return Allocate(size);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}

using namespace varnello;
using namespace varnello::readertest;
using testsupport::Id3v2Builder;

namespace {

class LoadAllocation : public ReaderTest
{
protected:
    // Writes the tag into a file, then loads it; `largest` is the largest
    // single allocation of the load.
    StatusWord Measure(const Bytes& tag, std::size_t& largest)
    {
        const std::string path = m_dir.File("t" + std::to_string(m_files++) + ".mp3");
        testsupport::Mp3Builder().Tag(tag).Audio(2).WriteTo(path);
        return MeasureLoad(path, largest);
    }

    StatusWord MeasureLoad(const std::string& path, std::size_t& largest)
    {
        g_largest = 0;
        const StatusWord result = m_tag.LoadFromFile(path, 0);
        largest = g_largest;
        return result;
    }
};

constexpr std::size_t kRingAndMore = 128 * 1024;

} // namespace

TEST_F(LoadAllocation, FrameSizeBeyondTheFileAllocatesNothingLarge)
{
    for (const std::uint32_t claimed : {0x7FFFFFFFu, 0xFFFFFFF0u, 100000u}) {
        const Bytes tag = Id3v2Builder()
                              .TextFrame("TIT2", "title")
                              .Frame("APIC", Bytes(500, 0x41), 0, 0, {}, claimed)
                              .Build();
        std::size_t largest = 0;
        EXPECT_EQ(Measure(tag, largest), status::kBadTag) << "claimed " << claimed;
        EXPECT_LT(largest, kRingAndMore) << "claimed " << claimed;
    }
}

TEST_F(LoadAllocation, TagSizeBeyondTheFileAllocatesNothingLarge)
{
    const Bytes tag = Id3v2Builder()
                          .Version(4)
                          .Frame("APIC", Bytes(500, 0x41), 0, 0, {}, 0x0FFFFFF0u)
                          .SizeOverride(0x0FFFFFFFu)
                          .Build();
    std::size_t largest = 0;
    EXPECT_EQ(Measure(tag, largest), status::kBadTagSize);
    EXPECT_LT(largest, kRingAndMore);
}

// A large frame is read straight into its buffer; that buffer never asks
// for more than the frame, however the file changes under the load.
TEST_F(LoadAllocation, LargeFrameAsksForItsOwnSizeOnly)
{
    const Bytes picture(300000, 0x41);
    const Bytes tag = Id3v2Builder().TextFrame("TIT2", "t").Frame("APIC", picture).Build();
    std::size_t largest = 0;
    ASSERT_EQ(Measure(tag, largest), status::kOk);
    EXPECT_EQ(m_tag.Frames.Record(2).Data, picture);
    EXPECT_LE(largest, picture.size());

    const std::string path = m_dir.File("shrinks.mp3");
    testsupport::WriteFile(path, tag);
    bool cut = false;
    m_tag.OnProgress = [&](const Tid3v2tag& t) {
        if (!cut && t.Progress > 0 && t.Progress < 100) {
            cut = ::truncate(path.c_str(), 70000) == 0;
        }
    };
    EXPECT_EQ(MeasureLoad(path, largest), status::kReadError);
    EXPECT_TRUE(cut);
    EXPECT_LE(largest, picture.size());
}

// A compressed frame whose size field says 0: the save must write the
// inflated size there. It used to inflate the frame to learn it, holding
// every such frame inflated at once: GiBs for a tag of a few MiB.
TEST(SaveAllocation, CompressedFrameWithoutItsSizeIsNotInflated)
{
    constexpr std::uint32_t kInflated = 32u << 20;
    const Bytes packed = testsupport::ZlibZeros(kInflated);
    testsupport::TempDir dir;
    const std::string path = dir.File("packed.mp3");
    testsupport::Mp3Builder()
        .Tag(Id3v2Builder()
                 .TextFrame("TIT2", "t")
                 .Frame("PRIV", packed, 0, 0x80, Bytes(4, 0x00))
                 .Build())
        .Audio(2)
        .WriteTo(path);
    Tid3v2tag tag;
    ASSERT_EQ(tag.LoadFromFile(path, 0), status::kOk);
    ASSERT_EQ(tag.SetTextFrame("TIT2", "new"), textresult::kOk);
    g_largest = 0;
    ASSERT_EQ(tag.SaveToFile(path, 255, 255, 0), status::kOk);
    EXPECT_LT(g_largest.load(), std::size_t{4} << 20);

    Tid3v2tag loaded;
    ASSERT_EQ(loaded.LoadFromFile(path, 0), status::kOk);
    const std::uint32_t i = loaded.Frames.Find("PRIV");
    ASSERT_NE(i, 0u);
    EXPECT_EQ(loaded.Frames.GetDataLength(i), kInflated);
    EXPECT_TRUE(loaded.Frames.Record(i).Data == packed) << "the frame keeps its own bytes";
}
