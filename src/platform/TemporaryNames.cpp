#include "TemporaryNames.h"

#include "Paths.h"
#include "ProcessIds.h"

#include <atomic>
#include <random>

namespace TemporaryNames {

namespace {

constexpr std::string_view marker = ".kopirko-tmp-";

/// The longest name a file may have: 255 bytes on the disks of Linux, 255 UTF-16 units on Windows' (NTFS, FAT, exFAT).
constexpr std::size_t nameLimit = 255;

/// The length of `name` (UTF-8) in the units the name limit counts.
std::size_t nameLength(std::string_view name)
{
#ifdef _WIN32
    std::size_t units = 0;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0) != 0x80)
            ++units; // each character's first byte
        if ((byte & 0xF8) == 0xF0)
            ++units; // a character beyond U+FFFF takes two
    }
    return units;
#else
    return name.size();
#endif
}

bool allDigits(std::string_view text)
{
    return !text.empty() && text.size() <= 19 && text.find_first_not_of("0123456789") == std::string_view::npos;
}

} // namespace

std::string beside(const std::string& target)
{
    // Numbers start anywhere: a process of the same number before this one (numbers are used again, soon on
    // Windows) may have left a file behind that this one must not run into.
    static std::atomic<std::uint64_t> counter{std::random_device{}()};
    const std::string name = Paths::lastComponent(target);
    const std::string tail =
        std::string(marker) + std::to_string(ProcessIds::current()) + "-" + std::to_string(++counter);
    const std::string folder = target.substr(0, target.size() - name.size());
    // A name near the limit leaves no room for the tail: the temporary file goes by the tail alone, which the
    // clean-up of leftovers knows as well, so that every name the disk takes can be backed up.
    if (nameLength(name) + 1 + nameLength(tail) > nameLimit)
        return folder + tail;
    return folder + "." + name + tail;
}

std::optional<std::uint64_t> writerOf(const std::string& name)
{
    const auto at = name.rfind(marker);
    if (name.empty() || name[0] != '.' || at == std::string::npos)
        return std::nullopt;
    const std::string_view tail = std::string_view(name).substr(at + marker.size());
    const auto dash = tail.find('-');
    if (dash == std::string_view::npos || !allDigits(tail.substr(0, dash)) || !allDigits(tail.substr(dash + 1)))
        return std::nullopt;
    return std::stoull(std::string(tail.substr(0, dash)));
}

} // namespace TemporaryNames
