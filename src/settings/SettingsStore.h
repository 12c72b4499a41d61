#pragma once

#include "BackupSettings.h"
#include "Result.h"

#include <string>

class FileSystem;

/// The INI file the program's settings live in, and the loader that copies section "BACKUP" into the
/// settings record. Every access reads or writes one value; nothing is cached.
class SettingsStore
{
public:
    explicit SettingsStore(FileSystem& fileSystem, std::string iniFilePath = {});

    /// The file ReadIniValue and WriteIniValue work on.
    const std::string& IniFilePath() const { return m_iniFilePath; }
    void setIniFilePath(std::string path) { m_iniFilePath = std::move(path); }

    /// One value of `section`/`key`, cut to 255 characters; "" when the file, section or key is missing.
    std::string ReadIniValue(const std::string& section, const std::string& key) const;

    /// One value of `section`/`key` whole, however long (a value no earlier version reads, such as a protected
    /// password); "" when the file, section or key is missing.
    std::string ReadLongIniValue(const std::string& section, const std::string& key) const;

    /// Sets one value, creating the file and the section when missing. Refuses (and writes nothing) a text
    /// holding a line break; a failure says what could not be written and why.
    Result WriteIniValue(const std::string& section, const std::string& key, const std::string& value);

    /// Fills `settings` from section "BACKUP" in the fixed key order and computes AppFolderSuffix from
    /// `programFolder`. A missing or empty key leaves its field as it was. A number key that is no whole
    /// number in -32768..32767 ends the load at that key: the fields before it keep their new values, that
    /// one and the ones after it their old ones, and the failure names the key.
    Result LoadSettings(BackupSettings& settings, const std::string& programFolder) const;

private:
    FileSystem& m_fileSystem;
    std::string m_iniFilePath;
};
