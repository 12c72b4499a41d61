#pragma once

#include "Result.h"

#include <cstdint>
#include <string>
#include <vector>

class FileSystem;
class ZipArchiveWriter;

/// Copies from the archive `path` (an earlier archive of the day, read through `fileSystem`) into `writer` every
/// entry that lies under one of `topNames` (the entry "<top>/" and every name that begins with it), as it is
/// stored there: nothing is unpacked and packed again, so what was archived earlier comes over bit for bit.
/// `copied[k]` counts the entries of `topNames[k]`. A failure when the archive cannot be read whole; `writer` is
/// then of no more use.
Result copyEntriesUnder(const FileSystem& fileSystem, const std::string& path, const std::vector<std::string>& topNames,
                        ZipArchiveWriter& writer, std::vector<std::uint64_t>& copied);
