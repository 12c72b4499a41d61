#pragma once

#include <optional>
#include <string>

/// Base64 with the standard alphabet and "=" padding (RFC 4648), as MIME and the stored protected secrets use it.
namespace Base64 {

std::string encode(const std::string& bytes);
/// The bytes of `text`; nothing when it is not base64 (another character, a wrong length or padding).
std::optional<std::string> decode(const std::string& text);

} // namespace Base64
