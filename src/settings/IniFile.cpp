#include "IniFile.h"

#include "FileSystem.h"
#include "SettingsText.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <vector>

namespace {

struct Line
{
    std::string text;       ///< without its line end
    std::string terminator; ///< "\r\n", "\n", "\r" or "" for a last line without one
};

std::vector<Line> splitLines(const std::string& content)
{
    std::vector<Line> lines;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = start;
        while (end < content.size() && content[end] != '\r' && content[end] != '\n')
            ++end;
        Line line{content.substr(start, end - start), {}};
        if (end < content.size()) {
            if (content[end] == '\r' && end + 1 < content.size() && content[end + 1] == '\n')
                line.terminator = "\r\n";
            else
                line.terminator = content.substr(end, 1);
        }
        start = end + line.terminator.size();
        lines.push_back(std::move(line));
    }
    return lines;
}

std::string trimmed(const std::string& text)
{
    size_t start = 0;
    size_t end = text.size();
    while (start < end && (text[start] == ' ' || text[start] == '\t'))
        ++start;
    while (end > start && (text[end - 1] == ' ' || text[end - 1] == '\t'))
        --end;
    return text.substr(start, end - start);
}

bool sameName(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

/// The section name of a "[name]" line, or nothing for any other line.
std::optional<std::string> sectionName(const std::string& line)
{
    const std::string text = trimmed(line);
    if (text.size() < 2 || text.front() != '[')
        return std::nullopt;
    const auto close = text.find(']');
    if (close == std::string::npos)
        return std::nullopt;
    return trimmed(text.substr(1, close - 1));
}

bool isComment(const std::string& line)
{
    const std::string text = trimmed(line);
    return !text.empty() && text.front() == ';';
}

/// The key of a "key=value" line, or nothing.
std::optional<std::string> keyName(const std::string& line)
{
    if (isComment(line))
        return std::nullopt;
    const auto equals = line.find('=');
    if (equals == std::string::npos)
        return std::nullopt;
    return trimmed(line.substr(0, equals));
}

/// Cuts UTF-8 text after `count` characters (continuation bytes do not count).
std::string firstCharacters(const std::string& text, size_t count)
{
    size_t characters = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            if (characters == count)
                return text.substr(0, i);
            ++characters;
        }
    }
    return text;
}

} // namespace

std::string IniFile::valueIn(const std::string& content, const std::string& section, const std::string& key,
                             size_t maxLength)
{
    bool inSection = false;
    for (const Line& line : splitLines(content)) {
        if (const auto name = sectionName(line.text)) {
            inSection = sameName(*name, section);
            continue;
        }
        if (!inSection)
            continue;
        const auto lineKey = keyName(line.text);
        if (!lineKey || !sameName(*lineKey, key))
            continue;
        std::string value = trimmed(line.text.substr(line.text.find('=') + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        return firstCharacters(value, maxLength);
    }
    return {};
}

std::string IniFile::withValue(const std::string& content, const std::string& section, const std::string& key,
                               const std::string& value)
{
    std::vector<Line> lines = splitLines(content);
    const std::string newLine = key + "=" + value;

    // Find the first section of that name, the key in it, and its last non-blank line.
    std::optional<size_t> sectionLine;
    std::optional<size_t> lastInSection;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (const auto name = sectionName(lines[i].text)) {
            if (sectionLine)
                break;
            if (sameName(*name, section)) {
                sectionLine = i;
                lastInSection = i;
            }
            continue;
        }
        if (!sectionLine)
            continue;
        if (const auto lineKey = keyName(lines[i].text); lineKey && sameName(*lineKey, key)) {
            lines[i].text = newLine;
            std::string result;
            for (const Line& line : lines)
                result += line.text + line.terminator;
            return result;
        }
        if (!trimmed(lines[i].text).empty())
            lastInSection = i;
    }

    // A line that is added after the last one needs that last line to be ended first.
    if (!lines.empty() && lines.back().terminator.empty())
        lines.back().terminator = "\r\n";
    if (sectionLine) {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*lastInSection + 1), Line{newLine, "\r\n"});
    } else {
        lines.push_back(Line{"[" + section + "]", "\r\n"});
        lines.push_back(Line{newLine, "\r\n"});
    }
    std::string result;
    for (const Line& line : lines)
        result += line.text + line.terminator;
    return result;
}

Result IniFile::checkWritable(const std::string& section, const std::string& key, const std::string& value)
{
    auto hasLineBreak = [](const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; };
    if (hasLineBreak(section) || hasLineBreak(key) || hasLineBreak(value))
        return Result::failure("the setting \"" + key + "\" was not saved: a line break cannot be stored in it");
    if (trimmed(section).empty() || section.find(']') != std::string::npos)
        return Result::failure("\"" + section + "\" cannot be used as a section name");
    if (trimmed(key).empty() || key.find('=') != std::string::npos)
        return Result::failure("\"" + key + "\" cannot be used as a key name");
    return Result::success();
}

std::string IniFile::read(const FileSystem& fileSystem, const std::string& path, const std::string& section,
                          const std::string& key, size_t maxLength)
{
    const auto content = fileSystem.readFile(path);
    return content ? valueIn(SettingsText::decode(*content).text, section, key, maxLength) : std::string();
}

Result IniFile::write(FileSystem& fileSystem, const std::string& path, const std::string& section,
                      const std::string& key, const std::string& value)
{
    if (Result writable = checkWritable(section, key, value); !writable)
        return writable;
    SettingsText::Decoded content;
    if (fileSystem.exists(path)) {
        const auto existing = fileSystem.readFile(path);
        if (!existing)
            return Result::failure("the settings file \"" + path + "\" cannot be read, so it was not changed");
        content = SettingsText::decode(*existing);
    }
    return fileSystem.writeFileAtomically(
        path, SettingsText::encode(withValue(content.text, section, key, value), content.encoding));
}
