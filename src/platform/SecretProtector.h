#pragma once

#include "Result.h"

#include <string>

/// Keeps a secret (the mail password) from being read by others where it is stored in the settings file.
class SecretProtector
{
public:
    virtual ~SecretProtector() = default;

    /// The text to store for `secret`: one line of printable ASCII or the secret itself, as the platform keeps it.
    /// A failure says why the secret cannot be protected (nothing is to be stored then).
    virtual Result protect(const std::string& secret, std::string& stored) const = 0;

    /// The secret from the text protect() gave here; a failure for a text that cannot be read back (written by
    /// another user or computer, damaged).
    virtual Result reveal(const std::string& stored, std::string& secret) const = 0;

    /// Called after a protected text was written into `file`: makes the file readable by its owner only where the
    /// text alone does not keep the secret. A failure says why.
    virtual Result guardFile(const std::string& file) const = 0;
};
