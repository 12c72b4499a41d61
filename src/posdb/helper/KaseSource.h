#pragma once

#include "KaseReadResult.h"

#include <string>

/// Reads the columns `id`, `oznakakase` and `putanjadobazakasa` of every row of table `kase` of the Access
/// (Jet 3/4, .mdb) file `databaseFile` (UTF-8 path), only reading it: with libmdb on Linux, through ODBC and
/// the Access driver on Windows. A null value reads as "". Never throws; every failure is the result's
/// problem. A damaged file may still crash the reading library: that is why this runs in a program of its own.
KaseReadResult readKaseTable(const std::string& databaseFile);
