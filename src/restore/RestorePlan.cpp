#include "RestorePlan.h"

#include "FileNames.h"
#include "LocalDateTime.h"
#include "Paths.h"
#include "RestoreTexts.h"
#include "Utf8.h"

#include <set>

namespace {

/// Joins the parts of `relative` ("a/b") to `folder`.
std::string targetOf(const std::string& folder, const std::string& relative)
{
    std::string path = folder;
    for (std::size_t start = 0; start < relative.size();) {
        const std::size_t end = std::min(relative.find('/', start), relative.size());
        path = Paths::join(path, relative.substr(start, end - start));
        start = end + 1;
    }
    return path;
}

bool sameTime(std::int64_t backup, std::int64_t target, std::int64_t step)
{
    if (step <= 1)
        return backup / 100 == target / 100; // as precise as every disk this restores to keeps it
    if (step >= 2000000000)
        return backup - target < step && target - backup < step; // a DOS date, in 2-second steps, rounded either way
    const auto floorTo = [step](std::int64_t value) { return value >= 0 ? value / step : (value - step + 1) / step; };
    return floorTo(backup) == floorTo(target);
}

class Planner
{
public:
    Planner(const FileSystem& fileSystem, const BackupTree& tree, RestorePlan& plan)
        : m_fileSystem(fileSystem), m_tree(tree), m_plan(plan)
    {}

    void add(const BackupItem& item, const std::string& target)
    {
        if (!item.folder) {
            addFile(item, target);
            return;
        }
        const std::optional<FolderEntry> there = m_fileSystem.examine(target, true);
        if (there && there->kind != FolderEntry::Kind::Folder) {
            m_plan.problems.push_back({target, RestoreTexts::fileInTheWay});
            return;
        }
        if (!there && m_tree.source().isLocalFolder() && !m_whole) {
            // Nothing there to keep: the folder is copied whole, as a backup copies (TreeCopy), and only counted here.
            m_plan.wholeFolders.push_back({m_tree.locate(item.relative), target, 0, 0});
            m_whole = &m_plan.wholeFolders.back();
            count(item);
            m_whole = nullptr;
            return;
        }
        if (!there && m_made.insert(target).second)
            m_plan.folders.push_back(target);
        const BackupFolderContents contents = m_tree.children(item.relative);
        if (!contents.error.empty())
            m_plan.problems.push_back({m_tree.locate(item.relative), contents.error});
        m_plan.problems.insert(m_plan.problems.end(), contents.skipped.begin(), contents.skipped.end());
        for (const BackupItem& child : contents.items)
            add(child, Paths::join(target, child.name));
    }

private:
    /// Counts the files of a folder copied whole; what cannot be read or copied is named when it is copied.
    void count(const BackupItem& folder)
    {
        for (const BackupItem& child : m_tree.children(folder.relative).items) {
            if (child.folder) {
                count(child);
                continue;
            }
            ++m_whole->files;
            m_whole->bytes += child.size;
            ++m_plan.newFiles;
            m_plan.bytes += child.size;
        }
    }

    void addFile(const BackupItem& item, const std::string& target)
    {
        PlannedFile file{item, target, {}, RestoreCase::New};
        const std::optional<FolderEntry> there = m_fileSystem.examine(target, true);
        if (there && there->kind == FolderEntry::Kind::Folder) {
            m_plan.problems.push_back({target, RestoreTexts::folderInTheWay});
            return;
        }
        if (there && isSame(item, *there)) {
            file.what = RestoreCase::Same;
            ++m_plan.sameFiles;
        } else if (there) {
            file.what = RestoreCase::Different;
            file.besideTarget = freeBesideName(item, target);
            if (file.besideTarget.empty()) { // the day's copy is already there beside it
                file.what = RestoreCase::Same;
                ++m_plan.sameFiles;
            } else {
                ++m_plan.differentFiles;
                m_plan.bytes += item.size;
            }
        } else {
            ++m_plan.newFiles;
            m_plan.bytes += item.size;
        }
        m_plan.files.push_back(std::move(file));
    }

    static bool isSame(const BackupItem& item, const FolderEntry& there)
    {
        return there.kind == FolderEntry::Kind::File && there.size == item.size &&
               sameTime(item.modifiedNs, there.modifiedNs, item.timeStepNs);
    }

    /// A name beside `target` for the day's copy, "" when a file of that name already holds it; " (2)", " (3)" ...
    /// follow the day when other files have taken the name.
    std::string freeBesideName(const BackupItem& item, const std::string& target) const
    {
        const std::string folder = Paths::parent(target);
        for (int attempt = 1; attempt < 1000; ++attempt) {
            const std::string candidate = Paths::join(folder, besideName(item.name, m_tree.source().date, attempt));
            const std::optional<FolderEntry> there = m_fileSystem.examine(candidate, true);
            if (!there && !m_besides.contains(candidate)) {
                m_besides.insert(candidate);
                return candidate;
            }
            if (there && isSame(item, *there))
                return {};
        }
        return Paths::join(folder, besideName(item.name, m_tree.source().date, 1000));
    }

    const FileSystem& m_fileSystem;
    const BackupTree& m_tree;
    RestorePlan& m_plan;
    std::set<std::string> m_made;
    WholeFolder* m_whole = nullptr; ///< the folder copied whole being counted
    mutable std::set<std::string> m_besides;
};

} // namespace

std::string besideName(const std::string& name, std::chrono::year_month_day day, int attempt)
{
    const std::size_t dot = name.rfind('.');
    const bool extension = dot != std::string::npos && dot > 0;
    std::string stem = extension ? name.substr(0, dot) : name;
    const std::string tail = " (" + formatDateDots(day) + ")" +
                             (attempt > 1 ? " (" + std::to_string(attempt) + ")" : "") +
                             (extension ? name.substr(dot) : "");
    // A long name loses the end of its stem, a whole character at a time, until the day fits.
    while (!stem.empty() && FileNames::length(stem + tail) > FileNames::longest) {
        stem.pop_back();
        while (!stem.empty() && !Utf8::isValid(stem))
            stem.pop_back();
    }
    return stem + tail;
}

RestorePlan planRestore(const FileSystem& fileSystem, const BackupTree& tree, const std::vector<std::string>& selected,
                        const std::string& targetFolder, RestorePlacement placement)
{
    RestorePlan plan;
    Planner planner(fileSystem, tree, plan);
    for (const std::string& relative : selected) {
        const std::optional<BackupItem> item = tree.item(relative);
        if (!item) {
            plan.problems.push_back({tree.locate(relative), RestoreTexts::notInBackup});
            continue;
        }
        std::string target = targetFolder;
        if (placement == RestorePlacement::OriginalPlace)
            target = targetOf(targetFolder, relative);
        else if (!relative.empty())
            target = Paths::join(targetFolder, item->name);
        else // the whole backup into the chosen folder: under its name
            target = Paths::join(targetFolder, tree.source().name);
        if (tree.source().archive)
            for (const FileFailure& skipped : tree.source().archive->skipped()) {
                const std::string under = tree.locate(relative);
                if (under.empty() || skipped.path.compare(0, under.size() + 1, under + "/") == 0)
                    plan.problems.push_back({tree.source().place + ": " + skipped.path, skipped.reason});
            }
        planner.add(*item, target);
    }
    return plan;
}
