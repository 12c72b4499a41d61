#include "MailSettings.h"

#include "HostName.h"
#include "IniNumber.h"
#include "SecretProtector.h"
#include "SettingsStore.h"

#include <optional>

namespace {

constexpr const char* section = "POSTA";

std::string trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::vector<std::string> splitAddresses(const std::string& text)
{
    std::vector<std::string> addresses;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(';', start);
        if (end == std::string::npos)
            end = text.size();
        if (std::string address = trimmed(text.substr(start, end - start)); !address.empty())
            addresses.push_back(address);
        start = end + 1;
    }
    return addresses;
}

Result badValue(const char* key, const std::string& value, const std::string& expected)
{
    return Result::failure(std::string("the mail setting \"") + key + "\" holds \"" + value + "\", " + expected);
}

/// A whole number from `lowest` to `highest`; nothing for any other text.
std::optional<int> numberIn(const std::string& text, int lowest, int highest)
{
    const auto number = parseIniInteger(text);
    if (!number || *number < lowest || *number > highest || text.find('.') != std::string::npos)
        return std::nullopt;
    return *number;
}

/// The port as a text that load() reads back; ports above 32767 are no 16-bit INI number, so it is read here.
std::optional<int> portIn(const std::string& text)
{
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const int port = std::stoi(text);
    if (port < 1 || port > 65535)
        return std::nullopt;
    return port;
}

} // namespace

Result MailSettingsStore::check(const MailSettings& settings)
{
    if (!isPlainHostName(settings.Server))
        return badValue("Server", settings.Server, "which is no computer name or address");
    if (settings.Port < 1 || settings.Port > 65535)
        return badValue("Port", std::to_string(settings.Port), "which is no port from 1 to 65535");
    if (!MailSettingsStore::isPlainAddress(settings.Od))
        return badValue("Od", settings.Od, "which is no mail address");
    if (settings.Za.empty())
        return Result::failure("the mail setting \"Za\" names no address to send to");
    for (const std::string& to : settings.Za)
        if (!MailSettingsStore::isPlainAddress(to))
            return badValue("Za", to, "which is no mail address");
    if (settings.Korisnik.find_first_of("\r\n") != std::string::npos ||
        settings.Lozinka.find_first_of("\r\n") != std::string::npos)
        return Result::failure("the mail account's name and password cannot hold a line break");
    return Result::success();
}

MailServer MailSettings::server() const
{
    MailServer server;
    server.host = Server;
    server.port = Port;
    server.encryption = Sifrovanje;
    server.user = Korisnik;
    server.password = Lozinka;
    return server;
}

bool MailSettingsStore::isPlainAddress(const std::string& address)
{
    const size_t at = address.find('@');
    if (at == std::string::npos || at == 0 || at + 1 == address.size() ||
        address.find('@', at + 1) != std::string::npos)
        return false;
    for (const char c : address) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= ' ' || byte == 0x7F || std::string("<>()[],;:\\\"").find(c) != std::string::npos)
            return false;
    }
    return address.size() <= 254;
}

int MailSettingsStore::defaultPort(MailEncryption encryption)
{
    switch (encryption) {
    case MailEncryption::StartTls:
        return 587;
    case MailEncryption::Tls:
        return 465;
    case MailEncryption::None:
        break;
    }
    return 25;
}

Result MailSettingsStore::load(const SettingsStore& store, const SecretProtector& secrets, MailSettings& settings)
{
    MailSettings read;
    auto value = [&](const char* key) { return store.ReadIniValue(section, key); };

    if (const std::string text = value("Slati"); !text.empty()) {
        const auto when = numberIn(text, 0, 2);
        if (!when)
            return badValue("Slati", text, "which is none of 0, 1 and 2");
        read.Slati = static_cast<MailWhen>(*when);
    }
    if (const std::string text = value("Sifrovanje"); !text.empty()) {
        const auto encryption = numberIn(text, 0, 2);
        if (!encryption)
            return badValue("Sifrovanje", text, "which is none of 0, 1 and 2");
        read.Sifrovanje = static_cast<MailEncryption>(*encryption);
    }
    read.Port = defaultPort(read.Sifrovanje);
    if (const std::string text = value("Port"); !text.empty()) {
        const auto port = portIn(text);
        if (!port)
            return badValue("Port", text, "which is no port from 1 to 65535");
        read.Port = *port;
    }
    read.Server = value("Server");
    read.Korisnik = value("Korisnik");
    read.Od = value("Od");
    read.Za = splitAddresses(value("Za"));
    if (const std::string stored = store.ReadLongIniValue(section, "Lozinka"); !stored.empty()) {
        if (Result revealed = secrets.reveal(stored, read.Lozinka); !revealed)
            return Result::failure("the mail setting \"Lozinka\" cannot be read: " + revealed.error());
    }
    if (read.Slati != MailWhen::Never) {
        if (Result checked = MailSettingsStore::check(read); !checked)
            return checked;
    }
    settings = std::move(read);
    return Result::success();
}

Result MailSettingsStore::save(SettingsStore& store, const SecretProtector& secrets, const MailSettings& settings)
{
    if (Result checked = MailSettingsStore::check(settings); !checked)
        return checked;
    std::string password;
    if (!settings.Lozinka.empty()) {
        if (Result protectedPassword = secrets.protect(settings.Lozinka, password); !protectedPassword)
            return protectedPassword;
    }
    std::string to;
    for (const std::string& address : settings.Za)
        to += (to.empty() ? "" : ";") + address;
    const std::pair<const char*, std::string> values[] = {
        {"Server", settings.Server},
        {"Port", std::to_string(settings.Port)},
        {"Sifrovanje", std::to_string(static_cast<int>(settings.Sifrovanje))},
        {"Korisnik", settings.Korisnik},
        {"Od", settings.Od},
        {"Za", to},
        {"Slati", std::to_string(static_cast<int>(settings.Slati))},
    };
    for (const auto& [key, text] : values)
        if (Result written = store.WriteIniValue(section, key, text); !written)
            return written;
    if (!password.empty()) {
        if (Result guarded = secrets.guardFile(store.IniFilePath()); !guarded)
            return guarded;
    }
    return store.WriteIniValue(section, "Lozinka", password);
}
