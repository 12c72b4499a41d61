#pragma once

#include "BackupAgeWarning.h"
#include "BackupRecords.h"
#include "LocalDateTime.h"
#include "MailMessage.h"
#include "MailSender.h"

#include <QObject>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class MailOutbox;
class OffsiteCourier;
class QTimer;
struct OffsiteOutcome;
struct OffsiteProgress;
class RunStatusLines;
struct AppContext;
struct RunReport;

/// The window's watch over the backups themselves: a daily run missed while the computer was off or asleep is
/// caught up once; the age of the last whole backup is checked at start and every hour, and the warning shown on
/// the page "Backup" and the icon; the reports go out by mail as the settings in "POSTA" ask, on a thread of their
/// own; with "Slati" = 1 in section "S3" each run's backups go to the store, on a thread of their own too, and the
/// run's report is mailed once that sending ended, with what it found wrong among the warnings. What it records goes to
/// section "EVIDENCIJA" of KOPIRKO.ini (BackupRecords).
class BackupWatch : public QObject
{
    Q_OBJECT
public:
    /// What the watch asks of the window.
    struct Hooks
    {
        /// Starts the timed run the way the daily timer does (the daily schedule is left as it is).
        std::function<void()> startTimedRun;
        /// The warning about old backups started (`started`) or changed: the icon's look follows overdue().
        std::function<void(bool started)> warningChanged;
        /// A report could not be sent: `line` (MailReporter::failureLine) is to be seen on the page "Backup".
        std::function<void(const std::string& line)> mailFailed;
        /// Where the sending of the day to the store stands (on the window's thread).
        std::function<void(const OffsiteProgress& progress)> offsiteProgress;
        /// The sending of the day to the store ended with `outcome`.
        std::function<void(const OffsiteOutcome& outcome)> offsiteDone;
    };

    BackupWatch(AppContext& context, RunStatusLines& lines, Hooks hooks, QObject* parent = nullptr);
    ~BackupWatch() override;

    /// At start: checks the age of the backups now and then every hour.
    void startWatching();
    /// In daily mode with catching up on: when the latest due time passed without its run, says so on the first
    /// status line and starts the run within a minute (catchUpTimer).
    void checkMissedRun();
    /// Every tick of the daily timer: a clock that jumped forward since the previous tick (the computer slept) is
    /// checked for a missed run, unless a run is in progress.
    void onTick(const LocalDateTime& now, bool runInProgress);

    /// A run starts now; `timed`: at the set time or to catch a missed one up.
    void runStarted(bool timed);
    /// A run ended with `report`: what it was is recorded, the warning checked again, and the report mailed when
    /// the settings ask for it. The run's result is not changed by any of it. When the settings of section "S3" ask
    /// for it, the backups of the run's days go to the store first (beside the window), then the report is mailed.
    void runFinished(const RunReport& report);

    bool overdue() const { return m_status.overdue; }
    /// The warning's line, or BackupAgeWarning::neverMade, or empty.
    const std::string& warningLine() const { return m_status.line; }
    /// True while a report waits to be sent or is being sent.
    bool mailing() const;
    /// True while a day waits to be sent to the store or is being sent.
    bool sendingOffsite() const;

public slots:
    /// The age of the last whole backup against UpozorenjeDana: the first status line and the icon follow it; as
    /// the warning starts, a tray message and (when the settings ask) a mail.
    void checkAge();
    /// The catch-up run is due: started unless it is no longer missed; while another run works, tried again later.
    void onCatchUpDue();

private:
    /// Loads the mail settings and, when they can be read, posts the job `send` makes of them; a mail section that
    /// cannot be read is reported as a mail failure.
    using SendFunction =
        std::function<std::optional<MailDelivery>(MailSender&, const MailSettings&, const MailMessage::Destination&)>;
    void mail(const SendFunction& send);
    /// Posts the sending of `dates` to the store when section "S3" asks for it; true when it did. A section that
    /// cannot be read ends the sending at once, as its failure.
    bool sendOffsite(const std::vector<std::chrono::year_month_day>& dates,
                     const std::function<void(const OffsiteOutcome&)>& then);

    AppContext& m_context;
    RunStatusLines& m_lines;
    Hooks m_hooks;
    BackupRecords m_records;
    QTimer* m_ageTimer;
    QTimer* m_catchUpTimer;
    MailOutbox* m_outbox;
    OffsiteCourier* m_courier;
    BackupAgeWarning::Status m_status;
    std::optional<LocalDateTime> m_previousTick;
    std::optional<LocalDateTime> m_runStart;
    bool m_runTimed = false;
};
