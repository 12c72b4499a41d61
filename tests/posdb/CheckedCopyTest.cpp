#include "CheckedCopy.h"
#include "HookedFileSystem.h"
#include "TempDir.h"
#include "TestFiles.h"

#include <gmock/gmock.h>

using ::testing::HasSubstr;

struct ChangeCase
{
    int changes; ///< how many times the source is written to while it is copied
    int copies;  ///< how many copies are made
    bool succeeds;
    friend void PrintTo(const ChangeCase& c, std::ostream* out) { *out << c.changes << " changes"; }
};

class CheckedCopyTest : public ::testing::TestWithParam<ChangeCase>
{};

TEST_P(CheckedCopyTest, SourceChangingDuringTheCopyIsCopiedOnceMoreThenReported)
{
    TempDir dir;
    const std::string source = dir / "baza.mdb";
    const std::string target = dir / "kopija.mdb";
    TestFiles::write(source, "v0");
    HookedFileSystem disk;
    int copies = 0;
    disk.beforeCopy = [&](const std::string&, const std::string&) -> std::optional<Result> {
        if (copies < GetParam().changes)
            TestFiles::write(source, "v" + std::to_string(copies + 1) + " grows");
        ++copies;
        return std::nullopt;
    };

    const Result copied = copyFileChecked(disk, source, target);

    EXPECT_EQ(copies, GetParam().copies);
    EXPECT_EQ(copied.ok(), GetParam().succeeds);
    // The last copy is there either way: a possibly inconsistent copy beats none.
    EXPECT_EQ(TestFiles::read(target), TestFiles::read(source));
    if (!GetParam().succeeds) {
        EXPECT_THAT(copied.error(), HasSubstr(changedDuringCopy));
    }
}

INSTANTIATE_TEST_SUITE_P(Changes, CheckedCopyTest,
                         ::testing::Values(ChangeCase{0, 1, true}, ChangeCase{1, 2, true}, ChangeCase{2, 2, false},
                                           ChangeCase{5, 2, false}),
                         [](const auto& info) { return "Changes" + std::to_string(info.param.changes); });

TEST(CheckedCopyFailureTest, FailedCopyIsNotRetriedAndKeepsTheEarlierTarget)
{
    TempDir dir;
    TestFiles::write(dir / "baza.mdb", "new");
    TestFiles::write(dir / "kopija.mdb", "earlier");
    HookedFileSystem disk;
    int copies = 0;
    disk.beforeCopy = [&](const std::string&, const std::string&) -> std::optional<Result> {
        ++copies;
        return Result::failure("injected");
    };

    const Result copied = copyFileChecked(disk, dir / "baza.mdb", dir / "kopija.mdb");

    EXPECT_FALSE(copied.ok());
    EXPECT_EQ(copied.error(), "injected");
    EXPECT_EQ(copies, 1);
    EXPECT_EQ(TestFiles::read(dir / "kopija.mdb"), "earlier");
}
