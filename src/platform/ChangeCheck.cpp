#include "ChangeCheck.h"

#include "TemporaryNames.h"

bool sameFileState(const std::optional<FileStat>& before, const std::optional<FileStat>& after)
{
    return before && after && before->size == after->size && before->modifiedNs == after->modifiedNs;
}

Result copyWithChangeCheck(const std::string& source, const std::string& target, const CopySteps& steps,
                           const FileSystem::CopyCheck& check)
{
    constexpr int attempts = 2;
    for (int attempt = 1;; ++attempt) {
        const std::string temporary = TemporaryNames::beside(target);
        const CopyPass pass = steps.pass(temporary);
        const bool changed = pass.before && !sameFileState(pass.before, pass.after);
        const bool mayGoOn = !check || check(pass.bytes);
        if (!pass.result || !mayGoOn || (changed && attempt < attempts)) {
            steps.discard(temporary);
            if (mayGoOn && changed && attempt < attempts)
                continue;
            return pass.result ? Result::failure("\"" + source + "\": the copy was stopped") : pass.result;
        }
        if (changed && steps.targetExists()) {
            steps.discard(temporary);
            return Result::failure("\"" + source + "\": " + ChangeCheckTexts::changedEarlierKept);
        }
        if (Result placed = steps.putInPlace(temporary); !placed) {
            steps.discard(temporary);
            return placed;
        }
        if (changed)
            return Result::failure("\"" + source + "\": " + ChangeCheckTexts::changedKept);
        return Result::success();
    }
}
