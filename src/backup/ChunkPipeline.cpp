#include "ChunkPipeline.h"

#include "ChangeCheck.h"
#include "StallWatch.h"
#include "TreeCopy.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

namespace {

/// A file as the pipeline plans it. `item`, where its path lies in the state's `paths` and `listedSize` never
/// change; the rest is guarded by the state's mutex. Held compactly: a pipeline plans every file of the archive.
struct PlannedFile
{
    std::size_t item = 0;
    std::size_t pathAt = 0;
    std::uint64_t listedSize = 0;
    std::uint64_t size = 0; ///< its size when its first chunk opened it (0 when it could not be opened)
    std::optional<FileStat> opened;
    std::uint32_t pathLength = 0;
    bool sized = false;   ///< its first chunk opened it: `size` and `opened` are known
    bool givenUp = false; ///< a chunk of it was given up: the rest is not read
};

/// Role and `last` of a chunk being made; those of a first chunk are settled when it opens the file. Guarded by
/// the state's mutex.
struct ChunkPlan
{
    ChunkRole role = ChunkRole::Whole;
    bool last = true;
};

struct Job
{
    std::size_t sequence = 0;
    std::size_t file = 0;
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    bool first = false;
    bool skip = false; ///< the file was given up: the chunk comes out empty at once
    std::optional<FileStat> opened;
    std::shared_ptr<ChunkPlan> plan = std::make_shared<ChunkPlan>();
    /// A batch: `count` files from `file` on, each listed within one chunk, made in a row into one slot.
    bool batch = false;
    std::size_t count = 1;
    std::vector<std::size_t> givenUp; ///< positions in the batch whose reading stood still: not read again
    bool rest = false;                ///< the end of a batch cut short (State::Slot::rest)
    /// The position in the batch being opened or read, for the watch to know which one stands still.
    std::shared_ptr<std::atomic<std::size_t>> at = std::make_shared<std::atomic<std::size_t>>(0);
};

/// Reads `length` bytes from `offset` in pieces, telling `call` of each; the count read, fewer at the end of the
/// file or on an error (then in `error`).
std::uint64_t readPieces(InputFile& in, std::uint64_t offset, unsigned char* buffer, std::size_t length,
                         std::string& error, StallWatch::Call& call)
{
    constexpr std::size_t piece = 256 * 1024;
    std::size_t done = 0;
    while (done < length) {
        const std::size_t wanted = std::min(piece, length - done);
        const std::optional<std::size_t> got = in.readAt(offset + done, buffer + done, wanted, error);
        call.progressed();
        if (!got)
            break;
        done += *got;
        if (*got < wanted)
            break;
    }
    return done;
}

} // namespace

/// What the workers share with the pipeline and the watch. Every worker holds a share, so that one left in a read
/// that never returns still finds it whenever it ends.
struct ChunkPipeline::State
{
    /// The chunks of one job: one, or one per file of a batch, handed out one by one.
    struct Slot
    {
        std::vector<CompressedChunk> chunks; ///< the first `count` are made (more are kept for their buffers)
        std::size_t count = 0;
        std::size_t handed = 0;
        bool ready = false;
        /// A batch whose files had grown so much since they were listed that they would not be held at once is cut
        /// short: the rest comes into the same slot once the first part is handed out.
        std::optional<Job> rest;
    };

    State(const FileSystem& fs, const ChunkPipelineOptions& pipelineOptions) : fileSystem(fs), options(pipelineOptions)
    {}

    /// The path of `file`.
    std::string pathOf(const PlannedFile& file) const { return paths.substr(file.pathAt, file.pathLength); }

    const FileSystem& fileSystem;
    ChunkPipelineOptions options;
    std::vector<PlannedFile> files;
    std::string paths; ///< the files' paths one after the other; never changes once the pipeline is made
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Slot> slots;
    std::size_t issued = 0;       ///< jobs taken by workers
    std::size_t consumed = 0;     ///< jobs whose every chunk was handed out by next()
    std::deque<Job> resumed;      ///< batches given up, or the rests of those cut short, to be made first
    std::size_t restsPending = 0; ///< rests of batches not taken yet: the workers wait for them
    std::size_t nextFile = 0;     ///< job cursor: file and offset of the next chunk to take
    std::uint64_t nextOffset = 0; ///< 0: the file's first chunk is not taken yet
    bool planDone = false;        ///< every chunk is taken
    bool stopping = false;
    unsigned working = 0; ///< workers neither ended nor given up

    /// Takes the next chunk to make, waiting for room or for the size of a file being opened; false when there
    /// is none. Under the mutex (`lock`).
    bool takeJob(std::unique_lock<std::mutex>& lock, Job& job)
    {
        const std::size_t chunkSize = options.chunkSize;
        for (;;) {
            if (stopping)
                return false;
            if (!resumed.empty()) {
                job = std::move(resumed.front());
                resumed.pop_front();
                if (job.rest) {
                    job.rest = false;
                    --restsPending;
                }
                return true; // its slot was counted when it was first taken
            }
            if (nextFile >= files.size() && restsPending > 0) {
                changed.wait(lock);
                continue;
            }
            if (nextFile >= files.size()) {
                planDone = true;
                changed.notify_all();
                return false;
            }
            if (issued - consumed >= slots.size()) {
                changed.wait(lock);
                continue;
            }
            PlannedFile& file = files[nextFile];
            if (nextOffset == 0) {
                job.file = nextFile;
                job.first = true;
                job.length = chunkSize;
                // A file listed within one chunk is read as one, in a batch with those after it; a larger one is
                // planned from its size when opened.
                if (file.listedSize <= chunkSize) {
                    job.batch = true;
                    std::uint64_t bytes = file.listedSize;
                    std::size_t end = nextFile + 1;
                    while (end < files.size() && end - nextFile < options.batchFiles &&
                           files[end].listedSize <= chunkSize && bytes + files[end].listedSize <= options.batchBytes)
                        bytes += files[end++].listedSize;
                    job.count = end - nextFile;
                    nextFile = end;
                } else {
                    nextOffset = chunkSize;
                }
                break;
            }
            if (!file.sized) {
                changed.wait(lock);
                continue;
            }
            if (file.size <= nextOffset) {
                ++nextFile;
                nextOffset = 0;
                continue;
            }
            job.file = nextFile;
            job.offset = nextOffset;
            job.length = std::min<std::uint64_t>(chunkSize, file.size - nextOffset);
            job.skip = file.givenUp;
            job.opened = file.opened;
            const bool last = nextOffset + job.length >= file.size;
            *job.plan = ChunkPlan{last ? ChunkRole::Last : ChunkRole::Middle, last};
            nextOffset = last ? 0 : nextOffset + job.length;
            if (last)
                ++nextFile;
            break;
        }
        job.sequence = issued++;
        return true;
    }

    /// Starts a worker; under the mutex.
    static void startWorker(const std::shared_ptr<State>& state, StallWatch& watch)
    {
        auto deflater = std::make_shared<ChunkDeflater>(state->options.level, state->options.smallFileLevel,
                                                        state->options.smallFileSize);
        std::thread(work, state, std::ref(watch), std::move(deflater)).detach();
        ++state->working;
    }

    /// A worker: makes chunks until there are none. `watch` is used only while this worker counts as working,
    /// when the pipeline (which owns it) waits for it.
    static void work(std::shared_ptr<State> state, StallWatch& watch, std::shared_ptr<ChunkDeflater> deflater)
    {
        std::vector<unsigned char> input;
        std::vector<CompressedChunk> chunks;
        for (;;) {
            Job job;
            {
                std::unique_lock lock(state->mutex);
                if (!state->takeJob(lock, job)) {
                    --state->working;
                    state->changed.notify_all();
                    return;
                }
                // This slot was handed out already: its buffers are free for reuse.
                std::swap(chunks, state->slots[job.sequence % state->slots.size()].chunks);
            }
            const std::shared_ptr<StallWatch::Call> call =
                watch.watch([state, job, &watch] { state->giveUp(state, job, watch); });
            std::size_t made = job.batch ? job.count : 1;
            if (chunks.size() < made)
                chunks.resize(made);
            if (job.batch) {
                made = state->makeBatch(job, chunks, *deflater, input, *call);
            } else {
                try {
                    state->make(job, chunks[0], *deflater, input, *call);
                } catch (const std::exception& error) {
                    state->failed(chunks[0], state->files[job.file], error);
                }
            }
            if (!call->finish())
                return; // given up: another worker took this one's place
            {
                std::lock_guard lock(state->mutex);
                State::Slot& slot = state->slots[job.sequence % state->slots.size()];
                std::swap(slot.chunks, chunks);
                slot.count = made;
                slot.handed = 0;
                slot.ready = true;
                if (job.batch && made < job.count) {
                    Job rest = job;
                    rest.file += made;
                    rest.count -= made;
                    rest.givenUp.clear();
                    for (std::size_t position : job.givenUp)
                        if (position >= made)
                            rest.givenUp.push_back(position - made);
                    rest.rest = true;
                    rest.at = std::make_shared<std::atomic<std::size_t>>(0);
                    slot.rest = std::move(rest);
                    ++state->restsPending;
                }
            }
            state->changed.notify_all();
        }
    }

    /// The watch gave up `job`: its chunk comes out with the reason, the rest of its file empty, and a new worker
    /// takes the place of the one held.
    void giveUp(const std::shared_ptr<State>& self, const Job& job, StallWatch& watch)
    {
        std::lock_guard lock(mutex);
        if (job.batch) {
            // The held thread keeps what it made; the batch is made again, but for the file that stood still.
            Job again = job;
            again.givenUp.push_back(job.at->load());
            again.at = std::make_shared<std::atomic<std::size_t>>(0);
            resumed.push_front(std::move(again));
            --working;
            changed.notify_all();
            startWorker(self, watch);
            return;
        }
        PlannedFile& file = files[job.file];
        CompressedChunk chunk;
        chunk.item = file.item;
        chunk.offset = job.offset;
        chunk.role = job.plan->role;
        chunk.last = job.plan->last;
        chunk.error = stalledReadReason(pathOf(file), fileSystem.stallLimit());
        Slot& slot = slots[job.sequence % slots.size()];
        if (slot.chunks.empty())
            slot.chunks.emplace_back();
        slot.chunks[0] = std::move(chunk);
        slot.count = 1;
        slot.handed = 0;
        slot.ready = true;
        file.givenUp = true;
        file.sized = true; // a first chunk given up before it opened the file: nothing more of it is read
        --working;
        changed.notify_all();
        startWorker(self, watch);
    }

    /// The first chunk opened its file: the planner may go on with it. Nothing changes once the chunk was given
    /// up: the planner has gone on without it.
    void sized(const Job& job, std::uint64_t size, const std::optional<FileStat>& opened, const ChunkPlan& plan,
               const StallWatch::Call& call)
    {
        {
            std::lock_guard lock(mutex);
            if (call.givenUp())
                return;
            PlannedFile& file = files[job.file];
            file.sized = true;
            file.size = size;
            file.opened = opened;
            *job.plan = plan;
        }
        changed.notify_all();
    }

    /// Reads and compresses one chunk of a file listed larger than a chunk into `out`.
    void make(const Job& job, CompressedChunk& out, ChunkDeflater& deflater, std::vector<unsigned char>& input,
              StallWatch::Call& call)
    {
        const PlannedFile& file = files[job.file];
        const std::size_t chunkSize = options.chunkSize;
        {
            std::lock_guard lock(mutex);
            startChunk(out, file.item, job.offset, *job.plan);
        }
        if (job.skip) {
            out.error = "\"" + pathOf(file) + "\" was given up";
            return;
        }

        const std::unique_ptr<InputFile> in = fileSystem.openForReading(pathOf(file), out.error);
        std::optional<FileStat> before = in ? in->stat() : std::nullopt;
        if (in && !before)
            out.error = "cannot examine \"" + pathOf(file) + "\"";
        if (job.first) {
            const std::uint64_t size = before ? before->size : 0;
            const bool whole = file.listedSize <= chunkSize || size <= chunkSize;
            const ChunkPlan plan{whole ? ChunkRole::Whole : ChunkRole::Middle, whole};
            sized(job, size, before, plan, call);
            out.role = plan.role;
            out.last = plan.last;
            out.fileSize = size;
        } else {
            before = job.opened;
        }
        if (!in || !out.error.empty())
            return;
        readAndDeflate(*in, before, job.length, file, out, deflater, input, call);
    }

    /// A file that could not be archived for `error`.
    void failed(CompressedChunk& out, const PlannedFile& file, const std::exception& error) const
    {
        out.length = 0;
        out.data.size = 0;
        out.error = "cannot archive \"" + pathOf(file) + "\": " + error.what();
    }

    /// Makes the files of the batch `job` into `out`, one chunk each, in order; the number made, fewer than the
    /// batch's when its files grew so much since they were listed that the rest would not be held at once. Every
    /// file is opened first, and asked for where that is cheap: the disk then fetches them together rather than
    /// one at a time as each is read, and each is read as it was when it was opened.
    std::size_t makeBatch(const Job& job, std::vector<CompressedChunk>& out, ChunkDeflater& deflater,
                          std::vector<unsigned char>& input, StallWatch::Call& call)
    {
        std::vector<std::unique_ptr<InputFile>> opened(job.count);
        std::vector<std::optional<FileStat>> before(job.count);
        for (std::size_t k = 0; k < job.count; ++k) {
            const PlannedFile& file = files[job.file + k];
            CompressedChunk& chunk = out[k];
            startChunk(chunk, file.item, 0, ChunkPlan{});
            if (std::find(job.givenUp.begin(), job.givenUp.end(), k) != job.givenUp.end()) {
                chunk.error = stalledReadReason(pathOf(file), fileSystem.stallLimit());
                continue;
            }
            job.at->store(k);
            try {
                opened[k] = fileSystem.openForReading(pathOf(file), chunk.error);
                before[k] = opened[k] ? opened[k]->stat() : std::nullopt;
                if (opened[k] && !before[k])
                    chunk.error = "cannot examine \"" + pathOf(file) + "\"";
                chunk.fileSize = before[k] ? before[k]->size : 0;
                if (options.readAhead && before[k] && before[k]->size > 0)
                    opened[k]->readSoon(std::min<std::uint64_t>(before[k]->size, options.chunkSize));
            } catch (const std::exception& error) {
                opened[k].reset();
                failed(chunk, file, error);
            }
            call.progressed();
        }
        std::uint64_t held = 0;
        for (std::size_t k = 0; k < job.count; ++k) {
            const std::unique_ptr<InputFile> in = std::move(opened[k]);
            if (!in || !out[k].error.empty())
                continue;
            const std::uint64_t coming = std::min<std::uint64_t>(before[k]->size, options.chunkSize);
            if (held > 0 && held + coming > options.batchBytes + options.chunkSize)
                return k;
            job.at->store(k);
            try {
                readAndDeflate(*in, before[k], options.chunkSize, files[job.file + k], out[k], deflater, input, call);
            } catch (const std::exception& error) {
                failed(out[k], files[job.file + k], error);
            }
            held += out[k].data.size;
            call.progressed();
        }
        return job.count;
    }

    /// Clears `out` for a chunk of `item` from `offset` as `plan` says.
    static void startChunk(CompressedChunk& out, std::size_t item, std::uint64_t offset, const ChunkPlan& plan)
    {
        out.item = item;
        out.offset = offset;
        out.role = plan.role;
        out.last = plan.last;
        out.length = 0;
        out.crc = 0;
        out.data.size = 0;
        out.data.stored = false;
        out.error.clear();
        out.fileSize = 0;
        out.changed = false;
    }

    /// Reads the chunk `out` plans from the open file `in` (`length` bytes of a Middle or Last chunk, up to a
    /// chunk's size of a Whole one), and compresses it; `before` is the file as it was when it was opened.
    void readAndDeflate(InputFile& in, std::optional<FileStat> before, std::uint64_t length, const PlannedFile& file,
                        CompressedChunk& out, ChunkDeflater& deflater, std::vector<unsigned char>& input,
                        StallWatch::Call& call)
    {
        const std::size_t chunkSize = options.chunkSize;
        const bool whole = out.role == ChunkRole::Whole;
        const std::size_t wanted = whole ? chunkSize : static_cast<std::size_t>(length);
        if (input.size() < wanted)
            input.resize(wanted);
        std::uint64_t got = 0;
        // A file read whole that changed meanwhile is read once more: a log written to now and then is then
        // caught between two writes.
        for (int attempt = 1;; ++attempt) {
            got = readPieces(in, out.offset, input.data(), wanted, out.error, call);
            const std::optional<FileStat> after = in.stat();
            out.changed = !sameFileState(before, after) || (whole && got != before->size);
            if (!out.changed || !out.error.empty() || !whole || !after || attempt == 2)
                break;
            before = after;
        }
        if (whole)
            out.fileSize = got;
        else if (got < length && out.error.empty())
            out.error = "\"" + pathOf(file) + "\" became shorter while it was archived";
        if (got == 0 && !whole)
            return;

        out.length = got;
        out.crc = ChunkDeflater::crc32(0, input.data(), got);
        if (Result deflated = deflater.deflate(input.data(), got, out.crc, out.role, out.data); !deflated) {
            out.length = 0;
            out.data.size = 0;
            out.error = "cannot compress \"" + pathOf(file) + "\": " + deflated.error();
        }
    }
};

ChunkPipeline::ChunkPipeline(const FileSystem& fileSystem, const std::vector<ArchiveItem>& items,
                             const ChunkPipelineOptions& options)
    : m_state(std::make_shared<State>(fileSystem, options)),
      m_watch(std::make_unique<StallWatch>(fileSystem.stallLimit()))
{
    State& state = *m_state;
    state.options.workers = std::max(1u, state.options.workers);
    // At most 64 MiB: chunks are held in memory, and their checksums are joined with 32-bit lengths.
    state.options.chunkSize = std::clamp<std::size_t>(state.options.chunkSize, 1, 64u << 20);
    // Sized before they are filled: grown step by step, they would for a while take half as much again.
    std::size_t fileCount = 0;
    std::size_t pathBytes = 0;
    for (const ArchiveItem& item : items) {
        if (item.kind == ArchiveItem::Kind::File) {
            ++fileCount;
            pathBytes += item.path.size();
        }
    }
    state.files.reserve(fileCount);
    state.paths.reserve(pathBytes);
    for (std::size_t index = 0; index < items.size(); ++index) {
        if (items[index].kind == ArchiveItem::Kind::File) {
            PlannedFile& file = state.files.emplace_back();
            file.item = index;
            file.pathAt = state.paths.size();
            file.pathLength = static_cast<std::uint32_t>(items[index].path.size());
            state.paths += items[index].path;
            file.listedSize = items[index].size;
        }
    }
    // Two chunks per worker in flight keep every worker busy while the archive is written in order.
    state.slots.resize(2 * static_cast<std::size_t>(state.options.workers) + 2);
    std::lock_guard lock(state.mutex);
    for (unsigned i = 0; i < state.options.workers; ++i)
        State::startWorker(m_state, *m_watch);
}

ChunkPipeline::~ChunkPipeline()
{
    std::unique_lock lock(m_state->mutex);
    m_state->stopping = true;
    m_state->changed.notify_all();
    m_state->changed.wait(lock, [this] { return m_state->working == 0; });
}

bool ChunkPipeline::next(CompressedChunk& chunk)
{
    State& state = *m_state;
    std::unique_lock lock(state.mutex);
    State::Slot& slot = state.slots[state.consumed % state.slots.size()];
    state.changed.wait(lock, [&] { return slot.ready || (state.planDone && state.consumed == state.issued); });
    if (!slot.ready)
        return false;
    std::swap(chunk, slot.chunks[slot.handed]);
    if (++slot.handed < slot.count)
        return true;
    slot.ready = false;
    slot.handed = 0;
    if (slot.rest) {
        state.resumed.push_back(std::move(*slot.rest));
        slot.rest.reset();
    } else {
        ++state.consumed;
    }
    lock.unlock();
    state.changed.notify_all();
    return true;
}
