#pragma once

#include "Result.h"

#include <string>

class FileSystem;

/// Copies one file (temporary name, then rename, modification time kept) and makes sure the source stood
/// still meanwhile: a database that its program writes to while we read it gives a copy that may not open.
/// When size or modification time differ before and after, the copy is made once more; when they differ
/// again, the (last) copy stays in place and the result is a failure that says so.
Result copyFileChecked(FileSystem& fileSystem, const std::string& source, const std::string& target);

/// The reason copyFileChecked gives for a file that kept changing.
inline constexpr const char* changedDuringCopy = "datoteka se mijenjala tokom kopiranja, kopija mozda nije ispravna";
