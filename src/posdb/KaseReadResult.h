#pragma once

#include "RegisterReader.h"

#include <optional>
#include <string>
#include <vector>

/// Why the rows of table `kase` could not be given.
struct KaseProblem
{
    enum class Kind {
        CannotOpen,  ///< the file is missing, cannot be read or is no Access database
        Damaged,     ///< the file is an Access database, but its structure does not hold together
        NoTable,     ///< there is no table `kase`
        NoColumn,    ///< `kase` lacks columns; `detail` names them, separated by ", "
        NoDriver,    ///< no ODBC driver for .mdb files is installed; `detail` names the drivers tried
        DriverError, ///< the ODBC driver refused the reading; `detail` is its message
    };
    Kind kind = Kind::Damaged;
    std::string detail; ///< one line for the user, in the program's language or the driver's; may be empty
};

/// What the register reader program found in table `kase`: all its rows, or the problem.
struct KaseReadResult
{
    std::vector<CashRegister> rows; ///< in the order the table stores them
    std::optional<KaseProblem> problem;
};
