#include "TFrameIndex.h"

#include "FrameFlags.h"
#include "Unsync.h"
#include "ZlibCodec.h"

#include <new>
#include <stdexcept>

namespace varnello {

namespace {

[[noreturn]] void ThrowRange()
{
    throw std::out_of_range("Array range out of bounds.");
}

std::size_t FlagIndex(int k)
{
    if (k != 1 && k != 2) {
        ThrowRange();
    }
    return static_cast<std::size_t>(k - 1);
}

bool IsIdCharacter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

} // namespace

bool TFrameIndex::MakeStoredId(std::string& id)
{
    constexpr std::size_t kIdSize = 4;
    if (id.size() != kIdSize) {
        return false;
    }
    for (char& c : id) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
        if (!IsIdCharacter(c)) {
            return false;
        }
    }
    return true;
}

std::uint32_t TFrameIndex::AddFrame(std::string_view id)
{
    FrameRecord record;
    record.Modified = true;
    record.ID = id;
    return AppendRecord(std::move(record));
}

std::uint32_t TFrameIndex::AppendRecord(FrameRecord&& record)
{
    if (!MakeStoredId(record.ID)) {
        return 0;
    }
    m_records.push_back(std::move(record));
    return Count();
}

bool TFrameIndex::DeleteFrame(std::uint32_t i)
{
    if (i == 0 || i > Count()) {
        return false;
    }
    m_records.erase(m_records.begin() + static_cast<std::ptrdiff_t>(i - 1));
    if (m_records.empty()) {
        m_records.shrink_to_fit();
    }
    return true;
}

void TFrameIndex::ClearFrames()
{
    m_records.clear();
    m_records.shrink_to_fit();
}

FrameResult TFrameIndex::CompressFrame(std::uint32_t i, std::uint8_t level)
{
    FrameRecord& record = At(i);
    const std::uint8_t stored = record.StoredFlags[1];
    if ((stored & frameflags::kUnsynchronisation) != 0) {
        return frameresult::kUnsynchronised;
    }
    if ((stored & frameflags::kEncryption) != 0) {
        return frameresult::kEncrypted;
    }
    if ((stored & frameflags::kCompression) != 0) {
        return frameresult::kNotApplicable;
    }
    try {
        std::vector<std::uint8_t> packed = CompressBuffer(record.Data, level);
        record.DataLength = static_cast<std::uint32_t>(record.Data.size());
        record.Data = std::move(packed);
    } catch (const EZLibError&) {
        return frameresult::kFailed;
    } catch (const std::bad_alloc&) {
        return frameresult::kFailed;
    }
    record.StoredFlags[1] |= frameflags::kCompression;
    record.Modified = true;
    return frameresult::kOk;
}

FrameResult TFrameIndex::DecompressFrame(std::uint32_t i)
{
    return DecompressFrame(i, kMaxDecompressedSize);
}

FrameResult TFrameIndex::DecompressFrame(std::uint32_t i, std::size_t limit)
{
    FrameRecord& record = At(i);
    const std::uint8_t stored = record.StoredFlags[1];
    if ((stored & frameflags::kUnsynchronisation) != 0) {
        return frameresult::kUnsynchronised;
    }
    if ((stored & frameflags::kEncryption) != 0) {
        return frameresult::kEncrypted;
    }
    if ((stored & frameflags::kCompression) == 0) {
        return frameresult::kNotApplicable;
    }
    std::vector<std::uint8_t> plain;
    try {
        plain = DecompressBuffer(record.Data, 0, limit);
    } catch (const EZLibError&) {
        return frameresult::kFailed;
    } catch (const std::bad_alloc&) {
        return frameresult::kFailed;
    }
    const FrameResult result =
        plain.size() == record.DataLength ? frameresult::kOk : frameresult::kLengthMismatch;
    record.DataLength = 0;
    record.Data = std::move(plain);
    record.StoredFlags[1] &= static_cast<std::uint8_t>(~frameflags::kCompression);
    record.Modified = true;
    return result;
}

FrameResult TFrameIndex::UnsyncFrame(std::uint32_t i)
{
    FrameRecord& record = At(i);
    std::uint8_t& stored = record.StoredFlags[1];
    if ((stored & frameflags::kUnsynchronisation) != 0) {
        return frameresult::kNotApplicable;
    }
    const auto size = static_cast<std::uint32_t>(record.Data.size());
    try {
        const std::size_t count = UnsyncCount(record.Data);
        record.Data.resize(record.Data.size() + count);
        UnsyncInsert(record.Data.data(), size);
    } catch (const std::bad_alloc&) {
        return frameresult::kFailed;
    } catch (const std::length_error&) {
        return frameresult::kFailed;
    }
    if ((stored & (frameflags::kCompression | frameflags::kEncryption)) == 0) {
        record.DataLength = size;
    }
    record.PlainSize = size;
    stored |= frameflags::kUnsynchronisation;
    record.Modified = true;
    return frameresult::kOk;
}

FrameResult TFrameIndex::DeunsyncFrame(std::uint32_t i)
{
    FrameRecord& record = At(i);
    std::uint8_t& stored = record.StoredFlags[1];
    if ((stored & frameflags::kUnsynchronisation) == 0) {
        return frameresult::kNotApplicable;
    }
    UnsyncRemove(record.Data);
    stored &= static_cast<std::uint8_t>(~frameflags::kUnsynchronisation);
    record.Modified = true;
    return frameresult::kOk;
}

FrameRecord& TFrameIndex::At(std::uint32_t i)
{
    if (i == 0 || i > Count()) {
        ThrowRange();
    }
    return m_records[i - 1];
}

const FrameRecord& TFrameIndex::Record(std::uint32_t i) const
{
    if (i == 0 || i > Count()) {
        ThrowRange();
    }
    return m_records[i - 1];
}

void TFrameIndex::SetData(std::uint32_t i, std::vector<std::uint8_t> data)
{
    FrameRecord& record = At(i);
    record.StoredFlags[1] &= frameflags::kGrouping;
    record.Data = std::move(data);
    record.DataLength = 0;
    record.Modified = true;
}

bool TFrameIndex::TagAlterPreservation(std::uint32_t i) const
{
    return (Record(i).Flags[0] & frameflags::kTagAlterPreservation) != 0;
}
bool TFrameIndex::FileAlterPreservation(std::uint32_t i) const
{
    return (Record(i).Flags[0] & frameflags::kFileAlterPreservation) != 0;
}
bool TFrameIndex::ReadOnly(std::uint32_t i) const
{
    return (Record(i).Flags[0] & frameflags::kReadOnly) != 0;
}
bool TFrameIndex::Grouping(std::uint32_t i) const
{
    return (Record(i).Flags[1] & frameflags::kGrouping) != 0;
}
bool TFrameIndex::Compression(std::uint32_t i) const
{
    return (Record(i).Flags[1] & frameflags::kCompression) != 0;
}
bool TFrameIndex::Encryption(std::uint32_t i) const
{
    return (Record(i).Flags[1] & frameflags::kEncryption) != 0;
}
bool TFrameIndex::Unsynchronisation(std::uint32_t i) const
{
    return (Record(i).Flags[1] & frameflags::kUnsynchronisation) != 0;
}
bool TFrameIndex::DataLengthIndicator(std::uint32_t i) const
{
    return (Record(i).Flags[1] & frameflags::kDataLengthIndicator) != 0;
}
bool TFrameIndex::StoredGrouping(std::uint32_t i) const
{
    return (Record(i).StoredFlags[1] & frameflags::kGrouping) != 0;
}
bool TFrameIndex::StoredCompression(std::uint32_t i) const
{
    return (Record(i).StoredFlags[1] & frameflags::kCompression) != 0;
}
bool TFrameIndex::StoredEncryption(std::uint32_t i) const
{
    return (Record(i).StoredFlags[1] & frameflags::kEncryption) != 0;
}
bool TFrameIndex::StoredUnsynchronisation(std::uint32_t i) const
{
    return (Record(i).StoredFlags[1] & frameflags::kUnsynchronisation) != 0;
}

std::uint8_t TFrameIndex::GetFlags(std::uint32_t i, int k) const
{
    return Record(i).Flags[FlagIndex(k)];
}

void TFrameIndex::SetFlags(std::uint32_t i, int k, std::uint8_t value)
{
    FrameRecord& record = At(i);
    record.Flags[FlagIndex(k)] = value;
    record.Modified = true;
}

std::uint8_t TFrameIndex::GetStoredFlags(std::uint32_t i, int k) const
{
    return Record(i).StoredFlags[FlagIndex(k)];
}

void TFrameIndex::SetStoredFlags(std::uint32_t i, int k, std::uint8_t value)
{
    At(i).StoredFlags[FlagIndex(k)] = value;
}

std::uint32_t TFrameIndex::GetDataLength(std::uint32_t i) const
{
    return Record(i).DataLength;
}
void TFrameIndex::SetDataLength(std::uint32_t i, std::uint32_t value)
{
    At(i).DataLength = value;
}

std::uint8_t TFrameIndex::GetEncryptionMethod(std::uint32_t i) const
{
    return Record(i).EncryptionMethod;
}

void TFrameIndex::SetEncryptionMethod(std::uint32_t i, std::uint8_t value)
{
    FrameRecord& record = At(i);
    if (record.EncryptionMethod != value) {
        record.EncryptionMethod = value;
        record.Modified = true;
    }
}

std::uint8_t TFrameIndex::GetGroupID(std::uint32_t i) const
{
    return Record(i).GroupID;
}

void TFrameIndex::SetGroupID(std::uint32_t i, std::uint8_t value)
{
    FrameRecord& record = At(i);
    if (record.GroupID != value) {
        record.GroupID = value;
        record.Modified = true;
    }
}

const std::string& TFrameIndex::ID(std::uint32_t i) const
{
    return Record(i).ID;
}
std::uint32_t TFrameIndex::GetDataOffset(std::uint32_t i) const
{
    return Record(i).DataOffset;
}
void TFrameIndex::SetDataOffset(std::uint32_t i, std::uint32_t value)
{
    At(i).DataOffset = value;
}
void TFrameIndex::SetHeaderSize(std::uint32_t i, std::uint32_t value)
{
    At(i).HeaderSize = value;
}
std::uint32_t TFrameIndex::GetPlainSize(std::uint32_t i) const
{
    return Record(i).PlainSize;
}

std::uint32_t TFrameIndex::DataSize(std::uint32_t i) const
{
    return static_cast<std::uint32_t>(Record(i).Data.size());
}

std::uint32_t TFrameIndex::Find(std::string_view id) const
{
    for (std::size_t n = 0; n < m_records.size(); ++n) {
        if (m_records[n].ID == id) {
            return static_cast<std::uint32_t>(n + 1);
        }
    }
    return 0;
}

} // namespace varnello
