#pragma once
// The options block between the extractor stub and the archive of a
// self-extracting executable. Written in the "MPV" form; the older "MPU"
// form (no message text, three length bytes up front) is read too.
//
//   "MPV" flags 0 1 H(2)  len caption  len folder  len command  len message  0..3 zeros
//
// H, the block's length, is 12 + the four text lengths raised to a multiple
// of 4. Texts are stored as bytes without a terminating zero, at most 255 each.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zipformat {

struct SfxHeader {
    enum Flag : uint8_t {
        AskCmdLine = 0x01,
        AskFiles = 0x02,
        HideOverwriteBox = 0x04,
        OverwriteAlways = 0x08,
        OverwriteNever = 0x10,
        NoCheckSize = 0x20,
        AutoRun = 0x40,
        NoSuccessMsg = 0x80, // "MPV" only
    };
    static constexpr size_t kMaxText = 255;
    static constexpr size_t kLargestSize = 1032;

    uint8_t flags = 0;
    std::string caption;
    std::string defaultDir;
    std::string commandLine;
    std::string message;
    bool oldForm = false; // read from an "MPU" block: no message, bit 7 meaningless

    static size_t sizeFor(size_t textBytes) { return (12 + textBytes + 3) / 4 * 4; }
    size_t size() const { return sizeFor(caption.size() + defaultDir.size() + commandLine.size() + message.size()); }
    bool textsFit() const
    {
        return caption.size() <= kMaxText && defaultDir.size() <= kMaxText && commandLine.size() <= kMaxText
            && message.size() <= kMaxText;
    }

    // The "MPV" block; empty when a text is longer than 255 bytes.
    std::vector<uint8_t> write() const
    {
        if (!textsFit())
            return {};
        std::vector<uint8_t> block(size(), 0);
        block[0] = 'M';
        block[1] = 'P';
        block[2] = 'V';
        block[3] = flags;
        block[4] = 0;
        block[5] = 1;
        block[6] = static_cast<uint8_t>(block.size() & 0xFF);
        block[7] = static_cast<uint8_t>(block.size() >> 8);
        size_t at = 8;
        for (const std::string *text : {&caption, &defaultDir, &commandLine, &message}) {
            block[at++] = static_cast<uint8_t>(text->size());
            for (char c : *text)
                block[at++] = static_cast<uint8_t>(c);
        }
        return block;
    }

    // Finds the first block signature in bytes[0, size) and reads it. Texts
    // that run past the end are cut there.
    static std::optional<SfxHeader> find(const uint8_t *bytes, size_t size, size_t *foundAt = nullptr)
    {
        for (size_t i = 0; i + 3 <= size; ++i) {
            if (bytes[i] != 'M' || bytes[i + 1] != 'P' || (bytes[i + 2] != 'U' && bytes[i + 2] != 'V'))
                continue;
            if (foundAt)
                *foundAt = i;
            return parseAt(bytes + i, size - i);
        }
        return std::nullopt;
    }

private:
    static std::optional<SfxHeader> parseAt(const uint8_t *p, size_t size)
    {
        SfxHeader h;
        h.oldForm = p[2] == 'U';
        h.flags = size > 3 ? p[3] : 0;
        const auto text = [&](size_t from, size_t length) {
            if (from >= size)
                return std::string();
            const size_t n = length < size - from ? length : size - from;
            return std::string(reinterpret_cast<const char *>(p + from), n);
        };
        const auto byteAt = [&](size_t at) -> size_t { return at < size ? p[at] : 0; };
        if (h.oldForm) {
            h.flags &= 0x7F;
            const size_t c1 = byteAt(4), c2 = byteAt(5), c3 = byteAt(6);
            h.caption = text(7, c1);
            h.defaultDir = text(7 + c1, c2);
            h.commandLine = text(7 + c1 + c2, c3);
            return h;
        }
        size_t at = 8;
        for (std::string *field : {&h.caption, &h.defaultDir, &h.commandLine, &h.message}) {
            const size_t length = byteAt(at);
            *field = text(at + 1, length);
            at += 1 + length;
        }
        return h;
    }
};

} // namespace zipformat
