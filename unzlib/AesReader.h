#pragma once
// WinZip AES decryption for the extraction library, through libcrypto:
// PBKDF2-HMAC-SHA1 for the keys, AES in ECB mode to make the counter-mode
// keystream, HMAC-SHA1 over the encrypted data. The format is zipformat's,
// the same the Windows stub reads.

#include "WinZipAes.h"

#include <cstdint>
#include <string>

typedef struct evp_cipher_ctx_st EVP_CIPHER_CTX;
typedef struct evp_mac_ctx_st EVP_MAC_CTX;

class AesReader {
public:
    AesReader() = default;
    ~AesReader();
    AesReader(const AesReader &) = delete;
    AesReader &operator=(const AesReader &) = delete;

    enum class Start { Ready, WrongPassword, Failed };
    // Derives the keys from the password and the salt at the start of
    // `head`, and checks the 2-byte verifier that follows the salt.
    Start start(const zipformat::AesField &field, const std::string &password, const uint8_t *head);
    // Decrypts in place, adding the encrypted bytes to the HMAC first.
    bool decrypt(uint8_t *data, size_t count);
    // True when the stored 10-byte code is the HMAC of the data read.
    bool macMatches(const uint8_t *stored);

private:
    void close();
    bool refill();

    EVP_CIPHER_CTX *m_cipher = nullptr;
    EVP_MAC_CTX *m_mac = nullptr;
    zipformat::AesCounter m_counter;
    static constexpr size_t kStreamBlocks = 256;
    uint8_t m_counters[kStreamBlocks * zipformat::kAesBlock];
    uint8_t m_stream[kStreamBlocks * zipformat::kAesBlock];
    size_t m_used = sizeof m_stream;
};
