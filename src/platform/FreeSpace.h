#pragma once

#include <cstdint>
#include <optional>
#include <string>

/// The bytes this user can still write to the disk that holds `folder`; nothing when the folder cannot be reached.
std::optional<std::uint64_t> freeSpaceOf(const std::string& folder);
