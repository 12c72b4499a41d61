#include "ContentDigest.h"

#include <windows.h>

#include <bcrypt.h>

namespace {

/// One BCrypt hash of the algorithm `name`, ready for data.
struct BcryptHash
{
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;

    explicit BcryptHash(const wchar_t* name)
    {
        if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&algorithm, name, nullptr, 0)) ||
            !BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0)))
            hash = nullptr;
    }
    ~BcryptHash()
    {
        if (hash)
            BCryptDestroyHash(hash);
        if (algorithm)
            BCryptCloseAlgorithmProvider(algorithm, 0);
    }
    BcryptHash(const BcryptHash&) = delete;
    BcryptHash& operator=(const BcryptHash&) = delete;

    void add(const void* data, std::size_t size)
    {
        if (!hash)
            return;
        // BCryptHashData takes at most 4 GiB at once.
        auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data));
        while (size > 0) {
            const ULONG piece = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
            BCryptHashData(hash, bytes, piece, 0);
            bytes += piece;
            size -= piece;
        }
    }
};

} // namespace

struct ContentDigest::State
{
    BcryptHash sha256{BCRYPT_SHA256_ALGORITHM};
    BcryptHash md5{BCRYPT_MD5_ALGORITHM};
};

ContentDigest::ContentDigest() : m_state(std::make_unique<State>()) {}

ContentDigest::~ContentDigest() = default;

bool ContentDigest::ready() const
{
    return m_state->sha256.hash && m_state->md5.hash;
}

void ContentDigest::add(const void* data, std::size_t size)
{
    m_state->sha256.add(data, size);
    m_state->md5.add(data, size);
}

void ContentDigest::finish(Sha256& sha256, Md5& md5)
{
    sha256 = {};
    md5 = {};
    if (!ready())
        return;
    BCryptFinishHash(m_state->sha256.hash, sha256.data(), static_cast<ULONG>(sha256.size()), 0);
    BCryptFinishHash(m_state->md5.hash, md5.data(), static_cast<ULONG>(md5.size()), 0);
}
