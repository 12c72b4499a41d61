#pragma once

#include <string>
#include <vector>

/// One row of the server database's table `kase`, as stored. Texts are UTF-8; a null value reads as "".
struct CashRegister
{
    std::string id;           ///< `id` as text ("" when null); the order of the registers
    std::string label;        ///< `oznakakase`: names the register's backup folder and its entry in reports
    std::string databasePath; ///< `putanjadobazakasa`: full path of the register's database file
};

/// The registers of a server database, or why they could not be read.
struct RegisterListing
{
    std::vector<CashRegister> registers; ///< in the order the table stores them
    std::string error;                   ///< empty when the table was read; one line for the user otherwise

    bool ok() const { return error.empty(); }
};

/// Reads the cash registers out of the point-of-sale server database. The file is only read, never changed.
class RegisterReader
{
public:
    virtual ~RegisterReader() = default;
    /// The rows of table `kase` with the columns `id`, `oznakakase` and `putanjadobazakasa`. A file that
    /// cannot be opened, is damaged, has no table `kase` or lacks one of the columns gives an error.
    virtual RegisterListing readRegisters(const std::string& databaseFile) const = 0;
};
