// Linux only: the maker signs with Debian's minisign, which has no Windows build here. What minisign signs, our
// verifier takes (both algorithms, a trusted comment of the maker's), and what the tests' signer writes, minisign
// takes: so the format the tests use is minisign's own. The Windows build runs the same verifier code.
#include "MinisignVerifier.h"
#include "SystemPlatform.h"
#include "TestFiles.h"
#include "TestSigningKey.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

class MinisignToolTest : public ::testing::Test
{
protected:
    /// Runs minisign with `arguments`; its output when it fails.
    ::testing::AssertionResult minisign(const std::vector<std::string>& arguments)
    {
        const CommandOutcome outcome = m_runner.run("minisign", arguments, 20s);
        if (outcome.status == CommandOutcome::Status::Finished && outcome.exitCode == 0)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "minisign (Debian's minisign, which scripts/setup installs): " << outcome.error << outcome.output;
    }

    TempDir dir;
    SystemFileSystem fileSystem;
    PosixCommandRunner m_runner;
};

TEST_F(MinisignToolTest, WhatMinisignSignsVerifiesAndWhatOurTestsSignMinisignVerifies)
{
    const std::string updater = dir / "updater.exe", publicKeyFile = dir / "minisign.pub";
    TestFiles::write(updater, std::string("MZ\0\1", 4) + std::string(300000, 'u'));
    ASSERT_TRUE(minisign({"-G", "-W", "-p", publicKeyFile, "-s", dir / "minisign.key"}));
    ASSERT_TRUE(minisign({"-S", "-s", dir / "minisign.key", "-m", updater, "-t", "Kopirko 1.0.17 updater"}));
    ASSERT_TRUE(minisign({"-S", "-l", "-s", dir / "minisign.key", "-m", updater, "-x", updater + ".legacy"}));
    const std::string keyFile = TestFiles::read(publicKeyFile);
    const std::string keyLine = keyFile.substr(keyFile.find('\n') + 1);
    const MinisignVerifier verifier(keyLine);
    ASSERT_EQ(verifier.keyProblem(), "");
    const std::uint64_t limit = 1 << 20;

    for (const char* signature : {".minisig", ".legacy"}) {
        const std::string text = TestFiles::read(updater + signature);
        EXPECT_TRUE(verifier.verifyFile(fileSystem, updater, text, limit)) << signature;
        EXPECT_FALSE(verifier.verifyFile(fileSystem, updater, text, 300000)) << signature; // over the limit
        TestFiles::write(dir / "changed.exe", std::string("MZ\0\1", 4) + std::string(300000, 'v'));
        EXPECT_EQ(verifier.verifyFile(fileSystem, dir / "changed.exe", text, limit).error(),
                  "potpis ne odgovara sadrzaju datoteke")
            << signature;
    }
    // A signature of another key is refused naming that key as minisign shows it (in its public key's comment).
    const TestSigningKey ours;
    const std::size_t idStart = keyFile.find("public key ") + 11;
    const std::string shownId = keyFile.substr(idStart, keyFile.find('\n') - idStart);
    EXPECT_EQ(MinisignVerifier(ours.publicKeyLine())
                  .verifyFile(fileSystem, updater, TestFiles::read(updater + ".minisig"), limit)
                  .error(),
              "potpis je napravljen drugim kljucem (" + shownId + "), a ne kljucem " +
                  MinisignVerifier::keyIdText(ours.keyId()));

    // The tests' own signatures, both algorithms, are minisign's.
    for (const bool hashed : {true, false}) {
        TestFiles::write(updater + ".ours", ours.sign(TestFiles::read(updater), {.hashed = hashed}));
        EXPECT_TRUE(minisign({"-V", "-q", "-P", ours.publicKeyLine(), "-m", updater, "-x", updater + ".ours"}))
            << hashed;
    }
}

} // namespace
