#include "FolderListFile.h"

#include "FileSystem.h"
#include "Paths.h"
#include "SettingsText.h"

#include <algorithm>

std::vector<std::string> FolderListFile::parse(const std::string& content)
{
    std::vector<std::string> entries;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = content.size();
        if (end > start)
            entries.push_back(content.substr(start, end - start));
        start = end + 1;
        if (end < content.size() && content[end] == '\r' && start < content.size() && content[start] == '\n')
            ++start;
    }
    return entries;
}

std::string FolderListFile::format(const std::vector<std::string>& entries)
{
    std::string content;
    for (const std::string& entry : entries)
        content += entry + "\r\n";
    return content;
}

bool FolderListFile::hasControlCharacter(const std::string& entry)
{
    return std::any_of(entry.begin(), entry.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

std::string FolderListFile::printable(const std::string& entry)
{
    std::string shown;
    for (const char c : entry) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20)
            shown += {'\xE2', '\x90', static_cast<char>(0x80 + byte)};
        else if (byte == 0x7F)
            shown += "\xE2\x90\xA1";
        else
            shown += c;
    }
    return shown;
}

FolderListFile::Loaded FolderListFile::load(const FileSystem& fileSystem, const std::string& programFolder)
{
    Loaded loaded;
    const std::string path = Paths::join(programFolder, fileName);
    if (!fileSystem.exists(path))
        return loaded;
    const auto content = fileSystem.readFile(path);
    if (!content) {
        loaded.result = Result::failure("the folder list \"" + path + "\" cannot be read");
        return loaded;
    }
    for (std::string& entry : parse(SettingsText::decode(*content).text)) {
        if (hasControlCharacter(entry))
            loaded.refused.push_back(printable(entry));
        else
            loaded.entries.push_back(std::move(entry));
    }
    return loaded;
}

Result FolderListFile::save(FileSystem& fileSystem, const std::string& programFolder,
                            const std::vector<std::string>& entries)
{
    for (const std::string& entry : entries) {
        if (entry.empty())
            return Result::failure("the folder list was not saved: it holds an empty entry");
        if (hasControlCharacter(entry))
            return Result::failure("the folder list was not saved: the entry \"" + printable(entry) +
                                   "\" holds a control character");
    }
    const std::string path = Paths::join(programFolder, fileName);
    if (Result written = fileSystem.writeFileAtomically(path, format(entries)); !written)
        return Result::failure("the folder list was not saved: " + written.error());
    return Result::success();
}
