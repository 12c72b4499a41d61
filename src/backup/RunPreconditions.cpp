#include "RunPreconditions.h"

#include "BackupHost.h"
#include "BackupSettings.h"
#include "FileProbes.h"
#include "FileSystem.h"
#include "Paths.h"
#include "PlatformServices.h"
#include "RunReport.h"

#include <atomic>
#include <random>

namespace {

std::string probeName()
{
    static std::atomic<unsigned long> counter{0};
    static const unsigned long seed = std::random_device{}();
    return ".kopirko-proba-" + std::to_string(seed & 0xFFFFFFFFul) + "-" + std::to_string(++counter);
}

} // namespace

std::optional<std::string> destinationProblem(FileSystem& fileSystem, const std::string& backupDir)
{
    const std::string named = "Fascikla za rezervne kopije \"" + backupDir + "\"";
    if (backupDir.empty())
        return std::string("Fascikla za rezervne kopije nije odredjena.");
    if (!FolderExists(fileSystem, backupDir))
        return named + (fileSystem.exists(backupDir) ? " nije fascikla." : " ne postoji ili nije dostupna.");
    // Write permission shows only by writing: a read-only disk, a share mounted read-only, missing rights.
    const std::string probe = Paths::join(backupDir, probeName());
    std::string error;
    std::unique_ptr<OutputFile> file = fileSystem.createFile(probe, error);
    Result closed = file ? file->close() : Result::failure(error);
    if (file)
        fileSystem.removeFile(probe, RemoveMode::Forced);
    if (!closed) {
        // The probe's own name tells the user nothing: the reason is what follows it.
        std::string reason = closed.error();
        const std::string about = "\"" + probe + "\": ";
        if (const size_t at = reason.find(about); at != std::string::npos)
            reason.erase(0, at + about.size());
        return named + ": u nju se ne moze pisati (" + reason + ").";
    }
    return std::nullopt;
}

std::vector<std::string> listedFolders(const BackupHost& host)
{
    std::vector<std::string> sources;
    for (int index = 0; index < host.folderCount(); ++index) {
        std::string source = host.folderEntry(index);
        if (source.empty())
            break;
        sources.push_back(std::move(source));
    }
    return sources;
}

bool readyToRun(RunReport& report, const BackupSettings& settings, const std::vector<std::string>& sources,
                BackupHost& host, const PlatformServices& platform)
{
    std::optional<std::string> problem;
    if (sources.empty())
        problem = RunTexts::noFolders;
    else
        host.runWork([&] { problem = destinationProblem(platform.fileSystem, settings.BackupDir); });
    if (!problem)
        return true;
    report.runFailure = *problem;
    for (const std::string& source : sources)
        report.failed.push_back(SourceFailure{source, {}, {}});
    return false;
}

bool liesInside(const FileSystem& fileSystem, const std::string& folder, const std::string& destination)
{
    const std::optional<FileIdentity> destinationIdentity = fileSystem.identity(destination);
    if (!destinationIdentity)
        return false;
    for (std::string path = folder; !path.empty(); path = Paths::parent(path)) {
        if (fileSystem.identity(path) == destinationIdentity)
            return true;
    }
    return false;
}
