#include "LibraryRequest.h"

#include <cstring>

LibraryRequest::LibraryRequest(int fixedSize) : m_fixedSize(fixedSize), m_bytes(fixedSize, '\0')
{
}

void LibraryRequest::setU16(int offset, uint16_t value)
{
    m_bytes[offset] = static_cast<char>(value & 0xFF);
    m_bytes[offset + 1] = static_cast<char>(value >> 8);
}

void LibraryRequest::setU32(int offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        m_bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

uint32_t LibraryRequest::u32(int offset) const
{
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(m_bytes[offset + i]);
    return value;
}

uint32_t LibraryRequest::appendZeros(int count)
{
    // Every target starts on an 8-byte boundary, as native data would.
    while (m_bytes.size() % 8)
        m_bytes.append('\0');
    const auto offset = static_cast<uint32_t>(m_bytes.size());
    m_bytes.append(QByteArray(count, '\0'));
    return offset;
}

uint32_t LibraryRequest::appendText(const QByteArray &text, int minimumSize)
{
    const uint32_t offset = appendZeros(qMax(minimumSize, static_cast<int>(text.size()) + 1));
    std::memcpy(m_bytes.data() + offset, text.constData(), static_cast<size_t>(text.size()));
    return offset;
}

uint32_t LibraryRequest::appendPointer(const void *pointer)
{
    const uint32_t offset = appendZeros(sizeof pointer);
    std::memcpy(m_bytes.data() + offset, &pointer, sizeof pointer);
    return offset;
}

QByteArray LibraryRequest::textAt(const void *block, uint32_t offset)
{
    if (offset == 0)
        return QByteArray();
    return QByteArray(static_cast<const char *>(block) + offset);
}

void *LibraryRequest::pointerAt(const void *block, uint32_t offset)
{
    if (offset == 0)
        return nullptr;
    void *pointer = nullptr;
    std::memcpy(&pointer, static_cast<const char *>(block) + offset, sizeof pointer);
    return pointer;
}
