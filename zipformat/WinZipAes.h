#pragma once
// WinZip AES encryption (AE-1, AE-2): method 99, with the real method and
// the key strength in the 0x9901 extra field. The data is a salt, a 2-byte
// password verifier, the encrypted data and a 10-byte HMAC-SHA1 of the
// encrypted data. Keys come from PBKDF2-HMAC-SHA1 (1000 iterations): the
// AES key, the HMAC key, then the verifier. AES runs in counter mode with a
// little-endian counter starting at 1.
// The crypto itself is the caller's (CNG in the stub, libcrypto on Linux):
// this holds only the format, shared so both read it alike.

#include "ZipRecords.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace zipformat {

constexpr uint16_t kAesMethod = 99;
constexpr uint16_t kAesExtraId = 0x9901;
constexpr size_t kAesVerifierLength = 2;
constexpr size_t kAesMacLength = 10;
constexpr unsigned kAesIterations = 1000;
constexpr size_t kAesBlock = 16;

struct AesField {
    uint16_t version = 0; // 1: AE-1 (CRC kept), 2: AE-2 (CRC 0, the HMAC checks)
    uint8_t strength = 0; // 1, 2, 3: AES-128, -192, -256
    uint16_t method = 0;  // the compression method under the encryption
    size_t keyLength() const { return 8u + 8u * strength; }
    size_t saltLength() const { return 4u + 4u * strength; }
    // Salt, verifier and MAC around the data.
    size_t overhead() const { return saltLength() + kAesVerifierLength + kAesMacLength; }
    // AE-2 leaves the CRC at 0; AE-1 keeps it (and so does AE-2 from tools
    // that store one anyway, which is never wrong to check).
    bool checksCrc(uint32_t storedCrc) const { return version == 1 || storedCrc != 0; }
};

// Reads the field from an extra block; false when it is missing or is
// nothing we know (another vendor, another version, another strength).
inline bool readAesField(const uint8_t *extra, size_t extraLength, AesField *out)
{
    size_t length = 0;
    const uint8_t *block = findExtraBlock(extra, extraLength, kAesExtraId, &length);
    if (!block || length < 7 || block[2] != 'A' || block[3] != 'E')
        return false;
    AesField f;
    f.version = ByteCursor::loadU16(block);
    f.strength = block[4];
    f.method = ByteCursor::loadU16(block + 5);
    if ((f.version != 1 && f.version != 2) || f.strength < 1 || f.strength > 3)
        return false;
    *out = f;
    return true;
}

// The counter-mode keystream, one run of blocks at a time: the caller
// encrypts `blocks` in place with AES in ECB mode, then xors with them.
class AesCounter {
public:
    // Writes the next `count` counter blocks into `blocks`.
    void next(uint8_t *blocks, size_t count)
    {
        for (size_t i = 0; i < count; ++i, ++m_counter) {
            uint8_t *b = blocks + i * kAesBlock;
            std::memset(b, 0, kAesBlock);
            uint64_t c = m_counter;
            for (int k = 0; k < 8; ++k, c >>= 8)
                b[k] = static_cast<uint8_t>(c);
        }
    }

private:
    uint64_t m_counter = 1;
};

} // namespace zipformat
