#pragma once

#include "CopyBatch.h"
#include "OneByOneCopyBatch.h"
#include "SystemPlatform.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

/// The real disk, with hooks where a test fails a copy, changes a file while it is read (as the program that owns
/// it would), or makes its reading stand still (as a share that stopped answering).
class HookedDisk : public SystemFileSystem
{
public:
    /// Asked before a copy: a result fails it instead.
    std::function<std::optional<Result>(const std::string& source)> beforeCopy;
    /// Told after every piece read: by a copy (the bytes copied so far), or from an opened file (the end of the
    /// piece). Files opened before it was set are not told.
    std::function<void(const std::string& path, std::uint64_t bytes)> afterRead;
    /// The reading of the file whose path ends in this stands still until release().
    std::string stallOn;
    std::chrono::milliseconds limit = std::chrono::seconds(60);
    /// Told of every file asked for ahead of its reading (readSoon); while set, every disk is worth asking ahead.
    std::function<void(const std::string& path)> readingSoon;

    ~HookedDisk() override { release(); }

    /// Lets the readings that stand still go on, and waits until they are out of this object.
    void release()
    {
        std::unique_lock lock(m_gate->mutex);
        m_gate->released = true;
        m_gate->changed.notify_all();
        m_gate->changed.wait(lock, [this] { return m_gate->inside == 0; });
    }

    std::chrono::milliseconds stallLimit() const override { return limit; }

    bool readsAheadCheaply(const std::string& folder) const override
    {
        return readingSoon || SystemFileSystem::readsAheadCheaply(folder);
    }
    void readSoon(const std::string& path, std::uint64_t size) const override
    {
        if (readingSoon)
            readingSoon(path);
        SystemFileSystem::readSoon(path, size);
    }

    Result copyFile(const std::string& source, const std::string& target, const CopyCheck& check = {}) override
    {
        return hooked(source, check,
                      [&](const CopyCheck& told) { return SystemFileSystem::copyFile(source, target, told); });
    }

    /// The platform's batch, with the same hooks as copyFile. A batch that copies one by one calls copyFile (hooks
    /// and all) itself.
    std::unique_ptr<CopyBatch> startCopyBatch(const std::string& folder) override
    {
        std::unique_ptr<CopyBatch> batch = SystemFileSystem::startCopyBatch(folder);
        if (dynamic_cast<OneByOneCopyBatch*>(batch.get()))
            return batch;
        return std::make_unique<HookedBatch>(*this, std::move(batch));
    }

    std::unique_ptr<InputFile> openForReading(const std::string& path, std::string& error) const override
    {
        std::unique_ptr<InputFile> file = SystemFileSystem::openForReading(path, error);
        if (!file)
            return file;
        return std::make_unique<HookedInput>(std::move(file), path, m_gate, stalls(path), afterRead);
    }

private:
    /// A copy of `source` by `copy`, with the hooks around it.
    template <typename Copy>
    Result hooked(const std::string& source, const CopyCheck& check, const Copy& copy)
    {
        if (const std::optional<Result> instead = beforeCopy ? beforeCopy(source) : std::nullopt)
            return *instead;
        const Inside inside(*m_gate, stalls(source));
        return copy([&](std::uint64_t bytes) {
            if (afterRead)
                afterRead(source, bytes);
            return !check || check(bytes);
        });
    }

    class HookedBatch : public CopyBatch
    {
    public:
        HookedBatch(HookedDisk& disk, std::unique_ptr<CopyBatch> batch) : m_disk(disk), m_batch(std::move(batch)) {}
        Result copy(const std::string& source, const std::string& target, const CopyCheck& check,
                    std::string& waiting) override
        {
            waiting.clear();
            return m_disk.hooked(source, check,
                                 [&](const CopyCheck& told) { return m_batch->copy(source, target, told, waiting); });
        }
        Result writeThrough() override { return m_batch->writeThrough(); }
        void writeEachThrough() override { m_batch->writeEachThrough(); }

    private:
        HookedDisk& m_disk;
        std::unique_ptr<CopyBatch> m_batch;
    };

    struct Gate
    {
        std::mutex mutex;
        std::condition_variable changed;
        bool released = false;
        int inside = 0;
    };

    /// A call in this object, standing still first when `stall`.
    class Inside
    {
    public:
        Inside(Gate& gate, bool stall) : m_gate(gate)
        {
            std::unique_lock lock(m_gate.mutex);
            ++m_gate.inside;
            m_gate.changed.wait(lock, [&] { return !stall || m_gate.released; });
        }
        ~Inside()
        {
            std::lock_guard lock(m_gate.mutex);
            --m_gate.inside;
            m_gate.changed.notify_all();
        }

    private:
        Gate& m_gate;
    };

    /// Holds a share of the gate and its own hook, so that a reading left behind by a run never needs the disk.
    class HookedInput : public InputFile
    {
    public:
        HookedInput(std::unique_ptr<InputFile> file, std::string path, std::shared_ptr<Gate> gate, bool stall,
                    std::function<void(const std::string&, std::uint64_t)> hook)
            : m_file(std::move(file)), m_path(std::move(path)), m_gate(std::move(gate)), m_stall(stall),
              m_hook(std::move(hook))
        {}
        std::optional<std::size_t> readAt(std::uint64_t offset, void* buffer, std::size_t size,
                                          std::string& error) override
        {
            {
                const Inside inside(*m_gate, m_stall);
            }
            const std::optional<std::size_t> got = m_file->readAt(offset, buffer, size, error);
            if (m_hook && got)
                m_hook(m_path, offset + *got);
            return got;
        }
        std::optional<FileStat> stat() const override { return m_file->stat(); }
        void readSoon(std::uint64_t size) override { m_file->readSoon(size); }

    private:
        std::unique_ptr<InputFile> m_file;
        std::string m_path;
        std::shared_ptr<Gate> m_gate;
        bool m_stall;
        std::function<void(const std::string&, std::uint64_t)> m_hook;
    };

    bool stalls(const std::string& path) const { return !stallOn.empty() && path.ends_with(stallOn); }

    std::shared_ptr<Gate> m_gate = std::make_shared<Gate>();
};
