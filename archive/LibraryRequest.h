#pragma once
// The request block handed to the compression libraries: a zero-filled fixed
// part with the little-endian layout of a 32-bit process, followed by what
// its pointer fields point to (texts, file-pattern slots, the callback's
// address). A 64-bit process cannot put its pointers into 4-byte fields, so
// each pointer field holds the 32-bit offset of its target from the start of
// the block; 0 means "no pointer". Flags are 32-bit: -1 true, 0 false.

#include <QByteArray>

#include <cstdint>

class LibraryRequest {
public:
    explicit LibraryRequest(int fixedSize);

    int fixedSize() const { return m_fixedSize; }
    const QByteArray &bytes() const { return m_bytes; }
    QByteArray &bytes() { return m_bytes; }

    void setU16(int offset, uint16_t value);
    void setU32(int offset, uint32_t value);
    void setFlag(int offset, bool value) { setU32(offset, value ? 0xFFFFFFFFu : 0u); }
    uint32_t u32(int offset) const;

    // Appends a NUL-terminated copy of the text, at least minimumSize bytes,
    // and returns its offset.
    uint32_t appendText(const QByteArray &text, int minimumSize = 0);
    // Appends count zero bytes and returns their offset.
    uint32_t appendZeros(int count);
    // Appends a native pointer (8 bytes here) and returns its offset.
    uint32_t appendPointer(const void *pointer);

    // Reads what the libraries receive: a text or a pointer at an offset.
    static QByteArray textAt(const void *block, uint32_t offset);
    static void *pointerAt(const void *block, uint32_t offset);

private:
    int m_fixedSize;
    QByteArray m_bytes;
};
