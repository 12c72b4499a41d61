#pragma once

#include "SecretProtector.h"

/// Linux keeps the secret as it is and makes the settings file readable and writable by its owner only (mode
/// 0600), which every later replacement of the file keeps.
class OwnerOnlySecretProtector : public SecretProtector
{
public:
    Result protect(const std::string& secret, std::string& stored) const override;
    Result reveal(const std::string& stored, std::string& secret) const override;
    Result guardFile(const std::string& file) const override;
};
