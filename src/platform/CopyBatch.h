#pragma once

#include "FileSystem.h"

#include <string>

/// Copies of one tree copy whose writing through to the disk is done for many files at once where the platform can
/// (one call for the whole disk instead of one per file): a copy is left whole under its temporary name, and is
/// renamed over its target by the caller only after writeThrough() succeeded, so that a name never holds a copy
/// whose data is not on the disk. Both calls may come from several threads at once.
class CopyBatch
{
public:
    virtual ~CopyBatch() = default;

    /// Copies `source` to `target` as FileSystem::copyFile does, with one difference: a copy that is to be put in
    /// place may be left whole but not yet written through under the temporary name set in `waiting` (empty when
    /// nothing waits: the copy is in place, or nothing is to be). The decision is taken here with copyFile's rules
    /// (a copy that kept changing replaces no earlier one), and the result is what copyFile would answer. The
    /// caller renames a waiting copy after a later writeThrough() succeeded, or removes it.
    virtual Result copy(const std::string& source, const std::string& target, const FileSystem::CopyCheck& check,
                        std::string& waiting) = 0;

    /// Writes through to the disk every copy left waiting before this call; the reason when that failed, and then
    /// none of those copies may be put in place (nor any left waiting later: a failure once is a failure for the
    /// rest of the batch, because the disk tells of it only once).
    virtual Result writeThrough() = 0;

    /// A writeThrough() stood still and was given up (the disk stopped answering): from now on every copy is
    /// written through on its own and none is left waiting, and a writeThrough() still to come, or waiting for the
    /// one that stands still, fails at once.
    virtual void writeEachThrough() = 0;
};
