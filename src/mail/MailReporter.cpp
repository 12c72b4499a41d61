#include "MailReporter.h"

MailDelivery MailReporter::send(MailSender& sender, const MailSettings& settings, const MailText& text,
                                std::chrono::sys_seconds utc)
{
    if (Result checked = MailSettingsStore::check(settings); !checked) {
        MailDelivery refused;
        refused.result = checked;
        return refused;
    }
    MailEnvelope envelope;
    envelope.from = settings.Od;
    envelope.to = settings.Za;
    envelope.message = MailMessage::render(settings, text, utc, MailMessage::newMessageId(utc));
    return sender.send(settings.server(), envelope);
}

std::optional<MailDelivery> MailReporter::reportRun(MailSender& sender, const MailSettings& settings,
                                                    const std::string& computer, const RunReport& report,
                                                    const LocalDateTime& ended,
                                                    const MailMessage::Destination& destination,
                                                    std::chrono::sys_seconds utc)
{
    if (!MailMessage::mailsAfterRun(settings.Slati, report))
        return std::nullopt;
    return send(sender, settings, MailMessage::runReport(computer, report, ended, destination), utc);
}

std::optional<MailDelivery> MailReporter::reportWarning(MailSender& sender, const MailSettings& settings,
                                                        const std::string& computer, const std::string& line,
                                                        const LocalDateTime& now,
                                                        const MailMessage::Destination& destination,
                                                        std::chrono::sys_seconds utc)
{
    if (!MailMessage::mailsWarning(settings.Slati))
        return std::nullopt;
    return send(sender, settings, MailMessage::backupAgeWarning(computer, line, now, destination), utc);
}

std::string MailReporter::failureLine(const MailDelivery& delivery)
{
    return "Izvjestaj nije poslan postom: " + delivery.result.error();
}

std::string MailReporter::testOutcome(const MailDelivery& delivery)
{
    if (!delivery.result)
        return "Probna poruka nije poslana: " + delivery.result.error();
    return "Probna poruka je poslana. Server je odgovorio: " + delivery.serverAnswer;
}
