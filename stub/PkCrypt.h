#pragma once
// Traditional PKWARE encryption (APPNOTE 6.1): the three-key stream cipher.

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <string>

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
    void decrypt(uint8_t *data, size_t count)
    {
        for (size_t i = 0; i < count; ++i) {
            const uint16_t t = static_cast<uint16_t>(m_keys[2] | 2);
            data[i] ^= static_cast<uint8_t>((t * (t ^ 1)) >> 8);
            update(data[i]);
        }
    }

private:
    static uint32_t crcByte(uint32_t crc, uint8_t b)
    {
        static const auto *table = get_crc_table();
        return static_cast<uint32_t>(table[(crc ^ b) & 0xFF]) ^ (crc >> 8);
    }
    void update(uint8_t c)
    {
        m_keys[0] = crcByte(m_keys[0], c);
        m_keys[1] = (m_keys[1] + (m_keys[0] & 0xFF)) * 134775813u + 1;
        m_keys[2] = crcByte(m_keys[2], static_cast<uint8_t>(m_keys[1] >> 24));
    }

    uint32_t m_keys[3] = {0x12345678u, 0x23456789u, 0x34567890u};
};
