#include "WriteCache.h"

#include <algorithm>

namespace varnello {

WriteCache::WriteCache(const SaveIo& io, SaveProgress& progress, std::size_t size)
    : m_io(io), m_progress(progress), m_size(std::max<std::size_t>(size, 1))
{
    m_buffer.reserve(m_size);
}

void WriteCache::Start(FileStream& file, std::uint64_t position)
{
    m_file = &file;
    m_position = position;
    m_buffer.clear();
}

void WriteCache::Put(std::span<const std::uint8_t> bytes)
{
    while (!bytes.empty()) {
        const std::size_t take = std::min(bytes.size(), m_size - m_buffer.size());
        m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.begin() + static_cast<long>(take));
        bytes = bytes.subspan(take);
        if (m_buffer.size() == m_size) {
            WriteOut();
        }
    }
}

void WriteCache::PutZeros(std::uint64_t count)
{
    while (count > 0) {
        const std::size_t take =
            static_cast<std::size_t>(std::min<std::uint64_t>(count, m_size - m_buffer.size()));
        m_buffer.resize(m_buffer.size() + take, 0);
        count -= take;
        if (m_buffer.size() == m_size) {
            WriteOut();
        }
    }
}

void WriteCache::Flush()
{
    if (!m_buffer.empty()) {
        WriteOut();
    }
}

void WriteCache::WriteOut()
{
    m_io.Write(*m_file, m_position, m_buffer);
    m_position += m_buffer.size();
    m_progress.Work(m_buffer.size());
    m_buffer.clear();
}

} // namespace varnello
