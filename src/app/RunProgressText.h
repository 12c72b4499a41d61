#pragma once

#include <cstdint>
#include <string>

struct RunProgress;

/// The status lines while a run is in progress.
namespace RunProgressText {

/// First line: "Izrada rezervne kopije: " + the folder (or register) being backed up.
std::string sourceLine(const RunProgress& progress);

/// Start of the second line: "Kopirano datoteka: 12 (3,4 MB)"; the window adds the current file after it.
std::string countsLine(const RunProgress& progress);

/// A size for people: "512 B", "1,5 KB", "3,4 MB", "2,0 GB" (1024 steps, one decimal, decimal comma).
std::string formatBytes(std::uint64_t bytes);

} // namespace RunProgressText
