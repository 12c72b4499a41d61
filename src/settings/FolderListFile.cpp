#include "FolderListFile.h"

#include "FileSystem.h"
#include "Paths.h"
#include "SettingsText.h"

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
    loaded.entries = parse(SettingsText::decode(*content).text);
    return loaded;
}

Result FolderListFile::save(FileSystem& fileSystem, const std::string& programFolder,
                            const std::vector<std::string>& entries)
{
    for (const std::string& entry : entries) {
        if (entry.empty())
            return Result::failure("the folder list was not saved: it holds an empty entry");
        if (entry.find_first_of("\r\n") != std::string::npos)
            return Result::failure("the folder list was not saved: the entry \"" + entry + "\" holds a line break");
    }
    const std::string path = Paths::join(programFolder, fileName);
    if (Result written = fileSystem.writeFileAtomically(path, format(entries)); !written)
        return Result::failure("the folder list was not saved: " + written.error());
    return Result::success();
}
