#include "AesDecrypter.h"

using namespace zipformat;

WinZipAesDecrypter::~WinZipAesDecrypter()
{
    closeEntry();
    if (m_aesAlgorithm)
        BCryptCloseAlgorithmProvider(m_aesAlgorithm, 0);
    if (m_hmacAlgorithm)
        BCryptCloseAlgorithmProvider(m_hmacAlgorithm, 0);
}

bool WinZipAesDecrypter::openProviders()
{
    // Opened once for the whole run: a provider costs far more than a key.
    if (!m_hmacAlgorithm
        && !BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&m_hmacAlgorithm, BCRYPT_SHA1_ALGORITHM, nullptr,
                                                       BCRYPT_ALG_HANDLE_HMAC_FLAG))) {
        m_hmacAlgorithm = nullptr;
        return false;
    }
    if (!m_aesAlgorithm) {
        if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&m_aesAlgorithm, BCRYPT_AES_ALGORITHM, nullptr, 0))) {
            m_aesAlgorithm = nullptr;
            return false;
        }
        if (!BCRYPT_SUCCESS(BCryptSetProperty(m_aesAlgorithm, BCRYPT_CHAINING_MODE,
                                              reinterpret_cast<PUCHAR>(const_cast<wchar_t *>(BCRYPT_CHAIN_MODE_ECB)),
                                              sizeof BCRYPT_CHAIN_MODE_ECB, 0)))
            return false;
    }
    return true;
}

void WinZipAesDecrypter::closeEntry()
{
    if (m_mac)
        BCryptDestroyHash(m_mac);
    if (m_key)
        BCryptDestroyKey(m_key);
    m_mac = nullptr;
    m_key = nullptr;
}

WinZipAesDecrypter::Start WinZipAesDecrypter::start(const AesField &field, const std::string &password,
                                                    const uint8_t *head)
{
    closeEntry();
    m_counter = AesCounter();
    m_used = sizeof m_stream;
    if (!openProviders())
        return Start::Failed;
    const size_t keyLength = field.keyLength();
    uint8_t keys[2 * 32 + kAesVerifierLength];
    const ULONG derived = static_cast<ULONG>(2 * keyLength + kAesVerifierLength);
    if (!BCRYPT_SUCCESS(BCryptDeriveKeyPBKDF2(m_hmacAlgorithm,
                                              reinterpret_cast<PUCHAR>(const_cast<char *>(password.data())),
                                              static_cast<ULONG>(password.size()), const_cast<PUCHAR>(head),
                                              static_cast<ULONG>(field.saltLength()), kAesIterations, keys, derived, 0)))
        return Start::Failed;
    Start result = Start::Ready;
    if (keys[2 * keyLength] != head[field.saltLength()] || keys[2 * keyLength + 1] != head[field.saltLength() + 1])
        result = Start::WrongPassword;
    else if (!BCRYPT_SUCCESS(BCryptGenerateSymmetricKey(m_aesAlgorithm, &m_key, nullptr, 0, keys,
                                                        static_cast<ULONG>(keyLength), 0))
             || !BCRYPT_SUCCESS(BCryptCreateHash(m_hmacAlgorithm, &m_mac, nullptr, 0, keys + keyLength,
                                                 static_cast<ULONG>(keyLength), 0)))
        result = Start::Failed;
    SecureZeroMemory(keys, sizeof keys);
    if (result != Start::Ready)
        closeEntry();
    return result;
}

bool WinZipAesDecrypter::refill()
{
    m_counter.next(m_counters, kStreamBlocks);
    ULONG done = 0;
    m_used = 0;
    return BCRYPT_SUCCESS(BCryptEncrypt(m_key, m_counters, sizeof m_counters, nullptr, nullptr, 0, m_stream,
                                        sizeof m_stream, &done, 0))
        && done == sizeof m_stream;
}

bool WinZipAesDecrypter::decrypt(uint8_t *data, size_t count)
{
    if (!m_key || !BCRYPT_SUCCESS(BCryptHashData(m_mac, data, static_cast<ULONG>(count), 0)))
        return false;
    for (size_t i = 0; i < count; ++i) {
        if (m_used == sizeof m_stream && !refill())
            return false;
        data[i] ^= m_stream[m_used++];
    }
    return true;
}

bool WinZipAesDecrypter::macMatches(const uint8_t *stored)
{
    uint8_t mac[20] = {};
    const bool finished = m_mac && BCRYPT_SUCCESS(BCryptFinishHash(m_mac, mac, sizeof mac, 0));
    closeEntry();
    uint8_t difference = 0;
    for (size_t i = 0; i < kAesMacLength; ++i)
        difference |= static_cast<uint8_t>(mac[i] ^ stored[i]);
    return finished && difference == 0;
}
