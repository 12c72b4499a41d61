#pragma once

#include "RegisterReader.h"

#include <optional>
#include <string>
#include <vector>

/// How the rows of table `kase` turn into folders.
namespace RegisterRules {

/// Sorts the registers by ascending `id`, as "order by id" does: null ids first, then numeric ids by value,
/// then any other text by its bytes; rows with equal ids keep their stored order.
void orderById(std::vector<CashRegister>& registers);

/// The register's database folder: `databasePath` less its last 9 characters, whatever the file's name.
/// Nothing when the path has 8 characters or fewer (such a row is passed over). Characters, not bytes, are
/// counted, so a path with č or š in it is cut at the same place as one without.
std::optional<std::string> databaseFolder(const std::string& databasePath);

/// Why "kasa_" + `label` cannot be a folder of its own under the backup root, in the window's language; nothing
/// when it can. Refused everywhere: an empty label, "." and "..", a control character; and what this platform
/// refuses of a name (FileNames::problem): "/" here, on Windows also \ : * ? " < > |, a dot or blank at its end
/// (Windows would drop it) and a device name such as CON or COM1.
std::optional<std::string> folderNameProblem(const std::string& label);

/// Number of characters (code points) of a UTF-8 text.
std::size_t characterCount(const std::string& text);

} // namespace RegisterRules
