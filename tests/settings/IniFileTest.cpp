#include "IniFile.h"
#include "SystemPlatform.h"
#include "TestFiles.h"
#include "Utf8.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// An INI file as a person or another editor leaves it: comments, blank lines, odd case, quotes, LF and CR LF
// mixed, blanks around names and values.
const std::string editorIni = "; settings of the shop computer\r\n\r\n"
                              "[pod]\r\nURLUpdate=old.example/kopirko\r\n\r\n"
                              "  [ Backup ]  \nvrijemebackupa =  08:00  \n;BackupDir=/commented/out\n"
                              "BACKUPDIR=\"/mnt/backup disk\"\nUnknown=kept\r\nStarost=\r\n"
                              "[Other]\r\nBackupDir=/wrong/section\r\n";

TEST(IniFileTest, ReadsWhatAnEditorWroteInTheWholeSectionAndCutsLongValuesTo255Characters)
{
    const std::tuple<const char*, const char*, const char*> cases[] = {{"BACKUP", "VrijemeBackupa", "08:00"},
                                                                       {"backup", "BackupDir", "/mnt/backup disk"},
                                                                       {"BACKUP", "Unknown", "kept"},
                                                                       {"BACKUP", "Starost", ""},
                                                                       {"BACKUP", "Missing", ""},
                                                                       {"POD", "urlupdate", "old.example/kopirko"},
                                                                       {"Other", "BackupDir", "/wrong/section"},
                                                                       {"Nowhere", "BackupDir", ""}};
    for (const auto& [section, key, expected] : cases)
        EXPECT_EQ(IniFile::valueIn(editorIni, section, key), expected) << section << "/" << key;

    EXPECT_EQ(IniFile::valueIn("[BACKUP]\r\nBackupDir=" + std::string(300, 'x') + "\r\n", "BACKUP", "BackupDir"),
              std::string(255, 'x'));
    // Characters, not bytes: a path of "š" (two bytes each) is not cut in the middle of one.
    std::string wide;
    for (int i = 0; i < 300; ++i)
        wide += "š";
    EXPECT_EQ(IniFile::valueIn("[BACKUP]\nBackupDir=" + wide + "\n", "BACKUP", "BackupDir"), wide.substr(0, 510));
}

// A write changes one line (or adds one at the end of its section, or a section at the end) and keeps every
// other byte of the file as it was.
TEST(IniFileTest, WriteTouchesOnlyItsOwnLine)
{
    const std::string replaced = IniFile::withValue(editorIni, "BACKUP", "vrijemeBACKUPA", "22:00");
    std::string expected = editorIni;
    expected.replace(expected.find("vrijemebackupa =  08:00  "), 25, "vrijemeBACKUPA=22:00");
    EXPECT_EQ(replaced, expected);

    const std::string added = IniFile::withValue(editorIni, "Backup", "ZIPOVANJE", "1");
    expected = editorIni;
    expected.insert(expected.find("[Other]"), "ZIPOVANJE=1\r\n");
    EXPECT_EQ(added, expected);

    EXPECT_EQ(IniFile::withValue("[POD]\r\nURLUpdate=x", "BACKUP", "Brisati", "1"),
              "[POD]\r\nURLUpdate=x\r\n[BACKUP]\r\nBrisati=1\r\n");
}

class IniFileOnDiskTest : public ::testing::Test
{
protected:
    TempDir dir;
    SystemFileSystem fileSystem;
    const std::string path = dir / "KOPIRKO.ini";
};

TEST_F(IniFileOnDiskTest, FileIsCreatedByAWriteNeverByAReadAndARefusedWriteChangesNothing)
{
    EXPECT_EQ(IniFile::read(fileSystem, path, "BACKUP", "BackupDir"), "");
    EXPECT_FALSE(TestFiles::exists(path));

    ASSERT_TRUE(IniFile::write(fileSystem, path, "BACKUP", "BackupDir", "/backups"));
    ASSERT_TRUE(IniFile::write(fileSystem, path, "POD", "URLUpdate", "u/kopirko"));
    ASSERT_TRUE(IniFile::write(fileSystem, path, "BACKUP", "BackupDir", ""));
    const std::string written = "[BACKUP]\r\nBackupDir=\r\n[POD]\r\nURLUpdate=u/kopirko\r\n";
    EXPECT_EQ(TestFiles::read(path), written);

    for (const auto& [section, key, value] : {std::tuple{"BACKUP", "BackupDir", "/x\r\nNacinBackupa=1"},
                                              {"BACKUP", "BackupDir", "/a\nb"},
                                              {"BACK]UP", "BackupDir", "/a"},
                                              {"BACKUP", "Backup=Dir", "/a"},
                                              {"BACKUP", "", "/a"}}) {
        const Result refused = IniFile::write(fileSystem, path, section, key, value);
        EXPECT_FALSE(refused) << key << "=" << value;
        EXPECT_FALSE(refused.error().empty());
    }
    EXPECT_EQ(TestFiles::read(path), written);
}

/// Files an editor saved with a byte-order mark or in UTF-16 are read, and a key written keeps their form. A file of
/// an earlier Windows install is in the ANSI code page: "Čaša" in Windows-1250 is C8 61 9A 61 (octal 310 a 232 a).
/// Windows reads it in the system's code page (1250 under hr_HR.UTF-8, 1252 under C.UTF-8, where C8 is È), and a
/// key written turns it into UTF-8; Linux has no ANSI code page and keeps the bytes.
TEST_F(IniFileOnDiskTest, FilesWithAByteOrderMarkInUtf16OrInTheAnsiCodePageAreRead)
{
    const std::string text = "[BACKUP]\r\nBackupDir=D:\\Kopije\\Čaša Кк\r\n", key = "ZIPOVANJE=1\r\n";
    auto utf16 = [](const std::string& utf8, bool littleEndian) {
        std::string bytes = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
        for (const char16_t unit : Utf8::toUtf16(utf8)) {
            const char low = static_cast<char>(unit & 0xFF);
            const char high = static_cast<char>(unit >> 8);
            bytes += littleEndian ? std::string{low, high} : std::string{high, low};
        }
        return bytes;
    };
#ifdef _WIN32
    ASSERT_TRUE(::GetACP() == 1250 || ::GetACP() == 1252) << "code page " << ::GetACP();
    const std::string ansi = ::GetACP() == 1250 ? "D:\\Kopije\\Čaša" : "D:\\Kopije\\Èaša";
#else
    const std::string ansi = "D:\\Kopije\\\310a\232a";
#endif
    // What is stored, the value read, the file after a key is written.
    const std::tuple<std::string, std::string, std::string> forms[] = {
        {"\xEF\xBB\xBF" + text, "D:\\Kopije\\Čaša Кк", "\xEF\xBB\xBF" + text + key},
        {utf16(text, true), "D:\\Kopije\\Čaša Кк", utf16(text + key, true)},
        {utf16(text, false), "D:\\Kopije\\Čaša Кк", utf16(text + key, false)},
        {"[BACKUP]\r\nBackupDir=D:\\Kopije\\\310a\232a\r\n", ansi, "[BACKUP]\r\nBackupDir=" + ansi + "\r\n" + key}};
    for (const auto& [stored, value, afterWrite] : forms) {
        TestFiles::write(path, stored);
        EXPECT_EQ(IniFile::read(fileSystem, path, "BACKUP", "BackupDir"), value);
        ASSERT_TRUE(IniFile::write(fileSystem, path, "BACKUP", "ZIPOVANJE", "1"));
        EXPECT_EQ(TestFiles::read(path), afterWrite);
    }
}

} // namespace
