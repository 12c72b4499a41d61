#pragma once

#include "CopyBatch.h"

/// The batch of a platform that writes each copy through on its own: every copy is put in place at once.
class OneByOneCopyBatch : public CopyBatch
{
public:
    explicit OneByOneCopyBatch(FileSystem& fileSystem) : m_fileSystem(fileSystem) {}

    Result copy(const std::string& source, const std::string& target, const FileSystem::CopyCheck& check,
                std::string& waiting) override
    {
        waiting.clear();
        return m_fileSystem.copyFile(source, target, check);
    }
    Result writeThrough() override { return Result::success(); }
    void writeEachThrough() override {}

private:
    FileSystem& m_fileSystem;
};
