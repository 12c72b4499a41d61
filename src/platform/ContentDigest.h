#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

/// The SHA-256 and the MD5 of a body, taken together as its bytes go by: what an object store is told of each body
/// (`x-amz-content-sha256`, `Content-MD5`) so that it can refuse bytes that changed on the way. Each platform
/// computes them with its own library (OpenSSL's libcrypto on Linux, BCrypt on Windows).
class ContentDigest
{
public:
    using Sha256 = std::array<std::uint8_t, 32>;
    using Md5 = std::array<std::uint8_t, 16>;

    ContentDigest();
    ~ContentDigest();
    ContentDigest(const ContentDigest&) = delete;
    ContentDigest& operator=(const ContentDigest&) = delete;

    /// False when this platform's library gave no SHA-256 or MD5: then nothing may be sent.
    bool ready() const;
    /// Adds `size` bytes of `data` to both.
    void add(const void* data, std::size_t size);
    /// Ends both and gives them; add() must not be called after.
    void finish(Sha256& sha256, Md5& md5);

    /// The SHA-256 of no bytes at all: what every request without a body is signed with.
    static constexpr const char* emptySha256Hex = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";

private:
    struct State;
    std::unique_ptr<State> m_state;
};
