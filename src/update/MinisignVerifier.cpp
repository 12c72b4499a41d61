#include "MinisignVerifier.h"

#include "FileSystem.h"

#include <sodium.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view untrustedPrefix = "untrusted comment: ";
constexpr std::string_view trustedPrefix = "trusted comment: ";
/// The one algorithm of minisign's public keys, and the legacy one of its signatures.
constexpr std::string_view ed25519 = "Ed";
/// The algorithm of a signature over the file's BLAKE2b-512 hash.
constexpr std::string_view ed25519Hashed = "ED";
constexpr std::size_t hashBytes = crypto_generichash_BYTES_MAX; // 64: BLAKE2b-512
constexpr std::size_t pieceBytes = 1024 * 1024;

/// The bytes of the standard base64 text `text` (padding required, nothing else in it) when there are exactly
/// `size` of them.
std::optional<std::vector<unsigned char>> decodeBase64(std::string_view text, std::size_t size)
{
    std::vector<unsigned char> bytes(size + 1); // room for one more: a longer text must not pass for this one
    std::size_t length = 0;
    if (sodium_base642bin(bytes.data(), bytes.size(), text.data(), text.size(), nullptr, &length, nullptr,
                          sodium_base64_VARIANT_ORIGINAL) != 0 ||
        length != size)
        return std::nullopt;
    bytes.resize(size);
    return bytes;
}

std::string_view trimmed(std::string_view text)
{
    const auto start = text.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos)
        return {};
    return text.substr(start, text.find_last_not_of(" \t\r\n") - start + 1);
}

/// The lines of `text`, each without its CR LF or LF.
std::vector<std::string_view> linesOf(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    return lines;
}

bool sodiumReady()
{
    static const bool ready = sodium_init() >= 0;
    return ready;
}

} // namespace

struct MinisignVerifier::Parsed
{
    bool hashed = false; ///< "ED": the signature is over the file's BLAKE2b-512 hash
    std::array<unsigned char, crypto_sign_BYTES> signature{};
    std::string trustedComment;
    std::array<unsigned char, crypto_sign_BYTES> globalSignature{};
};

MinisignVerifier::MinisignVerifier(const std::string& publicKeyLine)
{
    const std::string_view line = trimmed(publicKeyLine);
    if (line.empty()) {
        m_keyProblem = "u program nije ugradjen javni kljuc za provjeru nadogradnje";
        return;
    }
    if (!sodiumReady()) {
        m_keyProblem = "biblioteka za provjeru potpisa (libsodium) se ne moze pokrenuti";
        return;
    }
    const auto key = decodeBase64(line, ed25519.size() + m_keyId.size() + m_publicKey.size());
    if (!key || std::string_view(reinterpret_cast<const char*>(key->data()), 2) != ed25519) {
        m_keyProblem = "javni kljuc ugradjen u program nije minisign kljuc";
        return;
    }
    std::copy(key->begin() + 2, key->begin() + 10, m_keyId.begin());
    std::copy(key->begin() + 10, key->end(), m_publicKey.begin());
}

std::string MinisignVerifier::keyIdText(const std::array<unsigned char, 8>& keyId)
{
    // minisign shows the id as a little-endian number, without leading zeros.
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    for (auto byte = keyId.rbegin(); byte != keyId.rend(); ++byte) {
        text += digits[*byte >> 4];
        text += digits[*byte & 0x0F];
    }
    return text.substr(std::min(text.find_first_not_of('0'), text.size() - 1));
}

Result MinisignVerifier::parse(const std::string& signature, Parsed& parsed) const
{
    if (!m_keyProblem.empty())
        return Result::failure(m_keyProblem);
    const Result malformed = Result::failure("potpis nije u obliku koji pravi minisign");
    std::vector<std::string_view> lines = linesOf(signature);
    while (!lines.empty() && lines.back().empty())
        lines.pop_back();
    if (lines.size() != 4 || !lines[0].starts_with(untrustedPrefix) || !lines[2].starts_with(trustedPrefix))
        return malformed;
    const auto signatureLine = decodeBase64(lines[1], 2 + m_keyId.size() + crypto_sign_BYTES);
    const auto globalLine = decodeBase64(lines[3], crypto_sign_BYTES);
    if (!signatureLine || !globalLine)
        return malformed;
    const std::string_view algorithm(reinterpret_cast<const char*>(signatureLine->data()), 2);
    if (algorithm != ed25519 && algorithm != ed25519Hashed)
        return malformed;
    std::array<unsigned char, 8> keyId{};
    std::copy(signatureLine->begin() + 2, signatureLine->begin() + 10, keyId.begin());
    if (keyId != m_keyId)
        return Result::failure("potpis je napravljen drugim kljucem (" + keyIdText(keyId) + "), a ne kljucem " +
                               keyIdText(m_keyId));
    parsed.hashed = algorithm == ed25519Hashed;
    std::copy(signatureLine->begin() + 10, signatureLine->end(), parsed.signature.begin());
    parsed.trustedComment = lines[2].substr(trustedPrefix.size());
    std::copy(globalLine->begin(), globalLine->end(), parsed.globalSignature.begin());
    return Result::success();
}

Result MinisignVerifier::finish(const Parsed& parsed, const unsigned char* message, std::size_t length) const
{
    if (crypto_sign_verify_detached(parsed.signature.data(), message, length, m_publicKey.data()) != 0)
        return Result::failure("potpis ne odgovara sadrzaju datoteke");
    std::vector<unsigned char> signedBytes(parsed.signature.begin(), parsed.signature.end());
    signedBytes.insert(signedBytes.end(), parsed.trustedComment.begin(), parsed.trustedComment.end());
    if (crypto_sign_verify_detached(parsed.globalSignature.data(), signedBytes.data(), signedBytes.size(),
                                    m_publicKey.data()) != 0)
        return Result::failure("pouzdani komentar potpisa je izmijenjen");
    return Result::success();
}

Result MinisignVerifier::verifyFile(const FileSystem& fileSystem, const std::string& path, const std::string& signature,
                                    std::uint64_t maxBytes) const
{
    Parsed parsed;
    if (Result parsedOk = parse(signature, parsed); !parsedOk)
        return parsedOk;
    std::string error;
    const std::unique_ptr<InputFile> file = fileSystem.openForReading(path, error);
    if (!file)
        return Result::failure("datoteka se ne moze procitati: " + error);

    crypto_generichash_state state;
    crypto_generichash_init(&state, nullptr, 0, hashBytes);
    std::string whole; // the message itself of a legacy signature
    std::vector<unsigned char> piece(pieceBytes);
    for (std::uint64_t offset = 0;;) {
        const std::optional<std::size_t> read = file->readAt(offset, piece.data(), piece.size(), error);
        if (!read)
            return Result::failure("datoteka se ne moze procitati: " + error);
        if (*read == 0)
            break;
        offset += *read;
        if (offset > maxBytes)
            return Result::failure("datoteka je duza od " + std::to_string(maxBytes) + " bajta");
        if (parsed.hashed)
            crypto_generichash_update(&state, piece.data(), *read);
        else
            whole.append(reinterpret_cast<const char*>(piece.data()), *read);
    }
    if (!parsed.hashed)
        return finish(parsed, reinterpret_cast<const unsigned char*>(whole.data()), whole.size());
    std::array<unsigned char, hashBytes> hash{};
    crypto_generichash_final(&state, hash.data(), hash.size());
    return finish(parsed, hash.data(), hash.size());
}
