#pragma once
// The frame list of one tag: records indexed 1..Count, each owning the bytes
// of its frame data. Unknown frames keep their bytes untouched. Records are
// read through Record and changed only through the setters, which keep each
// record's Modified flag.

#include "FrameFlags.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace varnello {

struct FrameRecord
{
    bool Modified = false;
    std::uint32_t DataOffset =
        0; // from the end of the tag header to the byte after the frame header
    std::uint32_t PlainSize = 0;  // data size before frame unsynchronisation was applied
    std::uint32_t HeaderSize = 0; // 10 plus the bytes added by flags, as read
    std::string ID;               // four characters, upper case
    std::array<std::uint8_t, 2> StoredFlags{}; // what the data in Data is now
    std::array<std::uint8_t, 2> Flags{};       // what the frame header shall say
    std::uint32_t DataLength = 0;
    std::uint8_t EncryptionMethod = 0;
    std::uint8_t GroupID = 0;
    std::vector<std::uint8_t> Data;
};

class TFrameIndex
{
public:
    std::uint32_t Count() const { return static_cast<std::uint32_t>(m_records.size()); }

    // Turns `id` into the ID as a frame stores it, lower case made upper
    // case; false when it is not four letters or digits.
    static bool MakeStoredId(std::string& id);

    // Returns the new frame's index, or 0 when the ID is not four letters or
    // digits (lower case is accepted and stored in upper case).
    std::uint32_t AddFrame(std::string_view id);
    // Adds a frame whole, as the tag reader found it: the record is taken as
    // given, its Modified flag included, once MakeStoredId accepts its ID.
    // Returns the new frame's index, or 0.
    std::uint32_t AppendRecord(FrameRecord&& record);
    bool DeleteFrame(std::uint32_t i);
    void ClearFrames();
    // Makes room for this many frames without moving the records again.
    void Reserve(std::uint32_t count) { m_records.reserve(count); }

    // In-place transformations of frame i's data.
    FrameResult CompressFrame(std::uint32_t i, std::uint8_t level);
    FrameResult DecompressFrame(std::uint32_t i);
    // The same, refusing with frameresult::kFailed data that inflates to
    // more than `limit` bytes.
    FrameResult DecompressFrame(std::uint32_t i, std::size_t limit);
    FrameResult UnsyncFrame(std::uint32_t i);
    FrameResult DeunsyncFrame(std::uint32_t i);

    // Checked access; an index of 0 or above Count throws std::out_of_range
    // with the message "Array range out of bounds.".
    const FrameRecord& Record(std::uint32_t i) const;

    // Replaces frame i's data by plain bytes, neither compressed nor
    // unsynchronised: the stored flags keep only grouping, which does not
    // change the data, and DataLength becomes 0 so that the next save works
    // it out again. Marks Modified.
    void SetData(std::uint32_t i, std::vector<std::uint8_t> data);

    bool TagAlterPreservation(std::uint32_t i) const;
    bool FileAlterPreservation(std::uint32_t i) const;
    bool ReadOnly(std::uint32_t i) const;
    bool Grouping(std::uint32_t i) const;
    bool Compression(std::uint32_t i) const;
    bool Encryption(std::uint32_t i) const;
    bool Unsynchronisation(std::uint32_t i) const;
    bool DataLengthIndicator(std::uint32_t i) const;
    bool StoredGrouping(std::uint32_t i) const;
    bool StoredCompression(std::uint32_t i) const;
    bool StoredEncryption(std::uint32_t i) const;
    bool StoredUnsynchronisation(std::uint32_t i) const;

    // k = 1 status byte, 2 format byte; any other k throws like a bad index.
    std::uint8_t GetFlags(std::uint32_t i, int k) const;
    void SetFlags(std::uint32_t i, int k, std::uint8_t value); // marks Modified
    std::uint8_t GetStoredFlags(std::uint32_t i, int k) const;
    void SetStoredFlags(std::uint32_t i, int k, std::uint8_t value);

    std::uint32_t GetDataLength(std::uint32_t i) const;
    void SetDataLength(std::uint32_t i, std::uint32_t value);
    std::uint8_t GetEncryptionMethod(std::uint32_t i) const;
    void SetEncryptionMethod(std::uint32_t i, std::uint8_t value); // Modified when it changes
    std::uint8_t GetGroupID(std::uint32_t i) const;
    void SetGroupID(std::uint32_t i, std::uint8_t value); // Modified when it changes
    const std::string& ID(std::uint32_t i) const;
    std::uint32_t GetDataOffset(std::uint32_t i) const;
    void SetDataOffset(std::uint32_t i, std::uint32_t value);
    void SetHeaderSize(std::uint32_t i, std::uint32_t value);
    std::uint32_t GetPlainSize(std::uint32_t i) const;
    std::uint32_t DataSize(std::uint32_t i) const;

    // First frame with exactly this ID, or 0.
    std::uint32_t Find(std::string_view id) const;

private:
    // Checked like Record; for the setters and transformations, which keep
    // Modified.
    FrameRecord& At(std::uint32_t i);
    std::vector<FrameRecord> m_records;
};

} // namespace varnello
