#pragma once

#include "Result.h"

#include <string>
#include <vector>

class FileSystem;

/// The folder list file "backuplista.ini" beside the program: one source folder per line, CR LF after
/// every line, nothing else.
class FolderListFile
{
public:
    /// The file's name in the program folder.
    static constexpr const char* fileName = "backuplista.ini";

    /// The entries of a list file's text: a line ends at CR (a LF right after it is skipped) or at a lone LF;
    /// a last line without terminator counts; empty lines are skipped; nothing is trimmed.
    static std::vector<std::string> parse(const std::string& content);
    /// The text of a list file: every entry followed by CR LF; an empty list gives "".
    static std::string format(const std::vector<std::string>& entries);

    struct Loaded
    {
        Result result = Result::success(); ///< failure when the file exists but cannot be read
        std::vector<std::string> entries;
    };
    /// Reads the list file of `programFolder`. A missing file is no failure: the list is empty.
    static Loaded load(const FileSystem& fileSystem, const std::string& programFolder);
    /// Replaces the list file of `programFolder` with `entries`, whole (temporary file, then rename). Refuses
    /// an empty entry or one holding a line break, and writes nothing then.
    static Result save(FileSystem& fileSystem, const std::string& programFolder,
                       const std::vector<std::string>& entries);
};
