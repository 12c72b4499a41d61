#pragma once

#include "RegisterReader.h"

#include <chrono>
#include <string>

class CommandRunner;
class FileSystem;

/// Reads the registers by running the program kopirko-kase (KaseListText.h) in a child process with a time
/// limit: a damaged database that crashes or hangs the reading library takes only that process down. The
/// program writes its text into a temporary file that this reader names and removes, so any number of rows
/// fits. A crash, a time-out or a text that is not exactly what the program writes reports the database as
/// damaged; the program missing or failing to start is reported as such.
class HelperRegisterReader : public RegisterReader
{
public:
    static constexpr std::chrono::milliseconds defaultTimeLimit{60000};

    /// `program`: full path of kopirko-kase. `temporaryFolder`: an existing folder for the text.
    HelperRegisterReader(CommandRunner& runner, FileSystem& fileSystem, std::string program,
                         std::string temporaryFolder, std::chrono::milliseconds timeLimit = defaultTimeLimit);

    RegisterListing readRegisters(const std::string& databaseFile) const override;

private:
    std::string temporaryFile() const;

    CommandRunner& m_runner;
    FileSystem& m_fileSystem;
    std::string m_program;
    std::string m_temporaryFolder;
    std::chrono::milliseconds m_timeLimit;
};
