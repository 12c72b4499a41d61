#pragma once

#include <cstdint>
#include <optional>
#include <string>

/// Names of the temporary files the program writes beside what it puts in place: ".<name>.kopirko-tmp-<process>-<n>"
/// (hidden on Linux, and sorted beside their file). The process number tells a leftover of a run that was cut off
/// (its process is gone) from a file another run is writing now.
namespace TemporaryNames {

/// A name beside `target` (a path) that no other write of any process uses. When ".<name>" and the tail would not
/// fit the longest name a file may have (255 bytes on Linux, 255 UTF-16 units on Windows), it is the tail alone:
/// ".kopirko-tmp-<process>-<n>".
std::string beside(const std::string& target);

/// The process that writes or wrote the temporary file called `name` (a last component); nothing when the name is
/// none of ours.
std::optional<std::uint64_t> writerOf(const std::string& name);

} // namespace TemporaryNames
