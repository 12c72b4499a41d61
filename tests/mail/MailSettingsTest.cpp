#include "MailSettings.h"

#include "SettingsStore.h"
#include "SystemPlatform.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

class MailSettingsTest : public ::testing::Test
{
protected:
    TempDir dir;
    SystemFileSystem fileSystem;
    SystemSecretProtector secrets;
    SettingsStore store{fileSystem, dir / "KOPIRKO.ini"};

    MailSettings valid() const
    {
        MailSettings settings;
        settings.Server = "smtp.firma.test";
        settings.Port = 587;
        settings.Sifrovanje = MailEncryption::StartTls;
        settings.Korisnik = "prodaja@firma.test";
        settings.Lozinka = "abcd efgh ijkl mnop";
        settings.Od = "prodaja@firma.test";
        settings.Za = {"vlasnik@firma.test", "knjigovodja@firma.test"};
        settings.Slati = MailWhen::AfterProblems;
        return settings;
    }
};

TEST_F(MailSettingsTest, SavedSettingsReadBackAndThePasswordIsNotReadableByOthers)
{
    TestFiles::write(dir / "KOPIRKO.ini", "[BACKUP]\r\nVrijemeBackupa=20:00\r\n");
    ASSERT_TRUE(MailSettingsStore::save(store, secrets, valid()));
    MailSettings read;
    ASSERT_TRUE(MailSettingsStore::load(store, secrets, read));
    EXPECT_EQ(read.Server, "smtp.firma.test");
    EXPECT_EQ(read.Port, 587);
    EXPECT_EQ(read.Sifrovanje, MailEncryption::StartTls);
    EXPECT_EQ(read.Korisnik, "prodaja@firma.test");
    EXPECT_EQ(read.Lozinka, "abcd efgh ijkl mnop");
    EXPECT_EQ(read.Za, valid().Za);
    EXPECT_EQ(read.Slati, MailWhen::AfterProblems);
    EXPECT_EQ(store.ReadIniValue("POSTA", "Za"), "vlasnik@firma.test;knjigovodja@firma.test");
    EXPECT_EQ(store.ReadIniValue("BACKUP", "VrijemeBackupa"), "20:00");

#ifdef _WIN32
    // Encrypted for this user: the password is nowhere in the file.
    EXPECT_EQ(TestFiles::read(dir / "KOPIRKO.ini").find("abcd"), std::string::npos);
    std::string revealed;
    EXPECT_FALSE(secrets.reveal("bm90IGEgYmxvYg==", revealed));
#else
    // Linux keeps the password as it is, in a file only its owner can read; later writes keep that.
    struct stat info
    {};
    ASSERT_EQ(::stat((dir / "KOPIRKO.ini").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_TRUE(store.WriteIniValue("BACKUP", "Brisati", "1"));
    ASSERT_EQ(::stat((dir / "KOPIRKO.ini").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
#endif
}

TEST_F(MailSettingsTest, MissingKeysMeanNoMailAndAnEmptyPortIsTheEncryptionsOwn)
{
    MailSettings read;
    ASSERT_TRUE(MailSettingsStore::load(store, secrets, read));
    EXPECT_EQ(read.Slati, MailWhen::Never);
    for (const auto& [encryption, port] : {std::pair{"0", 25}, std::pair{"1", 587}, std::pair{"2", 465}}) {
        TestFiles::write(dir / "KOPIRKO.ini", std::string("[POSTA]\r\nServer=mail.test\r\nSifrovanje=") + encryption +
                                                  "\r\nOd=a@b.test\r\nZa= c@d.test ; ;e@f.test;\r\nSlati=2\r\n");
        ASSERT_TRUE(MailSettingsStore::load(store, secrets, read));
        EXPECT_EQ(read.Port, port);
        EXPECT_EQ(read.Za, (std::vector<std::string>{"c@d.test", "e@f.test"}));
        EXPECT_TRUE(read.Korisnik.empty() && read.Lozinka.empty());
    }
}

TEST_F(MailSettingsTest, AValueThatIsNoSettingFailsTheLoadNamingItsKeyAndIsNotSaved)
{
    const std::string good = "[POSTA]\r\nServer=mail.test\r\nPort=25\r\nSifrovanje=0\r\nOd=a@b.test\r\nZa=c@d.test\r\n"
                             "Slati=1\r\n";
    struct Bad
    {
        const char* key;
        const char* value;
    };
    for (const Bad& bad :
         {Bad{"Port", "0"}, Bad{"Port", "65536"}, Bad{"Port", "2 5"}, Bad{"Port", "-25"}, Bad{"Sifrovanje", "3"},
          Bad{"Sifrovanje", "1.5"}, Bad{"Slati", "da"}, Bad{"Slati", "-1"}, Bad{"Server", "mail.test;rm"},
          Bad{"Server", "-oProxyCommand"}, Bad{"Server", ""}, Bad{"Od", "nema-majmuna"}, Bad{"Od", "a@b.test>"},
          Bad{"Za", "c@d.test;x y@z.test"}, Bad{"Za", ""}}) {
        SCOPED_TRACE(std::string(bad.key) + "=" + bad.value);
        std::string text = good;
        const size_t at = text.find(std::string(bad.key) + "=");
        text.replace(at, text.find("\r\n", at) - at, std::string(bad.key) + "=" + bad.value);
        TestFiles::write(dir / "KOPIRKO.ini", text);
        MailSettings read;
        read.Server = "earlier";
        const Result loaded = MailSettingsStore::load(store, secrets, read);
        EXPECT_FALSE(loaded);
        EXPECT_NE(loaded.error().find(std::string("\"") + bad.key + "\""), std::string::npos) << loaded.error();
        EXPECT_EQ(read.Server, "earlier");
    }

    TestFiles::write(dir / "KOPIRKO.ini", good);
    MailSettings wrong = valid();
    wrong.Za = {"vlasnik@firma.test\r\nBcc: x@y.test"};
    EXPECT_FALSE(MailSettingsStore::save(store, secrets, wrong));
    wrong = valid();
    wrong.Lozinka = "a\nb";
    EXPECT_FALSE(MailSettingsStore::save(store, secrets, wrong));
    EXPECT_EQ(TestFiles::read(dir / "KOPIRKO.ini"), good);
}

TEST_F(MailSettingsTest, AStoredPasswordThatCannotBeReadBackFailsTheLoad)
{
#ifdef _WIN32
    // Not what this program writes (typed in by hand, or copied from another user's file).
    TestFiles::write(dir / "KOPIRKO.ini", "[POSTA]\r\nLozinka=lozinka u cistom tekstu\r\n");
    MailSettings read;
    const Result loaded = MailSettingsStore::load(store, secrets, read);
    EXPECT_FALSE(loaded);
    EXPECT_NE(loaded.error().find("\"Lozinka\""), std::string::npos);
    EXPECT_EQ(loaded.error().find("lozinka u cistom"), std::string::npos) << "the error must not show the password";
#else
    GTEST_SKIP() << "Linux stores the password as it is: every stored text reads back";
#endif
}

} // namespace
