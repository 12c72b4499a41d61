#include "MailMessage.h"

#include "Base64.h"
#include "RunReport.h"

#include <cstdio>
#include <random>

namespace {

constexpr const char* lineEnd = "\r\n";
/// Files named in a report per source at most: a folder that could not be read at all would otherwise make a
/// mail of every file in it.
constexpr size_t maxFilesPerSource = 50;

std::string heading(const std::string& computer, const LocalDateTime& moment)
{
    return "Racunar: " + computer + lineEnd + "Vrijeme: " + formatDateDots(moment.date) + " u " +
           formatHourMinute(moment) + lineEnd;
}

std::string sizeText(std::uint64_t bytes)
{
    const char* units[] = {"B", "KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes);
    size_t unit = 0;
    while (value >= 1024 && unit + 1 < std::size(units)) {
        value /= 1024;
        ++unit;
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, unit == 0 ? "%.0f %s" : "%.1f %s", value, units[unit]);
    return buffer;
}

std::string destinationLines(const MailMessage::Destination& destination)
{
    std::string lines = std::string(lineEnd) + "Odrediste: " + destination.folder + lineEnd + "Slobodan prostor: " +
                        (destination.freeBytes ? sizeText(*destination.freeBytes) : "nije poznat") + lineEnd;
    return lines;
}

std::string subjectOf(const std::string& computer, const std::string& result)
{
    return "Kopirko " + computer + ": " + result;
}

bool isPrintableAscii(const std::string& text)
{
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E)
            return false;
    return true;
}

/// The header of an address list: "a@b.ba, c@d.ba".
std::string addressList(const std::vector<std::string>& addresses)
{
    std::string list;
    for (const std::string& address : addresses)
        list += (list.empty() ? "" : ", ") + address;
    return list;
}

} // namespace

bool MailMessage::mailsAfterRun(MailWhen when, const RunReport& report)
{
    if (report.refused || when == MailWhen::Never)
        return false;
    return when == MailWhen::AfterEveryRun || report.hasFailures();
}

bool MailMessage::mailsWarning(MailWhen when)
{
    return when != MailWhen::Never;
}

MailText MailMessage::runReport(const std::string& computer, const RunReport& report, const LocalDateTime& ended,
                                const Destination& destination)
{
    MailText text;
    const char* result = !report.runFailure.empty() || (report.backedUp.empty() && !report.failed.empty())
                             ? "rezervna kopija nije izradjena"
                         : report.hasFailures() ? "rezervna kopija nije potpuna"
                                                : "rezervna kopija je izradjena";
    text.subject = subjectOf(computer, result);
    std::string& body = text.body;
    body = heading(computer, ended) + lineEnd + completionMessage(report) + lineEnd;
    for (const SourceFailure& failure : report.failed) {
        if (failure.files.empty())
            continue;
        body += std::string(lineEnd) + failure.source + ":" + lineEnd;
        for (size_t i = 0; i < failure.files.size() && i < maxFilesPerSource; ++i)
            body += "    " + failure.files[i].path + ": " + failure.files[i].reason + lineEnd;
        if (failure.files.size() > maxFilesPerSource)
            body += "    ... i jos " + std::to_string(failure.files.size() - maxFilesPerSource) + lineEnd;
    }
    if (!report.backedUp.empty()) {
        body += std::string(lineEnd) + "Rezervne kopije su izradjene za:" + lineEnd;
        for (const std::string& source : report.backedUp)
            body += "    " + source + lineEnd;
    }
    body += destinationLines(destination);
    return text;
}

MailText MailMessage::backupAgeWarning(const std::string& computer, const std::string& line, const LocalDateTime& now,
                                       const Destination& destination)
{
    MailText text;
    text.subject = subjectOf(computer, line);
    text.body = heading(computer, now) + lineEnd + line + lineEnd + destinationLines(destination);
    return text;
}

MailText MailMessage::testMessage(const std::string& computer, const LocalDateTime& now)
{
    MailText text;
    text.subject = subjectOf(computer, "probna poruka");
    text.body = heading(computer, now) + lineEnd + "Ovo je probna poruka programa Kopirko: izvjestaji o rezervnim " +
                "kopijama stizu na ovu adresu." + lineEnd;
    return text;
}

std::string MailMessage::encodedHeader(const std::string& text)
{
    if (isPrintableAscii(text))
        return text;
    // "=?UTF-8?B?" + base64 + "?=" fits in 75 characters with at most 45 bytes (60 base64 characters).
    constexpr size_t maxBytes = 45;
    std::string header;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = std::min(start + maxBytes, text.size());
        while (end < text.size() && end > start && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            --end;
        if (end == start)
            end = std::min(start + maxBytes, text.size());
        header += (header.empty() ? "" : "\r\n ") + std::string("=?UTF-8?B?") +
                  Base64::encode(text.substr(start, end - start)) + "?=";
        start = end;
    }
    return header;
}

std::string MailMessage::dateHeader(std::chrono::sys_seconds utc)
{
    static constexpr const char* weekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const auto day = std::chrono::floor<std::chrono::days>(utc);
    const std::chrono::year_month_day date{day};
    const std::chrono::hh_mm_ss time{utc - day};
    const std::chrono::weekday weekday{day};
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s, %02u %s %04d %02d:%02d:%02d +0000", weekdays[weekday.c_encoding()],
                  static_cast<unsigned>(date.day()), months[static_cast<unsigned>(date.month()) - 1],
                  static_cast<int>(date.year()), static_cast<int>(time.hours().count()),
                  static_cast<int>(time.minutes().count()), static_cast<int>(time.seconds().count()));
    return buffer;
}

std::string MailMessage::newMessageId(std::chrono::sys_seconds utc)
{
    std::random_device random;
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "<%08x%08x%08x.%lld@kopirko.invalid>", random(), random(), random(),
                  static_cast<long long>(utc.time_since_epoch().count()));
    return buffer;
}

std::string MailMessage::render(const MailSettings& settings, const MailText& text, std::chrono::sys_seconds utc,
                                const std::string& messageId)
{
    std::string message;
    message += "Date: " + dateHeader(utc) + lineEnd;
    message += "From: " + settings.Od + lineEnd;
    message += "To: " + addressList(settings.Za) + lineEnd;
    message += "Subject: " + encodedHeader(text.subject) + lineEnd;
    message += "Message-ID: " + messageId + lineEnd;
    message += std::string("MIME-Version: 1.0") + lineEnd;
    message += std::string("Content-Type: text/plain; charset=UTF-8") + lineEnd;
    message += std::string("Content-Transfer-Encoding: base64") + lineEnd;
    message += lineEnd;
    const std::string body = Base64::encode(text.body);
    for (size_t at = 0; at < body.size(); at += 76)
        message += body.substr(at, 76) + lineEnd;
    return message;
}
