#include "ContentDigest.h"

#include <openssl/evp.h>

struct ContentDigest::State
{
    EVP_MD_CTX* sha256 = EVP_MD_CTX_new();
    EVP_MD_CTX* md5 = EVP_MD_CTX_new();
    bool ready = false;
    ~State()
    {
        EVP_MD_CTX_free(sha256);
        EVP_MD_CTX_free(md5);
    }
};

ContentDigest::ContentDigest() : m_state(std::make_unique<State>())
{
    m_state->ready = m_state->sha256 && m_state->md5 &&
                     EVP_DigestInit_ex(m_state->sha256, EVP_sha256(), nullptr) == 1 &&
                     EVP_DigestInit_ex(m_state->md5, EVP_md5(), nullptr) == 1;
}

ContentDigest::~ContentDigest() = default;

bool ContentDigest::ready() const
{
    return m_state->ready;
}

void ContentDigest::add(const void* data, std::size_t size)
{
    if (!m_state->ready)
        return;
    EVP_DigestUpdate(m_state->sha256, data, size);
    EVP_DigestUpdate(m_state->md5, data, size);
}

void ContentDigest::finish(Sha256& sha256, Md5& md5)
{
    sha256 = {};
    md5 = {};
    if (!m_state->ready)
        return;
    unsigned int length = 0;
    EVP_DigestFinal_ex(m_state->sha256, sha256.data(), &length);
    EVP_DigestFinal_ex(m_state->md5, md5.data(), &length);
}
