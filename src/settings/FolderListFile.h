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

    /// True when `entry` holds a control character (0x00 to 0x1F, 0x7F): a NUL that a power cut left after a
    /// path, a tab, a line break. The system calls would take such a path only up to its NUL, our own path
    /// joins whole, so a run would never find what it copies.
    static bool hasControlCharacter(const std::string& entry);
    /// `entry` as the user can read it: each control character shown as its picture (U+2400 to U+241F, U+2421).
    static std::string printable(const std::string& entry);

    struct Loaded
    {
        Result result = Result::success(); ///< failure when the file exists but cannot be read
        std::vector<std::string> entries;  ///< the entries a run may back up
        /// Entries holding a control character, printable(); no run takes them, every run reports them.
        std::vector<std::string> refused;
    };
    /// Reads the list file of `programFolder`, which stays as it is. A missing file is no failure: the list is
    /// empty.
    static Loaded load(const FileSystem& fileSystem, const std::string& programFolder);
    /// Replaces the list file of `programFolder` with `entries`, whole (temporary file, then rename). Refuses
    /// an empty entry or one holding a control character (a line break too), and writes nothing then.
    static Result save(FileSystem& fileSystem, const std::string& programFolder,
                       const std::vector<std::string>& entries);
};
