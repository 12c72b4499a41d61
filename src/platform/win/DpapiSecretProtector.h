#pragma once

#include "SecretProtector.h"

/// Windows keeps the secret encrypted for the current user (CryptProtectData, DPAPI) and stores the encrypted
/// bytes as base64: only the same user on the same computer can read it back.
class DpapiSecretProtector : public SecretProtector
{
public:
    Result protect(const std::string& secret, std::string& stored) const override;
    Result reveal(const std::string& stored, std::string& secret) const override;
    /// Nothing to do: the stored text alone keeps the secret.
    Result guardFile(const std::string& file) const override;
};
