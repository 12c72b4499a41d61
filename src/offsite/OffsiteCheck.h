#pragma once

#include "OffsiteSettings.h"

#include <chrono>
#include <string>

class FileSystem;
class ObjectStore;

/// The check button of the page "Van lokala": asks the store what the settings need and says what it found.
namespace OffsiteCheck {

/// What the check found.
struct Findings
{
    bool canSend = false; ///< the settings are valid, the bucket answers and the key may write
    std::string text;     ///< lines in the window's language, CR LF between them
};

/// Checks `settings` (OffsiteSettingsStore::check), then whether the bucket answers, whether the key may write (a
/// small probe object "<Prefiks>/kopirko-proba.txt", written from `probeFile` on this computer, which is removed
/// again), and whether the bucket has Object Lock, with a warning when ZakljucatiDana > 0 and it has none. Each
/// request is asked once: the user waits for the answer.
Findings run(ObjectStore& store, FileSystem& disk, const OffsiteSettings& settings, const std::string& probeFile,
             std::chrono::sys_seconds utcNow);

} // namespace OffsiteCheck
