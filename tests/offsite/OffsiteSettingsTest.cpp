#include "OffsiteSettings.h"

#include "SettingsStore.h"
#include "SystemPlatform.h"
#include "TestFiles.h"
#include "TestPlatform.h"

#include <gtest/gtest.h>

namespace {

class OffsiteSettingsTest : public ::testing::Test
{
protected:
    TempDir dir;
    SystemFileSystem fileSystem;
    FakeSecretProtector secrets;
    SettingsStore store{fileSystem, dir / "KOPIRKO.ini"};

    static OffsiteSettings valid()
    {
        OffsiteSettings settings;
        settings.Adresa = "https://s3.eu-central-1.example.com";
        settings.Regija = "eu-central-1";
        settings.Bucket = "prodavnica-kopije";
        settings.Kljuc = "AKIAEXAMPLE";
        settings.Tajna = "wJalrXUtnFEMI/K7MDENG";
        settings.Prefiks = "PRODAJA-1";
        settings.ZakljucatiDana = 30;
        settings.Slati = 1;
        return settings;
    }
};

TEST_F(OffsiteSettingsTest, SavedSettingsReadBackWithTheSecretProtectedAndThePrefixDefaulted)
{
    ASSERT_TRUE(OffsiteSettingsStore::save(store, secrets, valid()));
    EXPECT_EQ(TestFiles::read(dir / "KOPIRKO.ini").find("wJalrXUtnFEMI"), std::string::npos);
    OffsiteSettings read;
    ASSERT_TRUE(OffsiteSettingsStore::load(store, secrets, "KASA-2", read));
    EXPECT_EQ(read.account().endpoint, "https://s3.eu-central-1.example.com");
    EXPECT_EQ(read.Tajna, "wJalrXUtnFEMI/K7MDENG");
    EXPECT_EQ(read.Prefiks, "PRODAJA-1");
    EXPECT_EQ(read.ZakljucatiDana, 30);
    EXPECT_EQ(read.Slati, 1);

    ASSERT_TRUE(store.WriteIniValue("S3", "Prefiks", ""));
    ASSERT_TRUE(OffsiteSettingsStore::load(store, secrets, "KASA-2", read));
    EXPECT_EQ(read.Prefiks, "KASA-2");
    ASSERT_TRUE(OffsiteSettingsStore::load(store, secrets, "a/../b", read));
    EXPECT_EQ(read.Prefiks, "kopirko");
}

struct BadSetting
{
    const char* key;
    const char* value;
    friend void PrintTo(const BadSetting& s, std::ostream* out) { *out << s.key << "=" << s.value; }
};

class OffsiteBadSettingTest : public OffsiteSettingsTest, public ::testing::WithParamInterface<BadSetting>
{};

TEST_P(OffsiteBadSettingTest, ABadValueFailsTheLoadNamingTheKeyButNeverTheSecret)
{
    ASSERT_TRUE(OffsiteSettingsStore::save(store, secrets, valid()));
    if (std::string(GetParam().key) == "Tajna") {
        std::string stored;
        ASSERT_TRUE(secrets.protect(GetParam().value, stored));
        ASSERT_TRUE(store.WriteIniValue("S3", "Tajna", stored));
    } else {
        ASSERT_TRUE(store.WriteIniValue("S3", GetParam().key, GetParam().value));
    }
    OffsiteSettings read;
    const Result loaded = OffsiteSettingsStore::load(store, secrets, "KASA-2", read);
    ASSERT_FALSE(loaded);
    EXPECT_NE(loaded.error().find(std::string("\"") + GetParam().key + "\""), std::string::npos) << loaded.error();
    EXPECT_EQ(loaded.error().find("wJalrXUtnFEMI"), std::string::npos);
    EXPECT_EQ(read.Bucket, ""); // nothing taken from a section that failed
}

INSTANTIATE_TEST_SUITE_P(
    Values, OffsiteBadSettingTest,
    ::testing::Values(BadSetting{"Adresa", "http://s3.example.com"}, BadSetting{"Adresa", "ftp://10.0.0.5"},
                      BadSetting{"Adresa", "https://s3.example.com/kopije"},
                      BadSetting{"Adresa", "https://user@s3.example.com"}, BadSetting{"Adresa", "https://h:99999"},
                      BadSetting{"Bucket", "Kopije_Prodavnice!"}, BadSetting{"Bucket", "ab"}, BadSetting{"Kljuc", ""},
                      BadSetting{"Tajna", "wJalrXUtnFEMI K7"}, BadSetting{"Prefiks", "kasa/../drugi"},
                      BadSetting{"Prefiks", "kasa\\1"}, BadSetting{"ZakljucatiDana", "-1"},
                      BadSetting{"ZakljucatiDana", "sedam"}, BadSetting{"Slati", "2"}));

TEST(OffsiteAddressTest, PlainHttpOnlyOnTheLocalNetworkAndThenWithAWarning)
{
    OffsiteSettings settings;
    settings.Bucket = "kopije";
    settings.Kljuc = "k";
    settings.Tajna = "t";
    settings.Prefiks = "p";
    for (const char* address : {"http://192.168.1.5:7480", "http://10.1.2.3", "http://nas.local:9000",
                                "http://nas:9000", "http://[::1]:7480", "http://172.20.0.4"}) {
        settings.Adresa = address;
        EXPECT_TRUE(OffsiteSettingsStore::check(settings)) << address;
        EXPECT_EQ(OffsiteSettingsStore::warnings(settings).size(), 1u) << address;
    }
    for (const char* address : {"http://172.32.0.4", "http://8.8.8.8", "http://s3.example.com"}) {
        settings.Adresa = address;
        EXPECT_FALSE(OffsiteSettingsStore::check(settings)) << address;
    }
    settings.Adresa = "https://s3.example.com:8443/";
    EXPECT_TRUE(OffsiteSettingsStore::check(settings));
    EXPECT_TRUE(OffsiteSettingsStore::warnings(settings).empty());
    EXPECT_EQ(settings.account().endpoint, "https://s3.example.com:8443");
}

} // namespace
