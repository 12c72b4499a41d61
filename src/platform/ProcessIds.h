#pragma once

#include <cstdint>

/// Process numbers, by which a run's temporary files are known as its own.
namespace ProcessIds {

/// The number of this process.
std::uint64_t current();

/// True while a process of that number runs on this computer, and when that cannot be told (it then may); false
/// only for a number no process has now.
bool running(std::uint64_t pid);

} // namespace ProcessIds
