#include "SettingsStore.h"

#include "IniFile.h"
#include "IniNumber.h"
#include "Paths.h"

#include <cstdint>

SettingsStore::SettingsStore(FileSystem& fileSystem, std::string iniFilePath)
    : m_fileSystem(fileSystem), m_iniFilePath(std::move(iniFilePath))
{}

std::string SettingsStore::ReadIniValue(const std::string& section, const std::string& key) const
{
    return IniFile::read(m_fileSystem, m_iniFilePath, section, key);
}

std::string SettingsStore::ReadLongIniValue(const std::string& section, const std::string& key) const
{
    return IniFile::read(m_fileSystem, m_iniFilePath, section, key, std::string::npos);
}

Result SettingsStore::WriteIniValue(const std::string& section, const std::string& key, const std::string& value)
{
    return IniFile::write(m_fileSystem, m_iniFilePath, section, key, value);
}

Result SettingsStore::LoadSettings(BackupSettings& settings, const std::string& programFolder) const
{
    settings.AppFolderSuffix = "_" + Paths::lastComponent(programFolder);

    struct Field
    {
        const char* key;
        std::string* text;
        std::int16_t* number;
    };
    const Field fields[] = {
        {"VrijemeBackupa", &settings.VrijemeBackupa, nullptr},
        {"BackupDir", &settings.BackupDir, nullptr},
        {"NacinBackupa", nullptr, &settings.NacinBackupa},
        {"OpsegBackupa", nullptr, &settings.OpsegBackupa},
        {"Brisati", nullptr, &settings.Brisati},
        {"Starost", nullptr, &settings.Starost},
        {"GasitiRacunar", nullptr, &settings.GasitiRacunar},
        {"GasenjeRacunaraMreze", nullptr, &settings.GasenjeRacunaraMreze},
        {"ZIPOVANJE", nullptr, &settings.ZIPOVANJE},
    };
    for (const Field& field : fields) {
        const std::string value = ReadIniValue("BACKUP", field.key);
        if (value.empty())
            continue;
        if (field.text) {
            *field.text = value;
            continue;
        }
        const auto number = parseIniInteger(value);
        if (!number)
            return Result::failure(std::string("the setting \"") + field.key + "\" holds \"" + value +
                                   "\", which is not a whole number from -32768 to 32767; it and the settings "
                                   "after it were not loaded");
        *field.number = *number;
    }
    return Result::success();
}
