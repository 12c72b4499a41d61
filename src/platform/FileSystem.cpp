#include "FileSystem.h"

#include "OneByOneCopyBatch.h"

std::unique_ptr<CopyBatch> FileSystem::startCopyBatch(const std::string&)
{
    return std::make_unique<OneByOneCopyBatch>(*this);
}
