#pragma once

#include <string>

/// True for a plain computer name or address, as it may be handed to a network command: 1 to 255 characters,
/// only ASCII letters, digits, ".", "-", "_" and ":" (IPv6 addresses), not beginning with "-" or ".". Anything
/// else (blanks, quotes, control characters, path or shell characters) is refused, so that a name can never
/// be taken for an option or split into several arguments.
bool isPlainHostName(const std::string& name);
