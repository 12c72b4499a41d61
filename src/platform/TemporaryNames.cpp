#include "TemporaryNames.h"

#include "FileNames.h"

#include "Paths.h"
#include "ProcessIds.h"

#include <atomic>
#include <random>

namespace TemporaryNames {

namespace {

constexpr std::string_view marker = ".kopirko-tmp-";

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
    if (FileNames::length(name) + 1 + FileNames::length(tail) > FileNames::longest)
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
