#include "KaseListText.h"

#include <array>
#include <charconv>
#include <utility>

namespace KaseListText {

namespace {

constexpr std::string_view header = "kopirko-kase 1";
constexpr std::string_view rowTag = "red";
constexpr std::string_view endTag = "kraj";
constexpr std::string_view problemTag = "greska";

constexpr std::array<std::pair<KaseProblem::Kind, std::string_view>, 6> kindNames{{
    {KaseProblem::Kind::CannotOpen, "otvaranje"},
    {KaseProblem::Kind::Damaged, "ostecena"},
    {KaseProblem::Kind::NoTable, "tabela"},
    {KaseProblem::Kind::NoColumn, "kolona"},
    {KaseProblem::Kind::NoDriver, "drajver"},
    {KaseProblem::Kind::DriverError, "odbc"},
}};

std::string escape(const std::string& field)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(field.size());
    for (const char byte : field) {
        const auto code = static_cast<unsigned char>(byte);
        if (byte == '\\') {
            text += "\\\\";
        } else if (code < 0x20 || code == 0x7F) {
            text += "\\x";
            text += hex[code >> 4];
            text += hex[code & 0x0F];
        } else {
            text += byte;
        }
    }
    return text;
}

int hexDigit(char digit)
{
    if (digit >= '0' && digit <= '9')
        return digit - '0';
    if (digit >= 'A' && digit <= 'F')
        return digit - 'A' + 10;
    return -1;
}

/// Well-formed UTF-8: no stray continuation bytes, no overlong forms, no surrogates, nothing above U+10FFFF.
bool isUtf8(std::string_view text)
{
    for (std::size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        std::size_t length = 0;
        char32_t code = 0;
        if (lead < 0x80) {
            ++at;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07;
        } else {
            return false;
        }
        if (at + length > text.size())
            return false;
        for (std::size_t next = 1; next < length; ++next) {
            const auto byte = static_cast<unsigned char>(text[at + next]);
            if ((byte & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (byte & 0x3F);
        }
        const char32_t smallest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
        if (code < smallest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        at += length;
    }
    return true;
}

std::optional<std::string> unescape(std::string_view field)
{
    std::string text;
    text.reserve(field.size());
    for (std::size_t at = 0; at < field.size(); ++at) {
        const auto code = static_cast<unsigned char>(field[at]);
        if (code < 0x20 || code == 0x7F)
            return std::nullopt; // written escaped, never as it is
        if (field[at] != '\\') {
            text += field[at];
        } else if (at + 1 < field.size() && field[at + 1] == '\\') {
            text += '\\';
            ++at;
        } else if (at + 3 < field.size() && field[at + 1] == 'x') {
            const int high = hexDigit(field[at + 2]);
            const int low = hexDigit(field[at + 3]);
            const int value = high * 16 + low;
            if (high < 0 || low < 0 || (value >= 0x20 && value != 0x7F))
                return std::nullopt;
            text += static_cast<char>(value);
            at += 3;
        } else {
            return std::nullopt;
        }
    }
    if (!isUtf8(text))
        return std::nullopt;
    return text;
}

std::vector<std::string_view> split(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos)
            return fields;
        start = tab + 1;
    }
}

/// A row count as written: decimal digits, no sign, no leading zero.
std::optional<std::size_t> count(std::string_view text)
{
    std::size_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || (text.size() > 1 && text[0] == '0'))
        return std::nullopt;
    return value;
}

} // namespace

std::string write(const KaseReadResult& result)
{
    std::string text(header);
    text += '\n';
    if (result.problem) {
        std::string_view kind;
        for (const auto& [known, name] : kindNames)
            if (known == result.problem->kind)
                kind = name;
        text += std::string(problemTag) + '\t' + std::string(kind) + '\t' + escape(result.problem->detail) + '\n';
        return text;
    }
    for (const CashRegister& row : result.rows)
        text += std::string(rowTag) + '\t' + escape(row.id) + '\t' + escape(row.label) + '\t' +
                escape(row.databasePath) + '\n';
    text += std::string(endTag) + '\t' + std::to_string(result.rows.size()) + '\n';
    return text;
}

std::optional<KaseReadResult> parse(const std::string& text)
{
    std::vector<std::string_view> lines;
    std::string_view rest(text);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        if (end == std::string_view::npos)
            return std::nullopt; // the last line lacks its line break: cut off
        lines.push_back(rest.substr(0, end));
        rest.remove_prefix(end + 1);
    }
    if (lines.size() < 2 || lines.front() != header)
        return std::nullopt;

    KaseReadResult result;
    const std::vector<std::string_view> last = split(lines.back());
    if (last.size() == 3 && last[0] == problemTag) {
        if (lines.size() != 2)
            return std::nullopt;
        const auto detail = unescape(last[2]);
        if (!detail)
            return std::nullopt;
        for (const auto& [kind, name] : kindNames)
            if (name == last[1])
                result.problem = KaseProblem{kind, *detail};
        if (!result.problem)
            return std::nullopt;
        return result;
    }

    const auto rows = last.size() == 2 && last[0] == endTag ? count(last[1]) : std::nullopt;
    if (!rows || *rows != lines.size() - 2)
        return std::nullopt;
    for (std::size_t index = 1; index + 1 < lines.size(); ++index) {
        const std::vector<std::string_view> fields = split(lines[index]);
        if (fields.size() != 4 || fields[0] != rowTag)
            return std::nullopt;
        auto id = unescape(fields[1]);
        auto label = unescape(fields[2]);
        auto path = unescape(fields[3]);
        if (!id || !label || !path)
            return std::nullopt;
        result.rows.push_back(CashRegister{std::move(*id), std::move(*label), std::move(*path)});
    }
    return result;
}

} // namespace KaseListText
