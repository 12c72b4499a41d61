#pragma once

#include "RegisterReader.h"

/// Hands out the registers (or the error) a test sets, and counts the reads.
class FakeRegisterReader : public RegisterReader
{
public:
    RegisterListing listing;
    mutable int reads = 0;
    mutable std::string lastFile;

    RegisterListing readRegisters(const std::string& databaseFile) const override
    {
        ++reads;
        lastFile = databaseFile;
        return listing;
    }
};
