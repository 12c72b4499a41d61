// The real disk of this platform, through the same cases on Linux and on Windows (under Wine).
#include "ChangeCheck.h"
#include "CopyBatch.h"
#include "HookedDisk.h"
#include "Paths.h"
#include "RunCancellation.h"
#include "SystemPlatform.h"
#include "TemporaryNames.h"
#include "TestFiles.h"
#include "Utf8Path.h"

#include <gmock/gmock.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <list>
#include <mutex>
#include <thread>
#ifndef _WIN32
#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <sys/stat.h>
#endif

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

bool temporaryLeft(const std::string& folder)
{
    const std::vector<std::string> all = TestFiles::files(folder);
    return std::any_of(all.begin(), all.end(), [](const std::string& f) { return f.find(".kopirko-tmp-") != f.npos; });
}

/// The real disk with a batch that leaves every copy waiting under a temporary name, and whose writing through
/// fails from its `failFrom`th call on (counted from 1; 0: never), as a disk that reports a lost write would; or,
/// with `stallFirst`, stands still in its first call until release(), as a disk that stopped answering. Copies
/// after the first 1,000 then wait until that call was given up (writeEachThrough), so that the batch that stands
/// still is always the first.
class FailingBatchDisk : public SystemFileSystem
{
public:
    int failFrom = 0;
    bool stallFirst = false;
    std::chrono::milliseconds limit = std::chrono::seconds(60);

    std::chrono::milliseconds stallLimit() const override { return limit; }
    std::unique_ptr<CopyBatch> startCopyBatch(const std::string&) override { return std::make_unique<Batch>(*this); }

    /// Lets what stands still go on.
    void release()
    {
        std::lock_guard lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }

private:
    class Batch : public CopyBatch
    {
    public:
        explicit Batch(FailingBatchDisk& disk) : m_disk(disk) {}
        Result copy(const std::string& source, const std::string& target, const FileSystem::CopyCheck& check,
                    std::string& waiting) override
        {
            waiting.clear();
            if (m_disk.stallFirst) {
                std::unique_lock lock(m_disk.m_mutex);
                // Waiting as a read that goes on slowly, so that the copy's own watch gives nothing up.
                if (m_copies++ >= 1000)
                    while (!m_disk.m_changed.wait_for(lock, std::chrono::milliseconds(50),
                                                      [&] { return m_eachThrough || m_disk.m_released; })) {
                        lock.unlock();
                        if (check && !check(0))
                            return Result::failure("stopped");
                        lock.lock();
                    }
                if (m_eachThrough) {
                    lock.unlock();
                    return m_disk.copyFile(source, target, check);
                }
            }
            waiting = TemporaryNames::beside(target);
            const Result copied = m_disk.copyFile(source, waiting, check);
            if (!copied)
                waiting.clear();
            return copied;
        }
        Result writeThrough() override
        {
            std::unique_lock lock(m_disk.m_mutex);
            ++m_calls;
            if (m_disk.stallFirst && m_calls == 1) {
                m_disk.m_changed.wait(lock, [&] { return m_disk.m_released; });
                return Result::success();
            }
            if (m_eachThrough)
                return Result::failure("the disk stood still before");
            if (m_disk.failFrom && m_calls >= m_disk.failFrom)
                return Result::failure("the disk lost a write");
            return Result::success();
        }
        void writeEachThrough() override
        {
            std::lock_guard lock(m_disk.m_mutex);
            m_eachThrough = true;
            m_disk.m_changed.notify_all();
        }

    private:
        FailingBatchDisk& m_disk;
        int m_calls = 0; ///< guarded by the disk's mutex, as the rest
        int m_copies = 0;
        bool m_eachThrough = false;
    };

    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_released = false;
};

class FileSystemTest : public ::testing::Test
{
protected:
    TempDir dir;
    SystemFileSystem fileSystem;
    std::string source = dir / "source";
    std::string target = dir / "target";

    void SetUp() override
    {
        TestFiles::makeFolder(source);
        TestFiles::makeFolder(target);
    }
    std::string in(const std::string& folder, const std::string& relative) const
    {
        return Paths::join(folder, TestFiles::native(relative));
    }
};

// Into a folder of the source itself, which is not copied into itself; a second copy overwrites even a read-only
// copy and keeps what the source no longer has.
TEST_F(FileSystemTest, CopiesATreeWithContentsTimesAndEmptyFoldersWhateverTheNamesAndCopiesItAgain)
{
    const std::string names[] = {"a.txt", "sub/deeper/b.bin", "Računi/plaće_žšđ ČĆ.txt", "Кирилица/ђ.txt"};
    for (const std::string& name : names)
        TestFiles::write(in(source, name), name + std::string("\0\x01\xff", 3));
    TestFiles::makeFolder(in(source, "empty"));
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
    fs::last_write_time(Utf8Path::toPath(in(source, "Računi/plaće_žšđ ČĆ.txt")), old);
    const std::string inside = in(source, "kopije");
    TestFiles::makeFolder(inside);

    const TreeCopyOutcome outcome = fileSystem.copyTreeContents(source, inside, {});

    EXPECT_TRUE(outcome.complete()) << outcome.failures.front().reason;
    EXPECT_EQ(outcome.filesCopied, 4u);
    for (const std::string& name : names)
        EXPECT_EQ(TestFiles::read(in(inside, name)), name + std::string("\0\x01\xff", 3)) << name;
    EXPECT_TRUE(fileSystem.isDirectory(in(inside, "empty")));
    EXPECT_FALSE(fileSystem.exists(in(inside, "kopije")));
    EXPECT_EQ(fileSystem.statFile(in(inside, "Računi/plaće_žšđ ČĆ.txt"))->modifiedNs,
              fileSystem.statFile(in(source, "Računi/plaće_žšđ ČĆ.txt"))->modifiedNs);
    EXPECT_FALSE(temporaryLeft(inside));

    TestFiles::write(in(source, "a.txt"), "second, longer");
    fs::remove(Utf8Path::toPath(in(source, "sub/deeper/b.bin")));
    fs::permissions(Utf8Path::toPath(in(inside, "a.txt")), fs::perms::owner_read);
    ASSERT_TRUE(fileSystem.copyTreeContents(source, inside, {}).complete());
    EXPECT_EQ(TestFiles::read(in(inside, "a.txt")), "second, longer");
    EXPECT_TRUE(fileSystem.exists(in(inside, "sub/deeper/b.bin")));
}

// A second run of the day over today's copy: a file the source has not changed since is never handed to copyFile,
// yet counted as copied; one whose size, time (by the smallest step the disk keeps), permissions or kind differs is
// copied again. Only small files about to be copied are asked for ahead of their reading.
TEST_F(FileSystemTest, ASecondCopyOfTheDayRewritesOnlyWhatChanged)
{
    const std::vector<std::string> names = {"same.txt",  "sub/same.txt", "longer.txt",
                                            "later.txt", "readonly.txt", "link.txt"};
    for (const std::string& name : names)
        TestFiles::write(in(source, name), "first " + name);
    TestFiles::write(in(source, "sub/large.bin"), std::string((1 << 20) + 1, 'L'));
    HookedDisk disk;
    std::mutex mutex;
    std::vector<std::string> copied;
    std::vector<std::string> askedAhead;
    disk.beforeCopy = [&](const std::string& from) {
        std::lock_guard lock(mutex);
        copied.push_back(Paths::lastComponent(from));
        return std::optional<Result>();
    };
    disk.readingSoon = [&](const std::string& path) { askedAhead.push_back(Paths::lastComponent(path)); };
    ASSERT_TRUE(disk.copyTreeContents(source, target, {}).complete());
    EXPECT_EQ(copied.size(), names.size() + 1);
    EXPECT_EQ(askedAhead.size(), names.size()) << "all but the large file";
    copied.clear();
    askedAhead.clear();

    const auto path = [&](const std::string& name) { return Utf8Path::toPath(in(source, name)); };
    const auto time = fs::last_write_time(path("longer.txt"));
    TestFiles::write(in(source, "longer.txt"), "first longer.txt!");
    fs::last_write_time(path("longer.txt"), time);
#ifdef _WIN32
    const auto step = std::chrono::nanoseconds(100); // what NTFS keeps
#else
    const auto step = std::chrono::nanoseconds(1);
#endif
    fs::last_write_time(path("later.txt"), fs::last_write_time(path("later.txt")) + step);
    fs::permissions(path("readonly.txt"), fs::perms::owner_read);
    fs::remove(Utf8Path::toPath(in(target, "link.txt")));
    const bool linked = TestFiles::makeLink("same.txt", in(target, "link.txt"), false);
    TestFiles::write(in(source, "new.txt"), "new");
    std::uint64_t shownFiles = 0;

    const TreeCopyOutcome outcome =
        disk.copyTreeContents(source, target, [&](const CopyProgress& progress) { shownFiles = progress.filesDone; });

    EXPECT_TRUE(outcome.complete());
    std::sort(copied.begin(), copied.end());
    EXPECT_EQ(copied, (std::vector<std::string>{"later.txt", "link.txt", "longer.txt", "new.txt", "readonly.txt"}))
        << "the copy of link.txt was replaced by a link: " << linked << " (else it is just gone)";
    std::sort(askedAhead.begin(), askedAhead.end());
    EXPECT_EQ(askedAhead, copied);
    EXPECT_EQ(outcome.filesCopied, names.size() + 2);
    EXPECT_EQ(shownFiles, names.size() + 2);
    std::uint64_t bytes = 0;
    for (const auto& [name, content] : TestFiles::tree(source))
        bytes += content == "<folder>" ? 0 : content.size();
    EXPECT_EQ(outcome.bytesCopied, bytes);
    EXPECT_EQ(TestFiles::tree(target), TestFiles::tree(source));

    // A folder whose place in today's copy a file took is reported, and nothing is written over that file.
    fs::remove_all(Utf8Path::toPath(in(target, "sub")));
    TestFiles::write(in(target, "sub"), "a file");
    const TreeCopyOutcome blocked = disk.copyTreeContents(source, target, {});
    ASSERT_EQ(blocked.failures.size(), 1u);
    EXPECT_EQ(blocked.failures[0].path, in(source, "sub"));
    EXPECT_THAT(blocked.failures[0].reason, HasSubstr("is not a folder"));
    EXPECT_EQ(TestFiles::read(in(target, "sub")), "a file");
}

TEST_F(FileSystemTest, SymbolicLinksAreCopiedAsLinksAndNeverFollowed)
{
    TestFiles::write(dir / "outside/secret.txt", "not part of the source");
    TestFiles::write(in(source, "real.txt"), "real");
    if (!TestFiles::makeLink(source, in(source, "loop"), true)) // a loop back to the source
        GTEST_SKIP() << "this system makes no symbolic links (Wine 8 does not)";
    ASSERT_TRUE(TestFiles::makeLink(dir / "outside", in(source, "out"), true)); // a way out of the source
    ASSERT_TRUE(TestFiles::makeLink("real.txt", in(source, "alias.txt"), false));
    ASSERT_TRUE(TestFiles::makeLink("missing.txt", in(source, "dangling.txt"), false));

    const TreeCopyOutcome outcome = fileSystem.copyTreeContents(source, target, {});

    EXPECT_TRUE(outcome.complete());
    EXPECT_EQ(TestFiles::linkTarget(in(target, "loop")), source);
    EXPECT_EQ(TestFiles::linkTarget(in(target, "out")), dir / "outside");
    EXPECT_EQ(TestFiles::linkTarget(in(target, "alias.txt")), "real.txt");
    EXPECT_EQ(TestFiles::linkTarget(in(target, "dangling.txt")), "missing.txt");
    EXPECT_EQ(fileSystem.listFolder(target).entries.size(), 5u);
    EXPECT_EQ(fileSystem.examine(in(target, "out"), false)->kind, FolderEntry::Kind::Link);
}

TEST_F(FileSystemTest, FullDiskLeavesTheEarlierCopyIntactAndNoTemporaryFile)
{
#ifdef _WIN32
    GTEST_SKIP() << "a small disk cannot be made from a test on Windows";
#else
    if (::mount("tmpfs", target.c_str(), "tmpfs", 0, "size=1m") != 0) // where this process may mount
        GTEST_SKIP() << "a tmpfs cannot be mounted here: " << std::strerror(errno);
    const std::shared_ptr<void> unmount(nullptr, [&](void*) { ::umount2(target.c_str(), MNT_DETACH); });
#endif
    TestFiles::write(in(source, "big.bin"), std::string(400 * 1024, 'a'));
    ASSERT_TRUE(fileSystem.copyTreeContents(source, target, {}).complete());
    TestFiles::write(in(source, "big.bin"), std::string(900 * 1024, 'b'));

    const TreeCopyOutcome outcome = fileSystem.copyTreeContents(source, target, {});

    ASSERT_EQ(outcome.failures.size(), 1u);
    EXPECT_THAT(outcome.failures[0].reason, HasSubstr("na disku na koji se pise nema dovoljno mjesta"));
    EXPECT_EQ(TestFiles::read(in(target, "big.bin")), std::string(400 * 1024, 'a'));
    EXPECT_FALSE(temporaryLeft(target));
}

TEST_F(FileSystemTest, NotForcedRemovalRefusesAFolderWithAReadOnlyFileAndRemovesNothing)
{
    TestFiles::write(in(target, "a/writable.txt"), "w");
    TestFiles::write(in(target, "b/readonly.txt"), "r");
    fs::permissions(Utf8Path::toPath(in(target, "b/readonly.txt")), fs::perms::owner_read);

    const Result refused = fileSystem.removeTree(target, RemoveMode::NotForced);
    EXPECT_FALSE(refused);
    EXPECT_THAT(refused.error(), HasSubstr("readonly.txt"));
    EXPECT_TRUE(fileSystem.exists(in(target, "a/writable.txt")));

    TestFiles::write(in(source, "precious.txt"), "keep me");
    const bool linked = TestFiles::makeLink(source, in(target, "link"), true); // removed as a link, never followed
    EXPECT_TRUE(fileSystem.removeTree(target, RemoveMode::Forced));
    EXPECT_FALSE(fileSystem.exists(target));
    EXPECT_EQ(TestFiles::read(in(source, "precious.txt")), "keep me") << "link made: " << linked;
}

// The file is changed (as the program that owns it would) each time the copy has read 2 MiB of it: once, or at
// every reading. A file that changed is read once more; one that never stands still is reported, and its copy, a
// mix of versions, replaces no earlier copy.
TEST_F(FileSystemTest, AFileThatChangesWhileCopiedIsReadAgainAndNeverReplacesAnEarlierCopyWithAMix)
{
    const std::string file = in(source, "baza.mdb");
    const auto append = [](const std::string& path) { std::ofstream(Utf8Path::toPath(path), std::ios::app) << "log"; };
    const auto cut = [](const std::string& path) { fs::resize_file(Utf8Path::toPath(path), 1 << 20); };
    int version = 0;
    const auto rewrite = [&](const std::string& path) {
        TestFiles::write(path, std::string(3 << 20, static_cast<char>('b' + version)));
    };
    const struct
    {
        const char* what;
        std::function<void(const std::string&)> change;
        bool everyTime, earlierCopy;
        const char* reason; ///< "": copied whole, as the file is now
    } cases[] = {{"cut short", cut, false, true, ""},
                 {"grown", append, false, true, ""},
                 {"rewritten at every reading", rewrite, true, false, ChangeCheckTexts::changedKept},
                 {"rewritten at every reading, over an earlier copy", rewrite, true, true,
                  ChangeCheckTexts::changedEarlierKept}};
    HookedDisk disk;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(Utf8Path::toPath(target));
        TestFiles::makeFolder(target);
        if (c.earlierCopy)
            TestFiles::write(in(target, "baza.mdb"), "earlier");
        TestFiles::write(file, std::string(3 << 20, 'a'));
        int changes = 0;
        std::uint64_t last = 0;
        bool changedInThisReading = false;
        disk.afterRead = [&](const std::string& path, std::uint64_t bytes) {
            changedInThisReading = changedInThisReading && bytes >= last; // a new reading starts from the beginning
            last = bytes;
            if (bytes >= 2u << 20 && !changedInThisReading && (c.everyTime || changes == 0)) {
                changedInThisReading = true;
                ++changes;
                ++version;
                c.change(path);
            }
        };

        const Result copied = disk.copyFile(file, in(target, "baza.mdb"));

        const std::string copy = TestFiles::read(in(target, "baza.mdb"));
        EXPECT_EQ(copied.ok(), *c.reason == '\0') << copied.error();
        EXPECT_THAT(copied.error(), HasSubstr(c.reason));
        if (*c.reason == '\0')
            EXPECT_EQ(copy, TestFiles::read(file));
        else if (c.earlierCopy)
            EXPECT_EQ(copy, "earlier");
        else { // the only copy there is, reported as possibly not consistent, and never dated as a whole one
            EXPECT_EQ(copy.size(), 3u << 20);
            EXPECT_LT(fileSystem.statFile(in(target, "baza.mdb"))->modifiedNs, fileSystem.statFile(file)->modifiedNs);
        }
        EXPECT_FALSE(temporaryLeft(target));
    }
}

// More files than one batch of copies written through together (on Linux; on Windows each is written through on its
// own): a copy whose rename fails (a folder holds its name) fails alone and is not counted, and a run stopped
// midway leaves no temporary file and no copy under its name that is not whole. A batch whose writing through fails
// (a batch that fails on demand, on both platforms) puts none of its copies in place, and neither does any later.
TEST_F(FileSystemTest, ManyFilesAreAllPutInPlaceAndARenameThatFailsOrAStopCostsOnlyWhatItMust)
{
    constexpr int count = 2500;
    const auto name = [](int i) { return "d" + std::to_string(i % 7) + "/f" + std::to_string(i) + ".txt"; };
    const auto content = [](int i) { return "copy " + std::to_string(i) + std::string(i % 300, 'x'); };
    for (int i = 0; i < count; ++i)
        TestFiles::write(in(source, name(i)), content(i));
    const struct
    {
        const char* what;
        bool folderInTheWay;
        std::uint64_t stopAfter; ///< files reported before the run is stopped; 0: never
        int failFrom;            ///< the batch whose writing through fails first (FailingBatchDisk); 0: the platform's
        bool stallFirst;         ///< the writing through of the first batch stands still (FailingBatchDisk)
    } cases[] = {{"a folder in the way of one copy", true, 0, 0, false},
                 {"stopped midway", false, 1200, 0, false},
                 {"the writing through of the second batch fails, and with it every later one", false, 0, 2, false},
                 {"the writing through of every batch fails", false, 0, 1, false},
                 {"the writing through of the first batch stands still", false, 0, 0, true}};
    std::list<FailingBatchDisk> failingDisks;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(Utf8Path::toPath(target));
        TestFiles::makeFolder(target);
        const std::string blocked = in(target, name(1234));
        if (c.folderInTheWay)
            TestFiles::write(in(blocked, "inside.txt"), "keep");

        FailingBatchDisk& failingDisk = failingDisks.emplace_back(); // outlives the calls left behind
        failingDisk.failFrom = c.failFrom;
        failingDisk.stallFirst = c.stallFirst;
        failingDisk.limit = std::chrono::seconds(5);
        FileSystem& disk = c.failFrom || c.stallFirst ? static_cast<FileSystem&>(failingDisk) : fileSystem;
        // A copy that never gives up the batch that stands still is let go after a while, to fail below.
        std::promise<void> ended;
        auto watchdog = std::async(std::launch::async, [&, over = ended.get_future()] {
            if (over.wait_for(std::chrono::seconds(30)) != std::future_status::ready)
                failingDisk.release();
        });
        const TreeCopyOutcome outcome = disk.copyTreeContents(source, target, [&](const CopyProgress& progress) {
            if (c.stopAfter && progress.filesDone >= c.stopAfter)
                RunCancellation::request();
        });
        RunCancellation::clear();
        ended.set_value();
        watchdog.get();

        if (c.stallFirst) { // the 1,000 copies waiting for it reported; the copies after, each written through
            EXPECT_EQ(outcome.filesCopied, count - 1000u);
            ASSERT_EQ(outcome.failures.size(), 1000u);
            EXPECT_THAT(outcome.failures[0].reason, HasSubstr("pisanje kopije na disk je stalo (5 s bez napretka)"));
            EXPECT_TRUE(outcome.leftBehind);
            // Once the disk answers again, the call left behind removes what waited for it.
            failingDisk.release();
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
            while (temporaryLeft(target) && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        EXPECT_FALSE(temporaryLeft(target));
        if (c.failFrom) { // one batch of 1,000 put in place at most, every other copy reported by name
            EXPECT_EQ(outcome.filesCopied, c.failFrom == 2 ? 1000u : 0u);
            EXPECT_EQ(outcome.failures.size(), count - outcome.filesCopied);
            if (!outcome.failures.empty()) {
                EXPECT_THAT(outcome.failures[0].reason, HasSubstr("the disk lost a write"));
            }
        } else if (c.folderInTheWay) {
            ASSERT_EQ(outcome.failures.size(), 1u);
            EXPECT_EQ(outcome.failures[0].path, in(source, name(1234)));
            EXPECT_EQ(outcome.filesCopied, count - 1u);
            EXPECT_EQ(TestFiles::read(in(blocked, "inside.txt")), "keep");
        } else if (c.stopAfter) {
            EXPECT_FALSE(outcome.complete());
            EXPECT_LT(outcome.filesCopied, std::uint64_t{count});
        }
        std::uint64_t present = 0;
        for (int i = 0; i < count; ++i) {
            const std::string copy = in(target, name(i));
            if (i == 1234 && c.folderInTheWay)
                continue;
            if ((!c.stopAfter && !c.failFrom && !c.stallFirst) || fileSystem.isRegularFile(copy)) {
                ++present;
                EXPECT_EQ(TestFiles::read(copy), content(i)) << name(i);
            }
        }
        EXPECT_EQ(present, outcome.filesCopied);
    }
}

// A file the listing showed may be a pipe by the time it is asked for ahead: asking must not wait for a writer.
TEST_F(FileSystemTest, AskingAheadForAFileNeverWaitsOnAPipeInItsPlace)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no pipes among the files of a folder, and asks ahead for nothing";
#else
    const std::string pipe = dir / "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0) << std::strerror(errno);
    auto asked = std::async(std::launch::async, [&] { fileSystem.readSoon(pipe, 4096); });
    if (asked.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        std::ofstream writer(pipe); // lets the asking end, so that the test itself ends
        FAIL() << "asking ahead waited on the pipe";
    }
    fileSystem.readSoon(dir / "missing.txt", 4096); // nothing to ask for: no harm done
#endif
}

/// Folders nested beyond 260 characters, which the plain Win32 calls cannot reach; on Linux an ordinary tree.
TEST_F(FileSystemTest, TreeDeeperThanTwoHundredSixtyCharactersIsCopiedAndRemoved)
{
    std::string deep = source;
    while (deep.size() < 320) {
        deep = in(deep, "dubina-" + std::to_string(deep.size()));
        ASSERT_TRUE(fileSystem.createDirectory(deep));
    }
    const std::string relative = deep.substr(source.size() + 1);
    ASSERT_TRUE(fileSystem.writeFileAtomically(in(deep, "duboko.txt"), "deep"));

    const TreeCopyOutcome outcome = fileSystem.copyTreeContents(source, target, {});

    ASSERT_TRUE(outcome.complete()) << outcome.failures.front().reason;
    EXPECT_EQ(fileSystem.readFile(in(in(target, relative), "duboko.txt")), "deep");
    EXPECT_TRUE(fileSystem.removeTree(target, RemoveMode::NotForced));
    EXPECT_FALSE(fileSystem.exists(target));
}

} // namespace
