#include "Unsync.h"

#include <array>

namespace varnello {

namespace {

// The second byte of a pair that needs a 0x00 after a 0xFF.
constexpr bool IsTriggerFollower(std::uint8_t b)
{
    return b == 0x00 || b >= 0xE0;
}

} // namespace

std::size_t UnsyncCount(std::span<const std::uint8_t> data)
{
    std::size_t count = 0;
    for (std::size_t i = 0; i + 1 < data.size(); ++i) {
        if (data[i] == 0xFF && IsTriggerFollower(data[i + 1])) {
            ++count;
        }
    }
    return count;
}

std::size_t UnsyncInsert(std::uint8_t* buffer, std::size_t length)
{
    const std::size_t inserted = UnsyncCount(std::span<const std::uint8_t>(buffer, length));
    std::size_t outstanding = inserted;
    // Walk backwards so that every byte moves up once, by the number of
    // insertions still below it.
    for (std::size_t i = length; i-- > 0 && outstanding > 0;) {
        buffer[i + outstanding] = buffer[i];
        if (i > 0 && buffer[i - 1] == 0xFF && IsTriggerFollower(buffer[i])) {
            --outstanding;
            buffer[i + outstanding] = 0x00;
        }
    }
    return inserted;
}

std::size_t UnsyncCountWord(std::uint32_t value)
{
    const std::array<std::uint8_t, 4> bytes{
        static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
        static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
    return UnsyncCount(bytes);
}

std::size_t UnsyncRemove(std::vector<std::uint8_t>& data)
{
    // A 0x00 is dropped when the byte before it (as stored) is 0xFF and the
    // byte after it is 0x00 or 0xE0 and above; a final 0x00 always stays.
    std::size_t out = 0;
    std::uint8_t previous = 0;
    const std::size_t size = data.size();
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t b = data[i];
        const bool dropped =
            b == 0x00 && previous == 0xFF && i + 1 < size && IsTriggerFollower(data[i + 1]);
        previous = b;
        if (!dropped) {
            data[out++] = b;
        }
    }
    const std::size_t removed = size - out;
    data.resize(out);
    return removed;
}

} // namespace varnello
