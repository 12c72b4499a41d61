#include "BackupWatch.h"

#include "AppContext.h"
#include "Clock.h"
#include "ComputerName.h"
#include "FreeSpace.h"
#include "MailOutbox.h"
#include "MailReporter.h"
#include "MissedRunCheck.h"
#include "OffsiteCourier.h"
#include "OffsiteSender.h"
#include "RunGuard.h"
#include "RunReport.h"
#include "RunStatusLines.h"

#include <QTimer>

#include <chrono>
#include <thread>

namespace {

/// The catch-up run waits this long after it is found missed, so that the window is up before it starts.
constexpr int catchUpDelayMs = 15 * 1000;
constexpr int ageCheckIntervalMs = 60 * 60 * 1000;

std::chrono::sys_seconds utcNow()
{
    return std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
}

} // namespace

BackupWatch::BackupWatch(AppContext& context, RunStatusLines& lines, Hooks hooks, QObject* parent)
    : QObject(parent), m_context(context), m_lines(lines), m_hooks(std::move(hooks)), m_records(context.settingsStore),
      m_ageTimer(new QTimer(this)), m_catchUpTimer(new QTimer(this)), m_outbox(new MailOutbox(this)),
      m_courier(new OffsiteCourier(
          [this](const OffsiteProgress& progress) {
              if (m_hooks.offsiteProgress)
                  m_hooks.offsiteProgress(progress);
          },
          this))
{
    m_ageTimer->setObjectName(QStringLiteral("ageWarningTimer"));
    m_ageTimer->setInterval(ageCheckIntervalMs);
    connect(m_ageTimer, &QTimer::timeout, this, &BackupWatch::checkAge);
    m_catchUpTimer->setObjectName(QStringLiteral("catchUpTimer"));
    m_catchUpTimer->setSingleShot(true);
    m_catchUpTimer->setInterval(catchUpDelayMs);
    connect(m_catchUpTimer, &QTimer::timeout, this, &BackupWatch::onCatchUpDue);
}

BackupWatch::~BackupWatch() = default;

void BackupWatch::startWatching()
{
    checkAge();
    m_ageTimer->start();
}

void BackupWatch::checkMissedRun()
{
    const BackupSettings& settings = m_context.backupSettings;
    if (m_catchUpTimer->isActive() || !MissedRunCheck::applies(settings, m_records.loadWatchSettings()))
        return;
    const std::optional<LocalDateTime> due = MissedRunCheck::missedDueTime(
        m_context.platform.clock.now(), settings.VrijemeBackupa, m_records.lastTimedRun());
    if (!due)
        return;
    m_lines.setStatusLine(MissedRunCheck::catchUpLine(*due));
    m_catchUpTimer->start();
}

void BackupWatch::onTick(const LocalDateTime& now, bool runInProgress)
{
    const std::optional<LocalDateTime> previous = std::exchange(m_previousTick, now);
    if (!runInProgress && previous && MissedRunCheck::clockJumped(*previous, now))
        checkMissedRun();
}

void BackupWatch::onCatchUpDue()
{
    m_catchUpTimer->stop(); // when called before its time
    if (RunGuard::busy()) {
        m_catchUpTimer->start();
        return;
    }
    // The daily timer may have made the run meanwhile, or the settings changed.
    const BackupSettings& settings = m_context.backupSettings;
    if (!MissedRunCheck::applies(settings, m_records.loadWatchSettings()) ||
        !MissedRunCheck::missedDueTime(m_context.platform.clock.now(), settings.VrijemeBackupa,
                                       m_records.lastTimedRun()))
        return;
    m_hooks.startTimedRun();
}

void BackupWatch::runStarted(bool timed)
{
    m_runStart = m_context.platform.clock.now();
    m_runTimed = timed;
}

void BackupWatch::runFinished(const RunReport& report)
{
    if (report.refused)
        return;
    const LocalDateTime ended = m_context.platform.clock.now();
    // A record that cannot be written costs at most one more catch-up run or an early warning: the run itself
    // stands as it ended, and its report says how.
    if (m_runTimed && m_runStart)
        (void)m_records.recordTimedRun(*m_runStart);
    m_runTimed = false;
    if (BackupAgeWarning::isWhole(report))
        (void)m_records.recordWholeBackup(ended);
    checkAge();

    // `offsiteFailed`: the copy away from the shop is not whole, which is mailed as a run that was not whole is
    // (the local result in the subject stays the run's own).
    auto mailReport = [this, ended](const RunReport& mailed, bool offsiteFailed) {
        mail([mailed, ended, offsiteFailed](MailSender& sender, const MailSettings& settings,
                                            const MailMessage::Destination& destination) {
            MailSettings asked = settings;
            if (offsiteFailed && asked.Slati == MailWhen::AfterProblems)
                asked.Slati = MailWhen::AfterEveryRun;
            return MailReporter::reportRun(sender, asked, thisComputerName(), mailed, ended, destination, utcNow());
        });
    };
    std::vector<std::chrono::year_month_day> dates{ended.date};
    if (m_runStart && m_runStart->date != ended.date)
        dates.insert(dates.begin(), m_runStart->date);
    const bool sending = sendOffsite(dates, [this, report, mailReport](const OffsiteOutcome& outcome) {
        if (m_hooks.offsiteDone)
            m_hooks.offsiteDone(outcome);
        RunReport mailed = report;
        mailed.warnings.insert(mailed.warnings.end(), outcome.problems.begin(), outcome.problems.end());
        mailReport(mailed, !outcome.whole());
    });
    if (!sending)
        mailReport(report, false);
}

bool BackupWatch::sendOffsite(const std::vector<std::chrono::year_month_day>& dates,
                              const std::function<void(const OffsiteOutcome&)>& then)
{
    const std::string asked = m_context.settingsStore.ReadIniValue("S3", "Slati");
    if (asked.empty() || asked == "0")
        return false;
    OffsiteSettings settings;
    if (const Result loaded = OffsiteSettingsStore::load(m_context.settingsStore, m_context.platform.secrets,
                                                         thisComputerName(), settings);
        !loaded) {
        OffsiteOutcome failed;
        failed.problems.push_back("Slanje van lokala: podesavanje nije ispravno: " + loaded.error());
        then(failed);
        return true;
    }
    if (settings.Slati != 1)
        return false;
    OffsiteDayRequest request;
    request.settings = settings;
    request.backupDir = m_context.backupSettings.BackupDir;
    request.dates = dates;
    request.today = m_context.platform.clock.now().date;
    request.Brisati = m_context.backupSettings.Brisati;
    request.Starost = m_context.backupSettings.Starost;
    ObjectStore& store = m_context.platform.objectStore;
    const FileSystem& disk = m_context.platform.fileSystem;
    m_courier->post(
        [request, &store, &disk](const std::function<void(const OffsiteProgress&)>& progress,
                                 const std::function<bool()>& stop) {
            OffsiteDayRequest now = request;
            now.utcNow = utcNow();
            OffsiteSender::Options options;
            options.progress = progress;
            options.stop = stop;
            // Asked again within two minutes at most, never while the program ends.
            options.retry.wait = [stop](std::chrono::milliseconds wait) {
                for (auto waited = std::chrono::milliseconds(0); waited < wait && !stop();
                     waited += std::chrono::milliseconds(100))
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
            };
            return OffsiteSender(store, disk, options).sendDay(now);
        },
        then);
    return true;
}

void BackupWatch::checkAge()
{
    const LocalDateTime now = m_context.platform.clock.now();
    const WatchSettings watch = m_records.loadWatchSettings();
    const BackupAgeWarning::Status status =
        BackupAgeWarning::check(now, watch.warningDays, m_records.lastWholeBackup(), m_records.watchedSince(now));
    const bool started = status.overdue && !m_status.overdue;
    const bool changed = status.overdue != m_status.overdue || status.line != m_status.line;
    m_status = status;
    // The warning stands on the first line until a whole backup is made; a program that has made none says so
    // where nothing else is said.
    if (status.overdue || (!status.line.empty() && m_lines.statusLine().empty()))
        m_lines.setStatusLine(status.line);
    if (changed)
        m_hooks.warningChanged(started);
    if (started)
        mail([line = status.line, now](MailSender& sender, const MailSettings& settings,
                                       const MailMessage::Destination& destination) {
            return MailReporter::reportWarning(sender, settings, thisComputerName(), line, now, destination, utcNow());
        });
}

bool BackupWatch::mailing() const
{
    return m_outbox->busy();
}

bool BackupWatch::sendingOffsite() const
{
    return m_courier->busy();
}

void BackupWatch::mail(const SendFunction& send)
{
    MailSettings settings;
    if (const Result loaded = MailSettingsStore::load(m_context.settingsStore, m_context.platform.secrets, settings);
        !loaded) {
        m_hooks.mailFailed(MailReporter::failureLine(MailDelivery{loaded, {}}));
        return;
    }
    if (settings.Slati == MailWhen::Never)
        return;
    MailSender& sender = m_context.platform.mail;
    const std::string folder = m_context.backupSettings.BackupDir;
    m_outbox->post(
        // The free space is asked there too: a destination on a share that does not answer holds nothing here.
        [send, &sender, settings, folder] {
            return send(sender, settings, MailMessage::Destination{folder, freeSpaceOf(folder)});
        },
        [this](const MailDelivery& delivery) {
            if (!delivery.result)
                m_hooks.mailFailed(MailReporter::failureLine(delivery));
        });
}
