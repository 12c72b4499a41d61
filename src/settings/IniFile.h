#pragma once

#include "Result.h"

#include <string>

class FileSystem;

/// One value at a time of a private-profile INI file ("[section]" lines, then "key=value" lines), with the
/// behaviour the settings rely on: section and key names match regardless of letter case; blanks around
/// names and values are removed, and one pair of enclosing double quotes around a value; lines starting
/// with ";" are comments; a value reads back cut to its first 255 characters.
class IniFile
{
public:
    /// Longest value a read gives back, in characters.
    static constexpr size_t maxValueLength = 255;

    /// The value of `key` in `section` of the INI text `content`, cut to `maxLength` characters; "" when the
    /// section, the key or the value is missing.
    static std::string valueIn(const std::string& content, const std::string& section, const std::string& key,
                               size_t maxLength = maxValueLength);

    /// `content` with `key` of `section` set to `value`: an existing line of that key is replaced, a missing
    /// key is added at the end of its section, a missing section is added at the end. Every other line
    /// (comments, blank lines, other sections, unknown keys) stays as it was, byte for byte. New lines end in
    /// CR LF.
    static std::string withValue(const std::string& content, const std::string& section, const std::string& key,
                                 const std::string& value);

    /// Checks that the three texts can be written without changing the meaning of the file: no CR or LF
    /// anywhere, no "]" in a section name, no "=" in a key, no empty name.
    static Result checkWritable(const std::string& section, const std::string& key, const std::string& value);

    /// Reads one value from the file at `path`; a missing or unreadable file gives "" and creates nothing. The
    /// file may be UTF-8 (with or without a byte-order mark), UTF-16 with its mark, or in the system's ANSI code
    /// page (a file of an earlier Windows install).
    static std::string read(const FileSystem& fileSystem, const std::string& path, const std::string& section,
                            const std::string& key, size_t maxLength = maxValueLength);

    /// Sets one value in the file at `path`, creating the file and the section when missing. The file is
    /// replaced whole (temporary file, then rename), so a failed write leaves it as it was. It keeps its form,
    /// but for a file in the ANSI code page, which becomes UTF-8.
    static Result write(FileSystem& fileSystem, const std::string& path, const std::string& section,
                        const std::string& key, const std::string& value);
};
