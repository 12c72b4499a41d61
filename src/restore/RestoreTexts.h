#pragma once

/// Texts of restoring, in the window's language: each follows a quoted path and ": ".
namespace RestoreTexts {
inline constexpr const char* unreadableArchive = "arhiva se ne moze procitati (ostecena je ili nije ZIP arhiva)";
inline constexpr const char* unsafeEntryName = "ime u arhivi se ne moze upotrijebiti, zapis je preskocen";
inline constexpr const char* linkNotRestored = "precica (simbolicka veza) se ne vraca";
inline constexpr const char* duplicateEntry = "arhiva ima jos jedan zapis tog imena, vracen je prvi";
inline constexpr const char* damagedEntry = "zapis u arhivi je ostecen (provjera sadrzaja nije prosla), nije vracen";
inline constexpr const char* readOnlyTarget = "datoteka je samo za citanje, nije zamijenjena";
inline constexpr const char* folderInTheWay = "na tom mjestu je fascikla, datoteka nije vracena";
inline constexpr const char* fileInTheWay = "na tom mjestu je datoteka, fascikla nije vracena";
inline constexpr const char* appearedMeanwhile = "datoteka se u medjuvremenu pojavila na tom mjestu, nije dirana";
inline constexpr const char* notInBackup = "nije u rezervnoj kopiji";
inline constexpr const char* backupInProgress =
    "Izrada rezervne kopije je u toku: vracanje ce biti moguce kad se zavrsi.";
inline constexpr const char* stopped = "Vracanje je prekinuto.";
/// Said once when a file could not be replaced because a program holds it.
inline constexpr const char* closeTheProgram =
    "Zatvorite program koji koristi datoteku (npr. kasu ili program za racune) pa pokusajte ponovo.";
} // namespace RestoreTexts
