#pragma once

#include "MailMessage.h"
#include "MailSender.h"

#include <chrono>
#include <optional>
#include <string>

/// Sends a report and words the outcome for the page "Backup" and the settings. Blocks until the server took
/// the message, refused it or the time limit ran out: the window calls it away from its own thread, once per
/// report (a failure is shown, never retried).
namespace MailReporter {

/// Renders `text` from `settings` at `utc` and sends it to every address of Za. The settings are checked first
/// (MailSettingsStore::check); nothing is sent when they fail.
MailDelivery send(MailSender& sender, const MailSettings& settings, const MailText& text, std::chrono::sys_seconds utc);

/// After a run: sends its report when `settings` ask for one after such a run (MailMessage::mailsAfterRun);
/// nothing when they do not. The backup's own result is never changed by what happens here.
std::optional<MailDelivery> reportRun(MailSender& sender, const MailSettings& settings, const std::string& computer,
                                      const RunReport& report, const LocalDateTime& ended,
                                      const MailMessage::Destination& destination, std::chrono::sys_seconds utc);

/// As the warning about old backups starts (BackupAgeWarning's `overdue` turning true): sends `line` when the
/// settings ask for mail at all; nothing when they do not.
std::optional<MailDelivery> reportWarning(MailSender& sender, const MailSettings& settings, const std::string& computer,
                                          const std::string& line, const LocalDateTime& now,
                                          const MailMessage::Destination& destination, std::chrono::sys_seconds utc);

/// The status line after a report that could not be sent: "Izvjestaj nije poslan postom: " + why.
std::string failureLine(const MailDelivery& delivery);

/// What the test button says: "Probna poruka je poslana. Server je odgovorio: 250 ..." or "Probna poruka nije
/// poslana: " + why.
std::string testOutcome(const MailDelivery& delivery);

} // namespace MailReporter
