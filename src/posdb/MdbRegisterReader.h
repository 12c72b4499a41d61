#pragma once

#include "RegisterReader.h"

/// Reads table `kase` of a Jet 3/4 (.mdb) file with libmdb.
class MdbRegisterReader : public RegisterReader
{
public:
    RegisterListing readRegisters(const std::string& databaseFile) const override;
};
