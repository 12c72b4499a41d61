#pragma once

#include "LocalDateTime.h"
#include "MailSettings.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct RunReport;

/// What a report says: its subject and its body (UTF-8, lines ending in CR LF).
struct MailText
{
    std::string subject;
    std::string body;
};

/// The reports Kopirko mails, and the message around them.
namespace MailMessage {

/// Where the backups go and how much room is left there, for the end of every report.
struct Destination
{
    std::string folder;                     ///< BackupDir
    std::optional<std::uint64_t> freeBytes; ///< nothing when it could not be found out
};

/// True when `when` asks for a mail after a run that ended with `report`: a run that was not refused, and for
/// AfterProblems only when not every source was backed up whole.
bool mailsAfterRun(MailWhen when, const RunReport& report);
/// True when `when` asks for a mail as the warning about old backups starts.
bool mailsWarning(MailWhen when);

/// The report of a run that ended at `ended` on `computer`. Subject "Kopirko PRODAJA-1: rezervna kopija je
/// izradjena", "... nije potpuna" or "... nije izradjena"; the body gives the computer, the date and time, the
/// run's completion message (every source not backed up, with its reason, and the warnings), every file that
/// failed with its reason, the sources backed up whole, and the destination's free space.
MailText runReport(const std::string& computer, const RunReport& report, const LocalDateTime& ended,
                   const Destination& destination);

/// The warning that the last whole backup is old: `line` (BackupAgeWarning's) as subject and body.
MailText backupAgeWarning(const std::string& computer, const std::string& line, const LocalDateTime& now,
                          const Destination& destination);

/// The message the settings' test button sends.
MailText testMessage(const std::string& computer, const LocalDateTime& now);

/// `text` as a header may hold it: as it is when it is printable ASCII, else as MIME encoded words (UTF-8,
/// base64; each at most 75 characters and never splitting a character), folded onto continuation lines.
std::string encodedHeader(const std::string& text);

/// "Mon, 07 Dec 2026 19:01:05 +0000": the header Date of the moment `utc`.
std::string dateHeader(std::chrono::sys_seconds utc);

/// "<random hex.seconds@kopirko.invalid>": a Message-ID unique for every message (random bits from the standard
/// library's random device, and the moment).
std::string newMessageId(std::chrono::sys_seconds utc);

/// The whole message from `settings`' Od to every address of Za: headers (Date, From, To, Subject, Message-ID,
/// MIME-Version, Content-Type text/plain in UTF-8, Content-Transfer-Encoding base64) and the body in base64 lines
/// of 76 characters. Lines end in CR LF.
std::string render(const MailSettings& settings, const MailText& text, std::chrono::sys_seconds utc,
                   const std::string& messageId);

} // namespace MailMessage
