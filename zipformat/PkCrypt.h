#pragma once
// Traditional PKWARE encryption (APPNOTE 6.1): the three-key stream cipher.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace zipformat {

class PkCrypt {
public:
    explicit PkCrypt(const std::string &password)
    {
        for (unsigned char c : password)
            update(c);
    }
    // Decrypts the 12-byte encryption header; true when its check byte
    // matches (the password is most likely right).
    bool acceptHeader(uint8_t *header, uint8_t check)
    {
        decrypt(header, 12);
        return header[11] == check;
    }
    void encrypt(uint8_t *data, size_t count)
    {
        for (size_t i = 0; i < count; ++i) {
            const uint8_t plain = data[i];
            data[i] ^= streamByte();
            update(plain);
        }
    }
    void decrypt(uint8_t *data, size_t count)
    {
        for (size_t i = 0; i < count; ++i) {
            data[i] ^= streamByte();
            update(data[i]);
        }
    }

private:
    uint8_t streamByte() const
    {
        const uint32_t t = (m_keys[2] | 2) & 0xFFFF; // 32-bit: the product does not fit an int
        return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
    }
    // One step of the ZIP CRC-32 (reflected polynomial 0xEDB88320).
    static uint32_t crcByte(uint32_t crc, uint8_t b)
    {
        static const std::array<uint32_t, 256> table = [] {
            std::array<uint32_t, 256> t {};
            for (uint32_t n = 0; n < 256; ++n) {
                uint32_t c = n;
                for (int k = 0; k < 8; ++k)
                    c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
                t[n] = c;
            }
            return t;
        }();
        return table[(crc ^ b) & 0xFF] ^ (crc >> 8);
    }
    void update(uint8_t c)
    {
        m_keys[0] = crcByte(m_keys[0], c);
        m_keys[1] = (m_keys[1] + (m_keys[0] & 0xFF)) * 134775813u + 1;
        m_keys[2] = crcByte(m_keys[2], static_cast<uint8_t>(m_keys[1] >> 24));
    }

    uint32_t m_keys[3] = {0x12345678u, 0x23456789u, 0x34567890u};
};

} // namespace zipformat
