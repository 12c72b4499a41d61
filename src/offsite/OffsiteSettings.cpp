#include "OffsiteSettings.h"

#include "HostName.h"
#include "IniNumber.h"
#include "SecretProtector.h"
#include "SettingsStore.h"
#include "Utf8.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <sstream>

namespace {

constexpr const char* section = "S3";

Result badValue(const char* key, const std::string& value, const std::string& expected)
{
    return Result::failure(std::string("Podesavanje \"") + key + "\" = \"" + value + "\" nije ispravno: " + expected);
}

std::optional<int> numberIn(const std::string& text, int lowest, int highest)
{
    const auto number = parseIniInteger(text);
    if (!number || *number < lowest || *number > highest || text.find('.') != std::string::npos)
        return std::nullopt;
    return *number;
}

bool hasBlankOrControl(const std::string& text)
{
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= ' ' || byte == 0x7F;
    });
}

bool lower(const std::string& text, const char* start)
{
    std::string head = text.substr(0, std::string(start).size());
    std::transform(head.begin(), head.end(), head.begin(), [](unsigned char c) { return std::tolower(c); });
    return head == start;
}

/// The host of "scheme://host[:port]"; nothing when the address has a path, a user or anything but a plain host.
std::optional<std::string> hostOf(const std::string& address)
{
    const size_t start = address.find("://");
    if (start == std::string::npos)
        return std::nullopt;
    std::string rest = address.substr(start + 3);
    if (rest.ends_with('/'))
        rest.pop_back();
    if (rest.empty() || rest.find_first_of("/?#@ \\") != std::string::npos)
        return std::nullopt;
    std::string host = rest;
    std::string port;
    if (rest.front() == '[') { // [IPv6]:port
        const size_t close = rest.find(']');
        if (close == std::string::npos)
            return std::nullopt;
        host = rest.substr(1, close - 1);
        if (close + 1 < rest.size()) {
            if (rest[close + 1] != ':')
                return std::nullopt;
            port = rest.substr(close + 2);
        }
    } else if (const size_t colon = rest.rfind(':'); colon != std::string::npos) {
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        if (host.find(':') != std::string::npos)
            return std::nullopt;
    }
    if (!port.empty() && (port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos ||
                          std::stoi(port) < 1 || std::stoi(port) > 65535))
        return std::nullopt;
    if (!isPlainHostName(host))
        return std::nullopt;
    return host;
}

std::optional<std::array<int, 4>> ipv4Of(const std::string& host)
{
    std::array<int, 4> parts{};
    std::istringstream in(host);
    std::string part;
    for (int i = 0; i < 4; ++i) {
        if (!std::getline(in, part, '.') || part.empty() || part.size() > 3 ||
            part.find_first_not_of("0123456789") != std::string::npos)
            return std::nullopt;
        parts[i] = std::stoi(part);
        if (parts[i] > 255)
            return std::nullopt;
    }
    if (std::getline(in, part))
        return std::nullopt;
    return parts;
}

bool isBucketName(const std::string& name)
{
    if (name.size() < 3 || name.size() > 63 || name.front() == '-' || name.front() == '.' || name.back() == '-' ||
        name.back() == '.' || name.find("..") != std::string::npos)
        return false;
    return name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789.-_") == std::string::npos;
}

std::string trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

} // namespace

ObjectStoreAccount OffsiteSettings::account() const
{
    ObjectStoreAccount account;
    account.endpoint = Adresa.ends_with('/') ? Adresa.substr(0, Adresa.size() - 1) : Adresa;
    account.region = Regija;
    account.bucket = Bucket;
    account.accessKey = Kljuc;
    account.secretKey = Tajna;
    return account;
}

bool OffsiteSettingsStore::isLocalNetworkHost(const std::string& host)
{
    std::string name = host;
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    if (const auto ip = ipv4Of(name)) {
        const auto& a = *ip;
        return a[0] == 10 || a[0] == 127 || (a[0] == 172 && a[1] >= 16 && a[1] <= 31) || (a[0] == 192 && a[1] == 168) ||
               (a[0] == 169 && a[1] == 254);
    }
    if (name.find(':') != std::string::npos) // IPv6
        return name == "::1" || name.starts_with("fc") || name.starts_with("fd");
    return name == "localhost" || name.find('.') == std::string::npos || name.ends_with(".local") ||
           name.ends_with(".lan");
}

std::string OffsiteSettingsStore::usablePrefix(const std::string& name)
{
    const std::string prefix = trimmed(name);
    if (prefix.empty() || prefix.size() > 200 || !Utf8::isValid(prefix) ||
        prefix.find_first_of("\\*?\"<>|") != std::string::npos)
        return {};
    std::istringstream parts(prefix);
    for (std::string part; std::getline(parts, part, '/');)
        if (part.empty() || part == "." || part == ".." || hasBlankOrControl(std::string(1, part.front())) ||
            std::any_of(part.begin(), part.end(), [](char c) { return static_cast<unsigned char>(c) < ' '; }))
            return {};
    return prefix.ends_with('/') ? std::string() : prefix;
}

Result OffsiteSettingsStore::check(const OffsiteSettings& settings)
{
    const bool secure = lower(settings.Adresa, "https://");
    const std::optional<std::string> host = hostOf(settings.Adresa);
    if (!host || !(secure || lower(settings.Adresa, "http://")))
        return badValue("Adresa", settings.Adresa, "upisite adresu oblika https://server[:port], bez putanje");
    if (!secure && !isLocalNetworkHost(*host))
        return badValue("Adresa", settings.Adresa,
                        "bez sifrovanja (http://) se salje samo skladistu na lokalnoj mrezi; upisite https://");
    if (settings.Regija.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-_") != std::string::npos)
        return badValue("Regija", settings.Regija, "samo mala slova, brojevi i \"-\"");
    if (!isBucketName(settings.Bucket))
        return badValue("Bucket", settings.Bucket, "od 3 do 63 mala slova, broja, \".\" ili \"-\"");
    if (settings.Kljuc.empty() || hasBlankOrControl(settings.Kljuc) || settings.Kljuc.size() > 128)
        return badValue("Kljuc", settings.Kljuc, "kljuc za pristup ne smije biti prazan niti imati razmake");
    // The secret's value is never repeated in a message.
    if (settings.Tajna.empty() || hasBlankOrControl(settings.Tajna) || settings.Tajna.size() > 256)
        return Result::failure("Podesavanje \"Tajna\" nije ispravno: tajni kljuc ne smije biti prazan niti imati "
                               "razmake");
    if (usablePrefix(settings.Prefiks) != settings.Prefiks || settings.Prefiks.empty())
        return badValue("Prefiks", settings.Prefiks, "imena odvojena sa \"/\", bez \\ * ? \" < > | i bez \"..\"");
    if (settings.ZakljucatiDana < 0 || settings.ZakljucatiDana > longestLockDays)
        return badValue("ZakljucatiDana", std::to_string(settings.ZakljucatiDana),
                        "broj dana od 0 do " + std::to_string(longestLockDays));
    if (settings.Slati != 0 && settings.Slati != 1)
        return badValue("Slati", std::to_string(settings.Slati), "0 ili 1");
    return Result::success();
}

std::vector<std::string> OffsiteSettingsStore::warnings(const OffsiteSettings& settings)
{
    std::vector<std::string> found;
    if (lower(settings.Adresa, "http://"))
        found.push_back("Upozorenje: adresa \"" + settings.Adresa +
                        "\" nije sifrovana (http://); kljuc i podaci idu mrezom otvoreno. Koristite je samo za "
                        "skladiste na lokalnoj mrezi.");
    return found;
}

Result OffsiteSettingsStore::load(const SettingsStore& store, const SecretProtector& secrets,
                                  const std::string& computerName, OffsiteSettings& settings)
{
    OffsiteSettings read;
    auto value = [&](const char* key) { return trimmed(store.ReadIniValue(section, key)); };
    if (const std::string text = value("Slati"); !text.empty()) {
        const auto send = numberIn(text, 0, 1);
        if (!send)
            return badValue("Slati", text, "0 ili 1");
        read.Slati = *send;
    }
    if (const std::string text = value("ZakljucatiDana"); !text.empty()) {
        const auto days = numberIn(text, 0, longestLockDays);
        if (!days)
            return badValue("ZakljucatiDana", text, "broj dana od 0 do " + std::to_string(longestLockDays));
        read.ZakljucatiDana = *days;
    }
    read.Adresa = value("Adresa");
    read.Regija = value("Regija");
    read.Bucket = value("Bucket");
    read.Kljuc = value("Kljuc");
    read.Prefiks = store.ReadIniValue(section, "Prefiks");
    if (trimmed(read.Prefiks).empty()) {
        read.Prefiks = usablePrefix(computerName);
        if (read.Prefiks.empty())
            read.Prefiks = "kopirko";
    }
    if (const std::string stored = store.ReadLongIniValue(section, "Tajna"); !stored.empty()) {
        if (Result revealed = secrets.reveal(stored, read.Tajna); !revealed)
            return Result::failure("Podesavanje \"Tajna\" se ne moze procitati: " + revealed.error());
    }
    if (read.Slati != 0) {
        if (Result checked = check(read); !checked)
            return checked;
    }
    settings = std::move(read);
    return Result::success();
}

Result OffsiteSettingsStore::save(SettingsStore& store, const SecretProtector& secrets, const OffsiteSettings& settings)
{
    if (Result checked = check(settings); !checked)
        return checked;
    std::string secret;
    if (Result protectedSecret = secrets.protect(settings.Tajna, secret); !protectedSecret)
        return protectedSecret;
    const std::pair<const char*, std::string> values[] = {
        {"Adresa", settings.Adresa},   {"Regija", settings.Regija},
        {"Bucket", settings.Bucket},   {"Kljuc", settings.Kljuc},
        {"Prefiks", settings.Prefiks}, {"ZakljucatiDana", std::to_string(settings.ZakljucatiDana)},
    };
    for (const auto& [key, text] : values)
        if (Result written = store.WriteIniValue(section, key, text); !written)
            return written;
    if (Result guarded = secrets.guardFile(store.IniFilePath()); !guarded)
        return guarded;
    if (Result written = store.WriteIniValue(section, "Tajna", secret); !written)
        return written;
    // Last: a section half written never starts the sending.
    return store.WriteIniValue(section, "Slati", std::to_string(settings.Slati));
}
