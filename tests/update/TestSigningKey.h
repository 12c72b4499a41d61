#pragma once

// A minisign key pair made for one test with libsodium, and signatures in minisign's format, so that no private key
// is ever kept in the repository and the same tests run on Linux and under Wine.
#include <sodium.h>

#include <array>
#include <optional>
#include <stdexcept>
#include <string>

/// What a signature says besides the signature itself.
struct SignatureForm
{
    bool hashed = true; ///< "ED", over the file's BLAKE2b-512 hash; false: "Ed", over the file itself
    /// The id written into it; the key's own when unset.
    std::optional<std::array<unsigned char, 8>> keyId = std::nullopt;
    std::string trustedComment = "timestamp:1796628198\tfile:updater.exe\thashed";
};

class TestSigningKey
{
public:
    using KeyId = std::array<unsigned char, 8>;

    TestSigningKey()
    {
        if (sodium_init() < 0)
            throw std::runtime_error("libsodium cannot start");
        crypto_sign_keypair(m_public.data(), m_secret.data());
        randombytes_buf(m_keyId.data(), m_keyId.size());
    }

    const KeyId& keyId() const { return m_keyId; }

    /// minisign's public key line: base64 of "Ed", the key id and the public key.
    std::string publicKeyLine() const { return base64("Ed" + bytes(m_keyId) + bytes(m_public)); }

    /// The text of a ".minisig" file for `content`, as `minisign -S` writes it.
    std::string sign(const std::string& content, const SignatureForm& form = SignatureForm{}) const
    {
        std::string message = content;
        if (form.hashed) {
            std::array<unsigned char, crypto_generichash_BYTES_MAX> hash{};
            crypto_generichash(hash.data(), hash.size(), data(content), content.size(), nullptr, 0);
            message = bytes(hash);
        }
        const std::string signature = signatureOf(message);
        const std::string line = (form.hashed ? "ED" : "Ed") + bytes(form.keyId.value_or(m_keyId)) + signature;
        return "untrusted comment: signature from minisign secret key\n" + base64(line) +
               "\ntrusted comment: " + form.trustedComment + "\n" +
               base64(signatureOf(signature + form.trustedComment)) + "\n";
    }

private:
    static const unsigned char* data(const std::string& text)
    {
        return reinterpret_cast<const unsigned char*>(text.data());
    }
    template <std::size_t size>
    static std::string bytes(const std::array<unsigned char, size>& array)
    {
        return std::string(array.begin(), array.end());
    }
    static std::string base64(const std::string& bytes)
    {
        std::string text(sodium_base64_ENCODED_LEN(bytes.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
        sodium_bin2base64(text.data(), text.size(), data(bytes), bytes.size(), sodium_base64_VARIANT_ORIGINAL);
        text.resize(text.size() - 1); // the terminating NUL
        return text;
    }
    /// The Ed25519 signature of `message` with the secret key.
    std::string signatureOf(const std::string& message) const
    {
        std::array<unsigned char, crypto_sign_BYTES> signature{};
        crypto_sign_detached(signature.data(), nullptr, data(message), message.size(), m_secret.data());
        return bytes(signature);
    }

    std::array<unsigned char, crypto_sign_PUBLICKEYBYTES> m_public{};
    std::array<unsigned char, crypto_sign_SECRETKEYBYTES> m_secret{};
    KeyId m_keyId{};
};
