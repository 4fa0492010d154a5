#pragma once
// WinZip AES decryption for the stub through Windows' own cryptography
// (CNG): PBKDF2 with HMAC-SHA1 for the keys, AES in ECB mode to make the
// counter-mode keystream, HMAC-SHA1 over the encrypted data.

#include "WinZipAes.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstdint>
#include <string>

class WinZipAesDecrypter {
public:
    WinZipAesDecrypter() = default;
    ~WinZipAesDecrypter();
    WinZipAesDecrypter(const WinZipAesDecrypter &) = delete;
    WinZipAesDecrypter &operator=(const WinZipAesDecrypter &) = delete;

    enum class Start { Ready, WrongPassword, Failed };
    // Derives the keys from the password and the entry's salt and checks
    // the 2-byte verifier that follows the salt in `head`.
    Start start(const zipformat::AesField &field, const std::string &password, const uint8_t *head);
    // Decrypts in place, adding the encrypted bytes to the HMAC first.
    bool decrypt(uint8_t *data, size_t count);
    // True when the stored 10-byte code is the HMAC of the data read.
    bool macMatches(const uint8_t *stored);

private:
    bool openProviders();
    void closeEntry();
    bool refill();

    BCRYPT_ALG_HANDLE m_hmacAlgorithm = nullptr;
    BCRYPT_ALG_HANDLE m_aesAlgorithm = nullptr;
    BCRYPT_KEY_HANDLE m_key = nullptr;
    BCRYPT_HASH_HANDLE m_mac = nullptr;
    zipformat::AesCounter m_counter;
    static constexpr size_t kStreamBlocks = 512;
    uint8_t m_counters[kStreamBlocks * zipformat::kAesBlock];
    uint8_t m_stream[kStreamBlocks * zipformat::kAesBlock];
    size_t m_used = sizeof m_stream;
};
