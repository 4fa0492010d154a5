#pragma once
// Bounds-checked little-endian reader over a byte range. A read past the end
// sets a sticky error flag and yields zeros, so a group of reads can be
// checked once at the end instead of after every field.

#include <cstddef>
#include <cstdint>

namespace zipformat {

class ByteCursor {
public:
    ByteCursor(const void *data, size_t size)
        : m_data(static_cast<const uint8_t *>(data)), m_size(size) {}

    bool ok() const { return m_ok; }
    size_t position() const { return m_pos; }
    size_t remaining() const { return m_ok ? m_size - m_pos : 0; }

    uint8_t u8() { const uint8_t *p = take(1); return p ? p[0] : 0; }
    uint16_t u16() { const uint8_t *p = take(2); return p ? loadU16(p) : 0; }
    uint32_t u32() { const uint8_t *p = take(4); return p ? loadU32(p) : 0; }
    uint64_t u64() { const uint8_t *p = take(8); return p ? loadU64(p) : 0; }

    // Returns a pointer to the next n bytes, or nullptr (and the error flag)
    // when fewer remain.
    const uint8_t *take(size_t n)
    {
        if (!m_ok || n > m_size - m_pos) {
            m_ok = false;
            return nullptr;
        }
        const uint8_t *p = m_data + m_pos;
        m_pos += n;
        return p;
    }
    void skip(size_t n) { take(n); }

    static uint16_t loadU16(const uint8_t *p)
    {
        return static_cast<uint16_t>(p[0] | (p[1] << 8));
    }
    static uint32_t loadU32(const uint8_t *p)
    {
        return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8)
            | (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
    }
    static uint64_t loadU64(const uint8_t *p)
    {
        return static_cast<uint64_t>(loadU32(p)) | (static_cast<uint64_t>(loadU32(p + 4)) << 32);
    }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_pos = 0;
    bool m_ok = true;
};

// Little-endian writer into a caller-provided buffer of known size; like the
// reader, an overflow sets a sticky flag and writes nothing further.
class ByteWriter {
public:
    ByteWriter(void *data, size_t size) : m_data(static_cast<uint8_t *>(data)), m_size(size) {}

    bool ok() const { return m_ok; }
    size_t position() const { return m_pos; }

    void u8(uint8_t v) { put(&v, 1); }
    void u16(uint16_t v) { uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)}; put(b, 2); }
    void u32(uint32_t v)
    {
        uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
        put(b, 4);
    }
    void u64(uint64_t v) { u32(uint32_t(v)); u32(uint32_t(v >> 32)); }
    void bytes(const void *src, size_t n) { put(static_cast<const uint8_t *>(src), n); }

private:
    void put(const uint8_t *src, size_t n)
    {
        if (!m_ok || n > m_size - m_pos) {
            m_ok = false;
            return;
        }
        for (size_t i = 0; i < n; ++i)
            m_data[m_pos + i] = src[i];
        m_pos += n;
    }

    uint8_t *m_data;
    size_t m_size;
    size_t m_pos = 0;
    bool m_ok = true;
};

} // namespace zipformat
