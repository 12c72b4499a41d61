#include "RegisterRules.h"

#include "FileNames.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace RegisterRules {

namespace {

bool isContinuationByte(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

/// Where rows land in "order by id": null first, then numbers, then other texts.
struct IdKey
{
    int group = 0; ///< 0 null, 1 number, 2 other text
    double number = 0;
    std::string text;

    explicit IdKey(const std::string& id) : text(id)
    {
        if (id.empty())
            return;
        const char* end = id.data() + id.size();
        const auto [stop, error] = std::from_chars(id.data(), end, number);
        group = error == std::errc() && stop == end && !std::isnan(number) ? 1 : 2;
    }

    bool operator<(const IdKey& other) const
    {
        if (group != other.group)
            return group < other.group;
        return group == 1 ? number < other.number : text < other.text;
    }
};

} // namespace

void orderById(std::vector<CashRegister>& registers)
{
    std::vector<std::pair<IdKey, CashRegister>> keyed;
    keyed.reserve(registers.size());
    for (CashRegister& cashRegister : registers)
        keyed.emplace_back(IdKey(cashRegister.id), std::move(cashRegister));
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& left, const auto& right) { return left.first < right.first; });
    registers.clear();
    for (auto& entry : keyed)
        registers.push_back(std::move(entry.second));
}

std::size_t characterCount(const std::string& text)
{
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char byte) { return !isContinuationByte(byte); }));
}

std::optional<std::string> databaseFolder(const std::string& databasePath)
{
    constexpr std::size_t fileNameLength = 9;
    if (characterCount(databasePath) <= fileNameLength - 1)
        return std::nullopt;
    // Walk back over 9 characters: each one is a lead byte preceded by its continuation bytes.
    std::size_t cut = databasePath.size();
    for (std::size_t dropped = 0; dropped < fileNameLength; ++dropped) {
        do
            --cut;
        while (cut > 0 && isContinuationByte(databasePath[cut]));
    }
    return databasePath.substr(0, cut);
}

std::optional<std::string> folderNameProblem(const std::string& label)
{
    if (label.empty())
        return "kasa nema oznaku, pa nema ni ime fascikle";
    if (label == "." || label == "..")
        return "oznaka \"" + label + "\" ne moze biti ime fascikle";
    const bool control = std::any_of(label.begin(), label.end(), [](char byte) {
        const auto code = static_cast<unsigned char>(byte);
        return code < 0x20 || code == 0x7F;
    });
    if (control)
        return "oznaka kase sadrzi kontrolne znakove pa ne moze biti ime fascikle";
    if (const auto problem = FileNames::problem(label))
        return "oznaka \"" + label + "\" " + *problem + " pa ne moze biti ime fascikle";
    return std::nullopt;
}

} // namespace RegisterRules
