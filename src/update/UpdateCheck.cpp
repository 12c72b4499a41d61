#include "UpdateCheck.h"

#include "AppInfo.h"
#include "DownloadFile.h"
#include "FileProbes.h"
#include "FileSystem.h"
#include "IsOnline.h"
#include "MessageBoxService.h"
#include "MinisignVerifier.h"
#include "Paths.h"
#include "PlatformServices.h"
#include "ProcessLauncher.h"
#include "ProcessTerminator.h"
#include "SettingsStore.h"
#include "TemporaryNames.h"
#include "Utf8.h"
#include "VersionFile.h"

#include <algorithm>
#include <chrono>
#include <optional>

namespace {

/// The program's own file name, as the updater is to start it again.
#ifdef _WIN32
constexpr const char* programFileName = "Kopirko.exe";
#else
constexpr const char* programFileName = "Kopirko";
#endif

constexpr const char* updaterName = "updater.exe";
constexpr const char* signatureName = "updater.exe.minisig";

std::string serverAddress(const std::string& urlUpdate, const std::string& file)
{
    return "http://" + urlUpdate + file;
}

/// Less than this left of the whole check and no download is begun: the HTTP client's own clock may end the
/// previous download a little before the deadline, and what is left then would let a transfer slip past the end
/// of the check on one machine and not on another.
constexpr std::chrono::milliseconds shortestDownload{250};

/// Fetches `url` into `destination` within what is left until `deadline` (nothing is begun with less than
/// shortestDownload left). A version file that was not fetched is removed: a copy from an earlier check would be
/// taken for the server's answer.
Result fetch(const PlatformServices& platform, const std::string& url, const std::string& destination,
             DownloadOptions options, std::chrono::steady_clock::time_point deadline)
{
    using namespace std::chrono;
    Result fetched = Result::failure(url + ": the update check ran out of time");
    if (deadline - steady_clock::now() >= shortestDownload)
        PurgeUrlCache(platform, url);
    const auto left = duration_cast<milliseconds>(deadline - steady_clock::now());
    if (left >= shortestDownload) {
        options.totalTimeLimit = std::min(options.totalTimeLimit, left);
        fetched = DownloadFile(platform, url, destination, options);
    }
    if (!fetched && options.kind == DownloadedFileKind::Data)
        platform.fileSystem.removeFile(destination, RemoveMode::Forced);
    return fetched;
}

/// The text of the file `path` when it can be read and holds at most `maxBytes`; the reason otherwise.
Result readSmallFile(const FileSystem& fileSystem, const std::string& path, std::uint64_t maxBytes, std::string& text)
{
    std::string error;
    const std::unique_ptr<InputFile> file = fileSystem.openForReading(path, error);
    if (!file)
        return Result::failure(error);
    text.assign(maxBytes + 1, '\0'); // one byte more tells a longer file
    std::size_t length = 0;
    while (length < text.size()) {
        const std::optional<std::size_t> read = file->readAt(length, text.data() + length, text.size() - length, error);
        if (!read)
            return Result::failure(error);
        if (*read == 0)
            break;
        length += *read;
    }
    if (length > maxBytes)
        return Result::failure("duza je od " + std::to_string(maxBytes) + " bajta");
    text.resize(length);
    return Result::success();
}

/// Whether `updater` carries a good signature in `signatureFile` (minisign's) of the key `verifier` holds; the
/// reason otherwise, in the window's language, with the files called by the names they have in the program's folder.
Result verifyUpdater(const FileSystem& fileSystem, const std::string& updater, const std::string& signatureFile,
                     const MinisignVerifier& verifier, const UpdateLimits& limits)
{
    if (!verifier.keyProblem().empty())
        return Result::failure(verifier.keyProblem());
    if (!fileSystem.isRegularFile(updater))
        return Result::failure(std::string("nema programa za nadogradnju \"") + updaterName + "\"");
    if (!fileSystem.exists(signatureFile))
        return Result::failure(std::string("nema potpisa \"") + signatureName + "\"");
    std::string signature;
    if (Result read = readSmallFile(fileSystem, signatureFile, limits.signature.maxBytes, signature); !read)
        return Result::failure(std::string("potpis \"") + signatureName + "\" se ne moze procitati: " + read.error());
    if (Result verified = verifier.verifyFile(fileSystem, updater, signature, limits.updater.maxBytes); !verified)
        return Result::failure(std::string("\"") + updaterName + "\": " + verified.error());
    return Result::success();
}

/// Fetches the server's updater and its signature, and puts them in place of the old ones only when the signature
/// verifies: until then each waits under a temporary name beside its place, and what does not verify is removed.
void fetchSignedUpdater(const PlatformServices& platform, const std::string& urlUpdate, const UpdateLimits& limits,
                        const MinisignVerifier& verifier, std::chrono::steady_clock::time_point deadline)
{
    if (!verifier.keyProblem().empty())
        return; // nothing fetched could ever be kept
    FileSystem& fileSystem = platform.fileSystem;
    const std::string updater = Paths::join(platform.appInfo.programFolder(), updaterName);
    const std::string signature = Paths::join(platform.appInfo.programFolder(), signatureName);
    const std::string newUpdater = TemporaryNames::beside(updater);
    const std::string newSignature = TemporaryNames::beside(signature);
    // The small signature first: one that is missing spares the updater's download.
    if (fetch(platform, serverAddress(urlUpdate, std::string("/") + signatureName), newSignature, limits.signature,
              deadline) &&
        fetch(platform, serverAddress(urlUpdate, std::string("/") + updaterName), newUpdater, limits.updater,
              deadline) &&
        verifyUpdater(fileSystem, newUpdater, newSignature, verifier, limits) &&
        fileSystem.rename(newUpdater, updater)) {
        // Should the signature's rename fail, the new updater stands beside the old signature: it does not verify,
        // so it is not started, and the next check fetches both again.
        fileSystem.rename(newSignature, signature);
    }
    fileSystem.removeFile(newUpdater, RemoveMode::Forced);
    fileSystem.removeFile(newSignature, RemoveMode::Forced);
}

/// Puts IniFilePath back however the hand-off ends.
class IniPathRestorer
{
public:
    explicit IniPathRestorer(SettingsStore& store) : m_store(store), m_path(store.IniFilePath()) {}
    ~IniPathRestorer() { m_store.setIniFilePath(m_path); }
    IniPathRestorer(const IniPathRestorer&) = delete;
    IniPathRestorer& operator=(const IniPathRestorer&) = delete;

private:
    SettingsStore& m_store;
    std::string m_path;
};

Result writeHandOffFile(SettingsStore& settingsStore, const std::string& programFolder, const std::string& urlUpdate)
{
    // The updater reads update.ini in the ANSI code page of earlier Windows programs: a letter outside ASCII
    // would reach it as another letter, and it would install into a folder that does not exist.
    for (const std::string& value : {urlUpdate, programFolder}) {
        if (Utf8::hasNonAscii(value))
            return Result::failure("program za nadogradnju ne moze raditi sa putanjom \"" + value +
                                   "\" jer sadrzi slova kao sto su č, ć, š, ž ili đ");
    }
    settingsStore.setIniFilePath(Paths::join(programFolder, "update.ini"));
    if (Result written = settingsStore.WriteIniValue("update", "url", urlUpdate); !written)
        return written;
    if (Result written = settingsStore.WriteIniValue("update", "cilj", programFolder); !written)
        return written;
    return settingsStore.WriteIniValue("update", "prog", programFileName);
}

bool handOverToUpdater(const PlatformServices& platform, SettingsStore& settingsStore, const std::string& urlUpdate,
                       const MinisignVerifier& verifier, const UpdateLimits& limits)
{
    const std::string programFolder = platform.appInfo.programFolder();
    const std::string updater = Paths::join(programFolder, updaterName);
    // Other programs may write to the program's folder: what is to start is checked now, not when it came.
    if (Result verified =
            verifyUpdater(platform.fileSystem, updater, Paths::join(programFolder, signatureName), verifier, limits);
        !verified) {
        platform.messages.showMessage(updateNotVerified + verified.error());
        return false;
    }
    Result handedOver = Result::success();
    {
        IniPathRestorer restorer(settingsStore);
        handedOver = writeHandOffFile(settingsStore, programFolder, urlUpdate);
    }
    if (handedOver)
        handedOver = platform.launcher.startDetached(updater, {});
    if (!handedOver) {
        platform.messages.showMessage("Nadogradnja nije pokrenuta: " + handedOver.error());
        return false;
    }
    platform.terminator.endNow(0);
    return true;
}

} // namespace

const char* builtInUpdatePublicKey()
{
    return KOPIRKO_UPDATE_PUBLIC_KEY;
}

Result RefreshUpdater(const PlatformServices& platform, const std::string& urlUpdate, const UpdateLimits& limits,
                      const std::string& publicKey, std::chrono::steady_clock::time_point deadline)
{
    const std::string programFolder = platform.appInfo.programFolder();
    const std::string serverCopy = Paths::join(programFolder, "versionutmp.txt");
    if (Result fetched =
            fetch(platform, serverAddress(urlUpdate, "/versionu.txt"), serverCopy, limits.versionFile, deadline);
        !fetched)
        return fetched;

    const std::optional<std::int32_t> serverVersion = readVersionFile(platform.fileSystem, serverCopy);
    if (!serverVersion)
        return Result::failure(serverCopy + " holds no version number");
    std::int32_t installedVersion = 0;
    const std::string installed = Paths::join(programFolder, "versionu.txt");
    if (FileExists(platform.fileSystem, installed)) {
        const std::optional<std::int32_t> number = readVersionFile(platform.fileSystem, installed);
        if (!number)
            return Result::failure(installed + " holds no version number");
        installedVersion = *number;
    }
    if (*serverVersion > installedVersion)
        fetchSignedUpdater(platform, urlUpdate, limits, MinisignVerifier(publicKey), deadline);
    return Result::success();
}

bool CheckForUpdate(const PlatformServices& platform, SettingsStore& settingsStore, const std::string& urlUpdate)
{
    return CheckForUpdate(platform, settingsStore, urlUpdate, UpdateLimits{}, builtInUpdatePublicKey());
}

bool CheckForUpdate(const PlatformServices& platform, SettingsStore& settingsStore, const std::string& urlUpdate,
                    const UpdateLimits& limits, const std::string& publicKey)
{
    const auto deadline = std::chrono::steady_clock::now() + limits.wholeCheck;
    if (!IsOnline(platform))
        return false;
    if (!RefreshUpdater(platform, urlUpdate, limits, publicKey, deadline)) {
        // The server's version is not asked for this time: an earlier answer must not stand for it either.
        platform.fileSystem.removeFile("versiontmp.txt", RemoveMode::Forced);
        return false;
    }
    if (!fetch(platform, serverAddress(urlUpdate, "/version.txt"), "versiontmp.txt", limits.versionFile, deadline))
        return false;
    const std::optional<std::int32_t> serverVersion = readVersionFile(platform.fileSystem, "versiontmp.txt");
    if (!serverVersion)
        return false;
    const std::optional<std::int32_t> ownVersion = readVersionFile(platform.fileSystem, "version.txt");
    if (!ownVersion || *serverVersion <= *ownVersion)
        return false;

    if (!platform.messages.askYesNo(updateQuestion, "", MessageIcon::Question))
        return false;
    return handOverToUpdater(platform, settingsStore, urlUpdate, MinisignVerifier(publicKey), limits);
}
