#pragma once

#include "Result.h"

#include <array>
#include <cstdint>
#include <string>

class FileSystem;

/// Checks minisign signatures (the ".minisig" files that `minisign -S` writes) against one public key, with
/// libsodium's Ed25519 and BLAKE2b. A signature holds: an untrusted comment line, the algorithm with the key id and
/// the signature (base64), a trusted comment line and the global signature (base64). It is good only when its key
/// id is the key's, its signature verifies over the file (algorithm "ED": over the file's BLAKE2b-512 hash, as
/// minisign 0.11 signs by default; "Ed": over the file itself, as older versions and `-l` do), and its global
/// signature verifies over the signature and the trusted comment, so that neither can be changed on its own.
/// Failures say why in the window's language.
class MinisignVerifier
{
public:
    /// The key of minisign's public key line: the base64 line of a "minisign.pub" file ("RW..."), blanks around it
    /// ignored. An empty or malformed line gives a verifier without a key, which verifies nothing (keyProblem()).
    explicit MinisignVerifier(const std::string& publicKeyLine);

    /// Why there is no key to verify against; "" when there is one.
    const std::string& keyProblem() const { return m_keyProblem; }

    /// Checks `signature` (the whole text of a .minisig file) over the file `path`, read through `fileSystem`; a file
    /// longer than `maxBytes` fails unread past that point. A "ED" signature's file is read a piece at a time, never
    /// held whole.
    Result verifyFile(const FileSystem& fileSystem, const std::string& path, const std::string& signature,
                      std::uint64_t maxBytes) const;

    /// A key id as minisign shows it (in the comment of "minisign.pub"): hexadecimal, upper case, no leading zeros.
    static std::string keyIdText(const std::array<unsigned char, 8>& keyId);

private:
    struct Parsed;
    Result parse(const std::string& signature, Parsed& parsed) const;
    Result finish(const Parsed& parsed, const unsigned char* message, std::size_t length) const;

    std::array<unsigned char, 8> m_keyId{};
    std::array<unsigned char, 32> m_publicKey{};
    std::string m_keyProblem;
};
