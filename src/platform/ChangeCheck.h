#pragma once

#include "FileSystem.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

/// One reading of a source into a temporary file, as a platform's copyFile makes it.
struct CopyPass
{
    Result result = Result::success(); ///< read to the end, written and written through to the disk
    std::optional<FileStat> before;    ///< the source as it was opened
    std::optional<FileStat> after;     ///< the source after its last byte was read
    std::uint64_t bytes = 0;           ///< bytes written
};

/// What a platform's copyFile gives the rules below.
struct CopySteps
{
    /// Copies the source into the new file `temporary`; the file may be left behind on failure.
    std::function<CopyPass(const std::string& temporary)> pass;
    /// Whether anything is at the target now (an earlier copy).
    std::function<bool()> targetExists;
    /// Renames `temporary` over the target, durably where the platform can.
    std::function<Result(const std::string& temporary)> putInPlace;
    /// Removes `temporary`, quietly.
    std::function<void(const std::string& temporary)> discard;
};

/// The rules every platform's copyFile follows for a source that changes while it is read (a database its
/// program writes to, a log that grows, a file cut short): a copy is put in place when the source's size and
/// modification time were the same before and after the reading. Otherwise it is read once more; when it changed
/// again, its copy is neither version of the file, so it replaces no earlier copy (the earlier one is kept), and
/// where there was none it is put in place all the same; either way the result is a failure that says so. A pass
/// that failed while the source changed counts as a change. `check` (may be empty) is asked once more before
/// anything is put in place; on false nothing is.
Result copyWithChangeCheck(const std::string& source, const std::string& target, const CopySteps& steps,
                           const FileSystem::CopyCheck& check);

/// The reasons copyWithChangeCheck gives for a file that kept changing.
namespace ChangeCheckTexts {
inline constexpr const char* changedKept = "datoteka se mijenjala tokom kopiranja, kopija mozda nije ispravna";
inline constexpr const char* changedEarlierKept = "datoteka se mijenjala tokom kopiranja, zadrzana je ranija kopija";
} // namespace ChangeCheckTexts

/// True when both are known and equal: the file stood still between the two looks.
bool sameFileState(const std::optional<FileStat>& before, const std::optional<FileStat>& after);
