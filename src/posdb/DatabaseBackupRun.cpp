#include "DatabaseBackupRun.h"

#include "AppInfo.h"
#include "BackupHost.h"
#include "BackupNames.h"
#include "BackupSettings.h"
#include "Clock.h"
#include "FileNames.h"
#include "FileProbes.h"
#include "FileSystem.h"
#include "HelperRegisterReader.h"
#include "KaseListText.h"
#include "LocalDateTime.h"
#include "MessageBoxService.h"
#include "Paths.h"
#include "PlatformServices.h"
#include "RegisterRules.h"
#include "RunCancellation.h"
#include "RunGuard.h"
#include "RunLeftovers.h"
#include "SystemPlatform.h"
#include "TreeCopy.h"
#include "Utf8Path.h"

#include <exception>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>

namespace {

constexpr const char* serverDatabaseName = "tezga.mdb";
constexpr const char* serverFolderName = "server";
constexpr const char* registerFolderPrefix = "kasa_";

namespace Texts {
constexpr const char* fromServer = "Izrada rezervne kopije podataka sa servera";
constexpr const char* fromRegister = "Izrada rezervne kopije sa kase ";
constexpr const char* made = "Rezervna kopija baza podataka je izradjena ";
// Said instead of "je izradjena" when today's root could not be made: the status page must not claim a
// backup that is not there.
constexpr const char* notMade = "Rezervna kopija baza podataka nije izradjena ";
constexpr const char* next = "Sledeća izrada rezervne kopije ";
} // namespace Texts

/// The one-line reason for a folder whose files were not all copied.
std::string summarise(const std::vector<FileFailure>& failures)
{
    if (failures.size() == 1)
        return failures.front().reason;
    return std::to_string(failures.size()) + " datoteka nije kopirano (prva: " + failures.front().reason + ")";
}

/// Blanks cut off at both ends, as FolderExists does before it looks.
std::string trimBlanks(const std::string& text)
{
    const auto start = text.find_first_not_of(' ');
    if (start == std::string::npos)
        return {};
    return text.substr(start, text.find_last_not_of(' ') - start + 1);
}

class DatabaseBackup
{
public:
    DatabaseBackup(const BackupSettings& settings, BackupHost& host, const PlatformServices& platform,
                   const RegisterReader& reader)
        : m_settings(settings), m_host(host), m_platform(platform), m_fileSystem(platform.fileSystem), m_reader(reader)
    {}

    RunReport run()
    {
        m_host.setBusyPointer(true);
        m_host.setLampColour(LampColour::blue);
        bool rootMade = false;
        try {
            m_workingFolder = m_platform.appInfo.workingFolder();
            if (const auto problem = prepareRoot())
                fail(m_workingFolder, "rezervna kopija nije napravljena: " + *problem);
            else {
                rootMade = true;
                // Marked while it is written, so that a later run clears what a cut-off one leaves in it.
                std::string mark;
                work([&] {
                    RunLeftovers::removeDead(m_fileSystem, m_settings.BackupDir);
                    mark = RunLeftovers::mark(m_fileSystem, m_root);
                });
                backUpWorkingFolderAndRegisters();
                if (!mark.empty())
                    work([&] { m_fileSystem.removeFile(mark, RemoveMode::Forced); });
            }
        } catch (const std::exception& error) {
            fail(m_workingFolder, std::string("izrada rezervne kopije je prekinuta: ") + error.what());
        } catch (...) {
            fail(m_workingFolder, "izrada rezervne kopije je prekinuta");
        }
        finish(rootMade);
        return std::move(m_report);
    }

private:
    void fail(const std::string& source, std::string reason, std::vector<FileFailure> files = {})
    {
        m_report.failed.push_back(SourceFailure{source, std::move(reason), std::move(files)});
    }

    /// Runs `step` through the host, off the window's thread where the host can; what it throws comes back as
    /// the reason.
    std::optional<std::string> work(const std::function<void()>& step)
    {
        std::optional<std::string> failure;
        m_host.runWork([&] {
            try {
                step();
            } catch (const std::exception& error) {
                failure = std::string("neocekivana greska: ") + error.what();
            } catch (...) {
                failure = "neocekivana greska";
            }
        });
        return failure;
    }

    /// Creates `folder` unless something of that name is there; the reason when it is no folder afterwards.
    std::optional<std::string> ensureFolder(const std::string& folder)
    {
        std::optional<std::string> problem;
        if (const auto error = work([&] {
                if (!m_fileSystem.exists(folder)) {
                    if (Result created = m_fileSystem.createDirectory(folder); !created)
                        problem = created.error();
                } else if (!m_fileSystem.isDirectory(folder)) {
                    problem = "\"" + folder + "\" postoji, ali nije fascikla";
                }
            }))
            return error;
        return problem;
    }

    /// Deletes the root of exactly Starost days ago; today's root comes next. Nothing when the settings, the
    /// destination or the root itself are not there; a root that cannot be deleted is a warning, not a stop.
    std::optional<std::string> prepareRoot()
    {
        const std::string& backupDir = m_settings.BackupDir;
        if (backupDir.empty())
            return "odredisna fascikla nije podesena";

        if (m_settings.Brisati == 1 && m_settings.Starost > 0) {
            const auto oldDate = addDays(m_platform.clock.now().date, -m_settings.Starost);
            const std::string oldRoot = BackupNames::databaseBackupRoot(backupDir, oldDate, m_settings.AppFolderSuffix);
            std::optional<std::string> notDeleted;
            if (const auto error = work([&] {
                    if (FolderExists(m_fileSystem, oldRoot)) {
                        if (Result removed = m_fileSystem.removeTree(oldRoot, RemoveMode::NotForced); !removed)
                            notDeleted = removed.error();
                    }
                }))
                notDeleted = error;
            if (notDeleted)
                m_report.warnings.push_back("Stara rezervna kopija nije obrisana: " + *notDeleted);
        }

        bool destinationThere = false;
        if (const auto error = work([&] { destinationThere = FolderExists(m_fileSystem, backupDir); }))
            return error;
        // The destination is never created here: a missing one usually is an unplugged disk, and a folder made
        // in its place would fill the system disk.
        if (!destinationThere)
            return "odredisna fascikla \"" + backupDir + "\" ne postoji";

        m_root = BackupNames::databaseBackupRoot(backupDir, m_platform.clock.now().date, m_settings.AppFolderSuffix);
        return ensureFolder(m_root);
    }

    void backUpWorkingFolderAndRegisters()
    {
        const std::string serverDatabase = Paths::join(m_workingFolder, serverDatabaseName);
        bool withServer = false;
        if (const auto error = work([&] { withServer = FileExists(m_fileSystem, serverDatabase); })) {
            fail(m_workingFolder, *error);
            return;
        }
        if (!withServer) {
            copyFiles(m_workingFolder, m_workingFolder, m_root);
            return;
        }

        const std::string serverFolder = Paths::join(m_root, serverFolderName);
        const auto problem = ensureFolder(serverFolder);
        m_host.setStatusLine(Texts::fromServer);
        if (problem)
            fail(m_workingFolder, *problem);
        else
            copyFiles(m_workingFolder, m_workingFolder, serverFolder);

        backUpRegisters(serverDatabase);
    }

    void backUpRegisters(const std::string& serverDatabase)
    {
        RegisterListing listing;
        if (const auto error = work([&] { listing = m_reader.readRegisters(serverDatabase); }))
            listing.error = *error;
        if (!listing.ok()) {
            fail(serverDatabaseName, "kase nisu kopirane: " + listing.error);
            return;
        }
        RegisterRules::orderById(listing.registers);
        for (const CashRegister& cashRegister : listing.registers)
            backUpRegister(cashRegister);
    }

    void backUpRegister(const CashRegister& cashRegister)
    {
        m_host.processEvents();
        const std::string& label = cashRegister.label;
        m_host.setStatusLine(Texts::fromRegister + label);

        const std::optional<std::string> folder = RegisterRules::databaseFolder(cashRegister.databasePath);
        if (!folder)
            return;
        const std::string source = label.empty() ? "kasa bez oznake (id " + cashRegister.id + ")" : label;
        const std::string folderAsStored = trimBlanks(*folder);
        const std::string databaseFolder = resolve(folderAsStored);

        // A path with nothing before its file name names no folder: resolved, it would be the working folder,
        // and the server's own files would pass for the register's backup.
        bool reachable = false;
        if (folderAsStored.empty()) {
            reachable = false;
        } else if (const auto error = work([&] { reachable = FolderExists(m_fileSystem, databaseFolder); })) {
            fail(source, *error);
            return;
        }
        if (!reachable) {
            fail(source, "fascikla kase \"" + *folder + "\" nije dostupna");
            m_host.showBackUpNowButton();
            return;
        }
        if (const auto problem = RegisterRules::folderNameProblem(label)) {
            fail(source, *problem + ", kasa nije kopirana");
            return;
        }
        // Whatever the row holds, the register's folder is one folder directly in today's root.
        const std::string target = Paths::join(m_root, registerFolderPrefix + label);
        if (!FileNames::isDirectlyInside(m_root, target)) {
            fail(source, "fascikla \"" + target + "\" ne bi bila u fascikli \"" + m_root + "\", kasa nije kopirana");
            return;
        }
        // Two registers under one label would land in one folder, the second overwriting the first's database; so
        // would two labels that the disk takes for one name (on Windows "Kasa1" and "KASA1").
        const auto [known, isNew] =
            m_registerFolders.emplace(FileNames::comparisonKey(label), BackedUpRegister{label, databaseFolder});
        if (!isNew) {
            const BackedUpRegister& first = known->second;
            if (FileNames::comparisonKey(first.folder) == FileNames::comparisonKey(databaseFolder))
                return; // the same register listed twice: backed up once
            if (first.label == label)
                fail(source, "oznaku \"" + label + "\" ima i kasa sa fasciklom \"" + first.folder +
                                 "\", pa fascikla \"" + databaseFolder +
                                 "\" nije kopirana da ne bi prepisala njenu kopiju");
            else
                fail(source, "oznaka \"" + label + "\" daje istu fasciklu kao oznaka \"" + first.label +
                                 "\" kase sa fasciklom \"" + first.folder + "\", pa fascikla \"" + databaseFolder +
                                 "\" nije kopirana da ne bi prepisala njenu kopiju");
            return;
        }

        copyFiles(source, databaseFolder, target);
    }

    /// Copies the files (not the subfolders) of `folder` into `target` one by one, showing each name in the
    /// second status line; `source` is what the report calls the folder. `target` is made once there is
    /// something to put in it, so that a register with nothing to copy leaves no folder that looks like a backup.
    void copyFiles(const std::string& source, const std::string& folder, const std::string& target)
    {
        // The listing says when it is not whole (a share that dropped half-way): what it holds is copied, and the
        // folder is reported, never taken for complete.
        std::vector<std::string> names;
        std::vector<FileFailure> failures;
        if (const auto error = work([&] { names = regularFiles(folder, failures); })) {
            fail(source, *error);
            return;
        }
        if (names.empty()) {
            if (failures.empty())
                fail(source, "u fascikli \"" + folder + "\" nema datoteka");
            else
                fail(source, summarise(failures), std::move(failures));
            return;
        }
        if (const auto problem = ensureFolder(target)) {
            fail(source, *problem);
            return;
        }

        for (const std::string& name : names) {
            m_host.processEvents();
            if (RunCancellation::requested()) {
                failures.push_back(FileFailure{folder, RunTexts::stopped});
                break;
            }
            if (name.empty())
                continue;
            m_host.setNextRunLine(name);
            const std::string from = Paths::join(folder, name);
            const std::string to = Paths::join(target, name);
            // A name the disk of the source allows may still not stay in `target` here (on Windows "CON" is a
            // device, "a:b" a stream of "a").
            if (!FileNames::isDirectlyInside(target, to)) {
                failures.push_back(FileFailure{from, "ime datoteke " + FileNames::problem(name).value_or("") +
                                                         " pa se ne moze kopirati u \"" + target + "\""});
                continue;
            }
            std::optional<Result> copied;
            if (const auto error = work([&] { copied = copyFileWithTimeLimit(m_fileSystem, from, to); }))
                failures.push_back(FileFailure{from, *error});
            else if (!*copied)
                failures.push_back(FileFailure{from, copied->error()});
        }
        work([&] { m_fileSystem.syncFolder(target); });
        if (failures.empty()) {
            m_report.backedUp.push_back(source);
        } else {
            std::string reason = summarise(failures);
            fail(source, std::move(reason), std::move(failures));
        }
    }

    /// Names of the regular files directly in `folder` (links to one count), sorted; what kept the listing from being
    /// whole goes into `failures`.
    std::vector<std::string> regularFiles(const std::string& folder, std::vector<FileFailure>& failures) const
    {
        FolderListing listing = m_fileSystem.listFolder(folder);
        if (!listing.ok())
            failures.push_back(FileFailure{folder, listing.error});
        for (FileFailure& unexamined : listing.unexamined)
            failures.push_back(std::move(unexamined));
        std::vector<std::string> names;
        for (const FolderEntry& entry : listing.entries) {
            if (entry.kind == FolderEntry::Kind::File ||
                (entry.kind == FolderEntry::Kind::Link && m_fileSystem.isRegularFile(Paths::join(folder, entry.name))))
                names.push_back(entry.name);
        }
        return names;
    }

    /// A register's path as the server database holds it: relative ones count from the working folder.
    std::string resolve(const std::string& path) const
    {
        if (Paths::isAbsolute(path))
            return path;
        return Paths::join(m_workingFolder, path);
    }

    void finish(bool rootMade)
    {
        const std::string& time = m_settings.VrijemeBackupa;
        const auto today = m_platform.clock.now().date;
        m_host.setStatusLine((rootMade ? Texts::made : Texts::notMade) + formatDateDots(today) + " u " + time);
        m_host.setNextRunLine(Texts::next + formatDateDots(addDays(m_platform.clock.now().date, 1)) + " u " + time);
        if (m_settings.NacinBackupa == 0)
            m_host.startDailySchedule();
        m_host.setLampColour(LampColour::lightYellow);
        m_host.showWindow();
        m_host.runFinished(m_report);
        m_host.setBusyPointer(false);
        if (m_settings.NacinBackupa == 2 && !RunCancellation::requested()) // stopped: the program is ending
            m_platform.messages.showMessage(completionMessage(m_report));
    }

    /// A copy: what the window saves while the run works is for the next run.
    const BackupSettings m_settings;
    BackupHost& m_host;
    const PlatformServices& m_platform;
    FileSystem& m_fileSystem;
    const RegisterReader& m_reader;
    RunReport m_report;
    std::string m_workingFolder;
    std::string m_root;
    /// A register whose files went, or were to go, under "kasa_" + its label.
    struct BackedUpRegister
    {
        std::string label;
        std::string folder; ///< its database folder
    };
    /// Keyed by the label as this platform's disks compare names (FileNames::comparisonKey).
    std::map<std::string, BackedUpRegister> m_registerFolders;
};

/// The system's folder for temporary files, without a trailing separator; `fallback` when it has none.
std::string temporaryFolder(const std::string& fallback)
{
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    std::string text = error ? std::string() : Utf8Path::fromPath(folder);
    while (text.size() > 1 && (text.back() == '/' || text.back() == '\\') && text[text.size() - 2] != ':')
        text.pop_back();
    return text.empty() ? fallback : text;
}

} // namespace

RunReport RunDatabaseBackup(const BackupSettings& settings, BackupHost& host, const PlatformServices& platform)
{
    // The registers come from kopirko-kase beside the program, in a child process of its own.
    // (Windows: SystemCommandRunner is WinCommandRunner, which must run the program without a console window.)
    SystemCommandRunner runner;
    const std::string programFolder = platform.appInfo.programFolder();
    const HelperRegisterReader reader(runner, platform.fileSystem,
                                      Paths::join(programFolder, KaseListText::programName),
                                      temporaryFolder(programFolder));
    return RunDatabaseBackup(settings, host, platform, reader);
}

RunReport RunDatabaseBackup(const BackupSettings& settings, BackupHost& host, const PlatformServices& platform,
                            const RegisterReader& reader)
{
    RunGuard guard;
    if (!guard.entered()) {
        RunReport refused;
        refused.refused = true;
        return refused;
    }
    return DatabaseBackup(settings, host, platform, reader).run();
}
