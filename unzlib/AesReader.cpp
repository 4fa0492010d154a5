#include "AesReader.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/params.h>

using namespace zipformat;

AesReader::~AesReader()
{
    close();
}

void AesReader::close()
{
    EVP_CIPHER_CTX_free(m_cipher);
    EVP_MAC_CTX_free(m_mac);
    m_cipher = nullptr;
    m_mac = nullptr;
}

AesReader::Start AesReader::start(const AesField &field, const std::string &password, const uint8_t *head)
{
    close();
    m_counter = AesCounter();
    m_used = sizeof m_stream;
    const size_t keyLength = field.keyLength();
    const size_t saltLength = field.saltLength();
    uint8_t keys[2 * 32 + kAesVerifierLength];
    const size_t derived = 2 * keyLength + kAesVerifierLength;
    if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), head, static_cast<int>(saltLength),
                          kAesIterations, EVP_sha1(), static_cast<int>(derived), keys)
        != 1)
        return Start::Failed;
    Start result = Start::Ready;
    const EVP_CIPHER *cipher = keyLength == 16 ? EVP_aes_128_ecb() : keyLength == 24 ? EVP_aes_192_ecb() : EVP_aes_256_ecb();
    EVP_MAC *hmac = nullptr;
    OSSL_PARAM digest[] = {OSSL_PARAM_construct_utf8_string("digest", const_cast<char *>("SHA1"), 0),
                           OSSL_PARAM_construct_end()};
    if (keys[2 * keyLength] != head[saltLength] || keys[2 * keyLength + 1] != head[saltLength + 1]) {
        result = Start::WrongPassword;
    } else if (!(m_cipher = EVP_CIPHER_CTX_new()) || EVP_EncryptInit_ex(m_cipher, cipher, nullptr, keys, nullptr) != 1
               || EVP_CIPHER_CTX_set_padding(m_cipher, 0) != 1 || !(hmac = EVP_MAC_fetch(nullptr, "HMAC", nullptr))
               || !(m_mac = EVP_MAC_CTX_new(hmac)) || EVP_MAC_init(m_mac, keys + keyLength, keyLength, digest) != 1) {
        result = Start::Failed;
    }
    EVP_MAC_free(hmac);
    OPENSSL_cleanse(keys, sizeof keys);
    if (result != Start::Ready)
        close();
    return result;
}

bool AesReader::refill()
{
    m_counter.next(m_counters, kStreamBlocks);
    int done = 0;
    m_used = 0;
    return EVP_EncryptUpdate(m_cipher, m_stream, &done, m_counters, sizeof m_counters) == 1
        && done == static_cast<int>(sizeof m_stream);
}

bool AesReader::decrypt(uint8_t *data, size_t count)
{
    if (!m_cipher || EVP_MAC_update(m_mac, data, count) != 1)
        return false;
    for (size_t i = 0; i < count; ++i) {
        if (m_used == sizeof m_stream && !refill())
            return false;
        data[i] ^= m_stream[m_used++];
    }
    return true;
}

bool AesReader::macMatches(const uint8_t *stored)
{
    uint8_t mac[EVP_MAX_MD_SIZE] = {};
    size_t length = 0;
    const bool finished = m_mac && EVP_MAC_final(m_mac, mac, &length, sizeof mac) == 1 && length >= kAesMacLength;
    close();
    return finished && CRYPTO_memcmp(mac, stored, kAesMacLength) == 0;
}
