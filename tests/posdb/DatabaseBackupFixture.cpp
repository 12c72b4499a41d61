#include "DatabaseBackupFixture.h"

#include "TestFiles.h"

#include <algorithm>
#include <filesystem>

DatabaseBackupFixture::DatabaseBackupFixture()
{
    TestFiles::makeFolder(work);
    TestFiles::makeFolder(backup);
    test.appInfo.folder = work;
    test.appInfo.working = work;
    settings.BackupDir = backup;
    settings.AppFolderSuffix = "_Kasa";
    settings.VrijemeBackupa = "08:00";
    settings.NacinBackupa = 1;
}

std::string DatabaseBackupFixture::fixtureBytes(const std::string& name)
{
    return TestFiles::read(std::string(KOPIRKO_POSDB_FIXTURES) + "/" + name);
}

void DatabaseBackupFixture::installServerDatabase(const std::string& name)
{
    // Written anew rather than copied: the shared fixtures are read-only and the copy must not be.
    TestFiles::write(work + "/tezga.mdb", fixtureBytes(name));
}

void DatabaseBackupFixture::makeRegister(const std::string& relative,
                                         const std::vector<std::pair<std::string, std::string>>& files)
{
    TestFiles::makeFolder(work + "/" + relative);
    for (const auto& [name, content] : files)
        TestFiles::write(work + "/" + relative + "/" + name, content);
}

std::vector<std::string> DatabaseBackupFixture::entries(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> DatabaseBackupFixture::failedSources(const RunReport& report)
{
    std::vector<std::string> sources;
    for (const SourceFailure& failure : report.failed)
        sources.push_back(failure.source);
    return sources;
}
