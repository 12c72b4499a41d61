// Only an updater with a good signature of the built-in key is kept and started: the server, or whoever answers in
// its place, and other programs writing to the program's folder get nothing run. Against a real HTTP server on
// 127.0.0.1, on Linux and under Wine.
#include "MinisignVerifier.h"
#include "UpdateFixture.h"

#include <algorithm>

namespace {

namespace fs = std::filesystem;

std::string replaced(std::string text, const std::string& what, const std::string& with)
{
    return text.replace(text.find(what), what.size(), with);
}

/// `text` with CR LF line ends, as a transfer in text mode may leave it.
std::string withCrLf(const std::string& text)
{
    std::string crlf;
    for (const char c : text)
        c == '\n' ? crlf += "\r\n" : crlf += c;
    return crlf;
}

/// The first `count` lines of `text`, each with its line end.
std::string firstLines(const std::string& text, int count)
{
    std::size_t end = 0;
    for (int line = 0; line < count; ++line)
        end = text.find('\n', end) + 1;
    return text.substr(0, end);
}

// Every way a download can fail to carry the key's signature; the old updater, signed or not, stays byte for byte
// with its signature, and only a signed updater is ever started on Yes.
TEST_F(UpdateTest, OnlyAnUpdaterSignedWithTheBuiltInKeyIsKeptAndStarted)
{
    const TestSigningKey otherKey;
    const std::string signature = key.sign(updater);
    std::string changed = updater;
    changed[100] ^= 1;
    const struct
    {
        const char* name;
        std::string signature; ///< served as "/updater.exe.minisig"; "" with 404
        std::string served = updater;
        bool kept = false;
    } cases[] = {
        {"signed over its hash (ED)", signature, updater, true},
        {"signed over itself (Ed)", key.sign(updater, {.hashed = false}), updater, true},
        {"signed, its line ends CR LF", withCrLf(signature), updater, true},
        {"unsigned", ""},
        {"signed with another key", otherKey.sign(updater)},
        {"signed with another key under this key's id", otherKey.sign(updater, {.keyId = key.keyId()})},
        {"changed after it was signed", signature, changed},
        {"the trusted comment changed", replaced(signature, "file:updater.exe", "file:updater.exe\tprovjereno")},
        {"the signature of other bytes", key.sign("another program")},
        {"signature cut in half", signature.substr(0, signature.size() / 2)},
        {"signature without its global signature", firstLines(signature, 3)},
        {"signature over the size limit", key.sign(updater, {.trustedComment = std::string(20000, 'x')})},
        {"no signature at all", "<html><body>Not here</body></html>"},
    };
    server.serve("/kopirko/version.txt", "1017\r\n");
    const std::string oldUpdater = "old updater", oldSignature = key.sign(oldUpdater);
    for (const bool oldSigned : {true, false}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (oldSigned ? ", the old updater signed" : ", the old one unsigned"));
            server.serve("/kopirko/updater.exe", c.served);
            server.serve("/kopirko/updater.exe.minisig", c.signature, c.signature.empty() ? 404 : 200);
            TestFiles::write(folder / "updater.exe", oldUpdater);
            oldSigned ? TestFiles::write(folder / "updater.exe.minisig", oldSignature)
                      : void(fs::remove(folder / "updater.exe.minisig"));
            fs::remove(folder / "update.ini");
            platform.messages.shown.clear();
            platform.messages.answers = {true};
            platform.launcher.starts.clear();
            platform.terminator.exitCode.reset();

            const bool started = check();

            EXPECT_EQ(TestFiles::read(folder / "updater.exe"), c.kept ? c.served : oldUpdater);
            if (c.kept || oldSigned)
                EXPECT_EQ(TestFiles::read(folder / "updater.exe.minisig"), c.kept ? c.signature : oldSignature);
            else
                EXPECT_FALSE(TestFiles::exists(folder / "updater.exe.minisig"));
            // Nothing of the downloads is left under another name.
            const std::vector<std::string> names = TestFiles::names(folder.path());
            EXPECT_EQ(std::count_if(names.begin(), names.end(), [](const std::string& name) { return name[0] == '.'; }),
                      0);
            // Yes starts an updater only when the one there carries the key's signature.
            const bool verified = c.kept || oldSigned;
            EXPECT_EQ(started, verified);
            EXPECT_EQ(platform.launcher.starts.size(), verified ? 1u : 0u);
            EXPECT_EQ(platform.terminator.ended(), verified);
            EXPECT_EQ(TestFiles::exists(folder / "update.ini"), verified);
            ASSERT_EQ(platform.messages.shown.size(), verified ? 1u : 2u);
            if (!verified) {
                EXPECT_EQ(platform.messages.shown[1],
                          std::string(updateNotVerified) + "nema potpisa \"updater.exe.minisig\"");
            }
        }
    }
}

// On Yes the updater is checked once more: between its download and the start, other programs may have written to
// the program's folder, and a program built without a key never starts one.
TEST_F(UpdateTest, YesWithoutAGoodSignatureThereAndThenSaysSoAndStartsAndWritesNothing)
{
    const TestSigningKey otherKey;
    server.serve("/kopirko/version.txt", "1017\r\n");
    const struct
    {
        const char* name;
        std::string publicKey;
        std::function<void()> whileAsked; ///< what happens in the program's folder while the question is open
        std::string reason;
    } cases[] = {
        {"no key built in", "", {}, "u program nije ugradjen javni kljuc za provjeru nadogradnje"},
        {"a key line that is no key",
         "RWQ" + std::string(50, 'A'),
         {},
         "javni kljuc ugradjen u program nije minisign kljuc"},
        {"the updater removed", "", [&] { fs::remove(folder / "updater.exe"); },
         "nema programa za nadogradnju \"updater.exe\""},
        {"the signature removed", "", [&] { fs::remove(folder / "updater.exe.minisig"); },
         "nema potpisa \"updater.exe.minisig\""},
        {"the updater replaced", "", [&] { TestFiles::write(folder / "updater.exe", "another program"); },
         "\"updater.exe\": potpis ne odgovara sadrzaju datoteke"},
        {"both replaced, signed with another key", "",
         [&] {
             TestFiles::write(folder / "updater.exe", "another program");
             TestFiles::write(folder / "updater.exe.minisig", otherKey.sign("another program"));
         },
         "\"updater.exe\": potpis je napravljen drugim kljucem (" + MinisignVerifier::keyIdText(otherKey.keyId()) +
             "), a ne kljucem " + MinisignVerifier::keyIdText(key.keyId())},
        {"a signature file far too long", "",
         [&] { TestFiles::write(folder / "updater.exe.minisig", key.sign(updater) + std::string(20000, '\n')); },
         "potpis \"updater.exe.minisig\" se ne moze procitati: duza je od 16384 bajta"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(folder / "updater.exe");
        fs::remove(folder / "updater.exe.minisig");
        platform.messages.shown.clear();
        platform.messages.answers = {true};
        platform.messages.whileAsked = c.whileAsked;
        platform.http.calls.clear();
        const std::string publicKey = c.whileAsked ? key.publicKeyLine() : c.publicKey;

        EXPECT_FALSE(CheckForUpdate(platform.services, store, address(), quick, publicKey));

        // Without a key nothing is fetched that could never be kept; with one, the signed updater was.
        const bool fetched = std::find(platform.http.calls.begin(), platform.http.calls.end(),
                                       "get http://" + address() + "/updater.exe") != platform.http.calls.end();
        EXPECT_EQ(fetched, c.whileAsked != nullptr);
        EXPECT_EQ(platform.messages.shown,
                  (std::vector<std::string>{updateQuestion, std::string(updateNotVerified) + c.reason}));
        EXPECT_TRUE(platform.launcher.starts.empty());
        EXPECT_FALSE(platform.terminator.ended());
        EXPECT_FALSE(TestFiles::exists(folder / "update.ini"));
    }
}

TEST(MinisignKeyIdTest, IsNamedAsMinisignShowsIt)
{
    // Two ids from the comments minisign wrote in its public key files: it drops leading zeros.
    EXPECT_EQ(MinisignVerifier::keyIdText({0xB8, 0x90, 0x91, 0x28, 0x02, 0x6E, 0xB0, 0xE8}), "E8B06E02289190B8");
    EXPECT_EQ(MinisignVerifier::keyIdText({0xCD, 0x87, 0xDD, 0x48, 0x56, 0xE2, 0x0B, 0x00}), "BE25648DD87CD");
    EXPECT_EQ(MinisignVerifier::keyIdText({}), "0");
}

} // namespace
