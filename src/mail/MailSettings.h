#pragma once

#include "MailSender.h"
#include "Result.h"

#include <string>
#include <vector>

class SecretProtector;
class SettingsStore;

/// When a report goes out by mail ("Slati").
enum class MailWhen {
    Never = 0,         ///< no mail
    AfterProblems = 1, ///< after a run that was not whole, and when the warning about old backups starts
    AfterEveryRun = 2  ///< after every run, and when the warning starts
};

/// Section "POSTA" of KOPIRKO.ini: the mail server, the account and who gets the reports.
struct MailSettings
{
    std::string Server;
    int Port = 25; ///< an empty "Port" gives the usual port of the encryption: 25, 587 or 465
    MailEncryption Sifrovanje = MailEncryption::None;
    std::string Korisnik;        ///< empty: the server is not asked to authenticate
    std::string Lozinka;         ///< in clear here; stored through the SecretProtector
    std::string Od;              ///< the sender's address
    std::vector<std::string> Za; ///< one or more addresses, stored separated by ";"
    MailWhen Slati = MailWhen::Never;

    /// The server and account as the sender takes them.
    MailServer server() const;
};

/// Reads and writes section "POSTA".
namespace MailSettingsStore {

/// Fills `settings` from the file. Missing keys keep the defaults (no mail); a value that is no valid setting
/// (a port that is no number from 1 to 65535, an encryption or "Slati" outside 0..2, a server that is no plain
/// name or address, an address that is none, a password that cannot be read back) fails the load, naming the key
/// and its value (never the password's), and then nothing is to be sent.
Result load(const SettingsStore& store, const SecretProtector& secrets, MailSettings& settings);

/// Checks that `settings` can send: a plain server name or address, a port from 1 to 65535, plain sender and
/// recipient addresses (at least one), no line break in the account. A failure names the key.
Result check(const MailSettings& settings);

/// Checks `settings` as load() would read them back, and writes every key of the section (the password through
/// `secrets`, after the file was guarded by it). Writes nothing when the check fails.
Result save(SettingsStore& store, const SecretProtector& secrets, const MailSettings& settings);

/// True for an address the program can put into a message: one "@" with text on both sides, no blanks, no
/// control characters, and none of <>()[],;:\" (which would change the meaning of a header or an SMTP command).
bool isPlainAddress(const std::string& address);

/// The usual port of `encryption`: 25, 587 (STARTTLS) or 465 (TLS).
int defaultPort(MailEncryption encryption);

} // namespace MailSettingsStore
