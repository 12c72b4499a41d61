#include "WinFileSystem.h"

#include "BufferedOutputFile.h"
#include "ChangeCheck.h"
#include "FailureReason.h"
#include "Paths.h"
#include "TemporaryNames.h"
#include "TreeCopy.h"
#include "WideText.h"

#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

using WideText::longPath;

/// Reparse points that are links; every other tag (cloud files, deduplication, ...) is an ordinary file or
/// folder that Windows reads through.
bool isLinkTag(DWORD tag)
{
    return tag == IO_REPARSE_TAG_SYMLINK || tag == IO_REPARSE_TAG_MOUNT_POINT;
}

FailureKind kindOf(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
        return FailureKind::Missing;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_NETWORK_ACCESS_DENIED:
        return FailureKind::NoPermission;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return FailureKind::DiskFull;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return FailureKind::InUse;
    case ERROR_NOT_READY:
    case ERROR_BAD_NETPATH:
    case ERROR_NETNAME_DELETED:
    case ERROR_BAD_NET_NAME:
    case ERROR_UNEXP_NET_ERR:
    case ERROR_NETWORK_UNREACHABLE:
    case ERROR_HOST_UNREACHABLE:
    case ERROR_DEV_NOT_EXIST:
        return FailureKind::Unreachable;
    default:
        return FailureKind::Other;
    }
}

std::string describe(const std::string& what, const std::string& path, DWORD error)
{
    return FailureReason::describe(what, path, kindOf(error), WideText::errorText(error));
}

/// Closes a handle when it goes out of scope.
class Handle
{
public:
    explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : m_handle(handle) {}
    ~Handle()
    {
        if (valid())
            ::CloseHandle(m_handle);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return m_handle != INVALID_HANDLE_VALUE && m_handle != nullptr; }
    HANDLE get() const { return m_handle; }
    /// Closes now; false when closing failed (a full disk or a lost share can show only here).
    bool closeNow()
    {
        const bool closed = ::CloseHandle(m_handle) != 0;
        m_handle = INVALID_HANDLE_VALUE;
        return closed;
    }

private:
    HANDLE m_handle;
};

constexpr DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

/// A handle for looking at `path` (its attributes, its identity); links are followed unless `followLinks` is
/// false.
HANDLE openForAttributes(const std::string& path, bool followLinks)
{
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    return ::CreateFileW(longPath(path).c_str(), FILE_READ_ATTRIBUTES, shareAll, nullptr, OPEN_EXISTING, flags,
                         nullptr);
}

std::int64_t nanosecondsSince1970(const FILETIME& time)
{
    const std::uint64_t ticks = (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    constexpr std::int64_t secondsFrom1601To1970 = 11644473600;
    return clampedNanoseconds(static_cast<std::int64_t>(ticks / 10000000) - secondsFrom1601To1970,
                              static_cast<std::int64_t>(ticks % 10000000) * 100);
}

FileStat fileStateOf(const BY_HANDLE_FILE_INFORMATION& information)
{
    return FileStat{(static_cast<std::uint64_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow,
                    nanosecondsSince1970(information.ftLastWriteTime)};
}

std::optional<FileStat> fileStateOf(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(handle, &information))
        return std::nullopt;
    return fileStateOf(information);
}

std::uint32_t modeOf(DWORD attributes, bool folder)
{
    std::uint32_t mode = folder ? 0755 : 0644;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        mode &= ~0222u;
    return mode;
}

FolderEntry::Kind kindOf(DWORD attributes, DWORD reparseTag)
{
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && isLinkTag(reparseTag))
        return FolderEntry::Kind::Link;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return FolderEntry::Kind::Folder;
    if (attributes & FILE_ATTRIBUTE_DEVICE)
        return FolderEntry::Kind::Other;
    return FolderEntry::Kind::File;
}

/// The reparse data of a link as Windows keeps it (the layout of REPARSE_DATA_BUFFER, which the user-mode
/// headers do not give).
struct ReparseData
{
    DWORD tag = 0;
    std::vector<char> raw;   ///< the whole buffer, as FSCTL_GET_REPARSE_POINT gives it
    std::wstring substitute; ///< the target as the system uses it ("\??\C:\..." for absolute ones)
    std::wstring print;      ///< the target as it is shown
    bool relative = false;   ///< a symbolic link relative to its own folder
};

std::optional<ReparseData> readReparseData(const std::string& path, DWORD& error)
{
    Handle handle(::CreateFileW(longPath(path).c_str(), FILE_READ_ATTRIBUTES, shareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!handle.valid()) {
        error = ::GetLastError();
        return std::nullopt;
    }
    std::vector<char> buffer(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
    DWORD got = 0;
    if (!::DeviceIoControl(handle.get(), FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer.data(),
                           static_cast<DWORD>(buffer.size()), &got, nullptr)) {
        error = ::GetLastError();
        return std::nullopt;
    }
    buffer.resize(got);
    ReparseData data;
    std::memcpy(&data.tag, buffer.data(), sizeof data.tag);
    // After tag (4), data length (2) and reserved (2): substitute offset and length, print offset and length;
    // symbolic links then have 4 bytes of flags. Offsets count bytes from the start of the path buffer.
    constexpr std::size_t header = 8;
    if (!isLinkTag(data.tag) || got < header + 8) {
        error = ERROR_INVALID_REPARSE_DATA;
        return std::nullopt;
    }
    auto field = [&](std::size_t at) {
        USHORT value = 0;
        std::memcpy(&value, buffer.data() + header + at, sizeof value);
        return static_cast<std::size_t>(value);
    };
    std::size_t pathBuffer = header + 8;
    if (data.tag == IO_REPARSE_TAG_SYMLINK) {
        ULONG flags = 0;
        if (got < pathBuffer + 4) {
            error = ERROR_INVALID_REPARSE_DATA;
            return std::nullopt;
        }
        std::memcpy(&flags, buffer.data() + pathBuffer, sizeof flags);
        data.relative = (flags & 1) != 0; // SYMLINK_FLAG_RELATIVE
        pathBuffer += 4;
    }
    auto text = [&](std::size_t offset, std::size_t length) {
        if (pathBuffer + offset + length > got)
            return std::wstring();
        std::wstring value(length / sizeof(wchar_t), L'\0');
        std::memcpy(value.data(), buffer.data() + pathBuffer + offset, length);
        return value;
    };
    data.substitute = text(field(0), field(2));
    data.print = text(field(4), field(6));
    data.raw = std::move(buffer);
    return data;
}

/// The target of a link as a person would write it.
std::string linkTargetOf(const ReparseData& data)
{
    std::wstring target = data.print.empty() ? data.substitute : data.print;
    if (target.starts_with(L"\\??\\"))
        target.erase(0, 4);
    return WideText::toUtf8(target);
}

/// Takes the read-only attribute off `path` (a file of ours about to be replaced or deleted); true when the
/// file is writable now.
bool makeWritable(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY))
        return attributes != INVALID_FILE_ATTRIBUTES;
    return ::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY) != 0;
}

void deleteQuietly(const std::string& path)
{
    const std::wstring wide = longPath(path);
    makeWritable(wide);
    ::DeleteFileW(wide.c_str());
}

/// Moves `from` over the file `to`, written through to the disk. A read-only `to` (an earlier backup of a
/// read-only file) is replaced all the same.
bool moveReplacing(const std::string& from, const std::string& to, DWORD& error)
{
    const std::wstring source = longPath(from);
    const std::wstring target = longPath(to);
    constexpr DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    if (::MoveFileExW(source.c_str(), target.c_str(), flags))
        return true;
    error = ::GetLastError();
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
        !(attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
        // Windows answers "access denied" too when another program holds `to` open (a register database while its
        // program runs): asked for the right to delete it, the file tells the two apart.
        const HANDLE held = ::CreateFileW(target.c_str(), DELETE, shareAll, nullptr, OPEN_EXISTING, 0, nullptr);
        if (held == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_SHARING_VIOLATION)
            error = ERROR_SHARING_VIOLATION;
        else if (held != INVALID_HANDLE_VALUE)
            ::CloseHandle(held);
        return false;
    }
    if (error != ERROR_ACCESS_DENIED || attributes == INVALID_FILE_ATTRIBUTES ||
        !(attributes & FILE_ATTRIBUTE_READONLY) || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    ::SetFileAttributesW(target.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if (::MoveFileExW(source.c_str(), target.c_str(), flags))
        return true;
    error = ::GetLastError();
    ::SetFileAttributesW(target.c_str(), attributes);
    return false;
}

struct FoundFile
{
    std::wstring name;
    WIN32_FIND_DATAW data;
};

/// The entries of `folder` as FindFirstFileExW gives them, "." and ".." left out; `error` is 0 when the whole
/// folder was read.
std::vector<FoundFile> findAll(const std::string& folder, DWORD& error)
{
    std::vector<FoundFile> found;
    error = 0;
    std::wstring pattern = longPath(folder);
    if (!pattern.ends_with(L"\\"))
        pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW data{};
    HANDLE search = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                       FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) {
        error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND)
            error = 0; // an empty drive root has not even "." in it
        return found;
    }
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..")
            found.push_back({name, data});
    } while (::FindNextFileW(search, &data));
    const DWORD last = ::GetLastError();
    if (last != ERROR_NO_MORE_FILES)
        error = last;
    ::FindClose(search);
    return found;
}

FolderEntry entryOf(const std::string& name, const std::string& path, DWORD attributes, DWORD reparseTag,
                    std::uint64_t size, const FILETIME& modified)
{
    FolderEntry entry;
    entry.name = name;
    entry.kind = kindOf(attributes, reparseTag);
    entry.size = entry.kind == FolderEntry::Kind::File ? size : 0;
    entry.modifiedNs = nanosecondsSince1970(modified);
    entry.mode = modeOf(attributes, entry.kind == FolderEntry::Kind::Folder);
    if (entry.kind == FolderEntry::Kind::Link) {
        DWORD error = 0;
        if (const auto data = readReparseData(path, error))
            entry.linkTarget = linkTargetOf(*data);
    }
    return entry;
}

/// Finds the first read-only file below `path` (itself included), links left alone.
std::optional<std::string> findReadOnly(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesW(longPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return std::nullopt;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return (attributes & FILE_ATTRIBUTE_READONLY) ? std::optional(path) : std::nullopt;
    DWORD error = 0;
    for (const FoundFile& found : findAll(path, error)) {
        if (const auto readOnly = findReadOnly(Paths::join(path, WideText::toUtf8(found.name))))
            return readOnly;
    }
    return std::nullopt;
}

Result removeRecursively(const std::string& path)
{
    const std::wstring wide = longPath(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return Result::failure(describe("cannot delete", path, ::GetLastError()));
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        // A link to a folder goes as a link: what it points to is not ours to delete.
        if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            DWORD error = 0;
            const std::vector<FoundFile> children = findAll(path, error);
            if (error != 0)
                return Result::failure(describe("cannot read the folder", path, error));
            for (const FoundFile& child : children) {
                if (Result removed = removeRecursively(Paths::join(path, WideText::toUtf8(child.name))); !removed)
                    return removed;
            }
        }
        makeWritable(wide);
        if (!::RemoveDirectoryW(wide.c_str()))
            return Result::failure(describe("cannot delete the folder", path, ::GetLastError()));
        return Result::success();
    }
    makeWritable(wide);
    if (!::DeleteFileW(wide.c_str()))
        return Result::failure(describe("cannot delete", path, ::GetLastError()));
    return Result::success();
}

/// Where a positioned ReadFile or WriteFile works in the file (the handles are not opened for overlapped work:
/// the call still waits, at that position).
OVERLAPPED positionAt(std::uint64_t position)
{
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(position & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(position >> 32);
    return at;
}

/// Reads a file with positioned ReadFile calls.
class WinInputFile : public InputFile
{
public:
    WinInputFile(HANDLE handle, std::string path) : m_handle(handle), m_path(std::move(path)) {}

    std::optional<std::size_t> readAt(std::uint64_t offset, void* buffer, std::size_t size, std::string& error) override
    {
        std::size_t done = 0;
        while (done < size) {
            OVERLAPPED at = positionAt(offset + done);
            const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
            DWORD got = 0;
            if (!::ReadFile(m_handle.get(), static_cast<char*>(buffer) + done, wanted, &got, &at)) {
                const DWORD failure = ::GetLastError();
                if (failure == ERROR_HANDLE_EOF)
                    break;
                error = describe("cannot read", m_path, failure);
                return std::nullopt;
            }
            if (got == 0)
                break;
            done += got;
        }
        return done;
    }

    std::optional<FileStat> stat() const override { return fileStateOf(m_handle.get()); }

private:
    Handle m_handle;
    std::string m_path;
};

/// A new file written with positioned WriteFile calls, synced with FlushFileBuffers.
class WinOutputFile : public BufferedOutputFile
{
public:
    WinOutputFile(HANDLE handle, std::string path) : m_handle(handle), m_path(std::move(path)) {}

protected:
    Result writeAt(std::uint64_t position, const char* data, std::size_t size) override
    {
        std::size_t done = 0;
        while (done < size) {
            OVERLAPPED at = positionAt(position + done);
            const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
            DWORD put = 0;
            if (!::WriteFile(m_handle.get(), data + done, wanted, &put, &at) || put == 0)
                return Result::failure(describe("cannot write", m_path, ::GetLastError()));
            done += put;
        }
        return Result::success();
    }

    Result syncAndClose() override
    {
        if (!::FlushFileBuffers(m_handle.get()))
            return Result::failure(describe("cannot finish writing", m_path, ::GetLastError()));
        if (!m_handle.closeNow())
            return Result::failure(describe("cannot finish writing", m_path, ::GetLastError()));
        return Result::success();
    }

private:
    Handle m_handle;
    std::string m_path;
};

/// One tick (100 ns) before `time`: the date of a copy that is not whole (see copyPass).
FILETIME justBefore(const FILETIME& time)
{
    const std::uint64_t ticks = ((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime) - 1;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

/// Writes all `size` bytes to `out`; 0, or the error.
DWORD writeAll(HANDLE out, const char* data, DWORD size)
{
    while (size > 0) {
        DWORD put = 0;
        if (!::WriteFile(out, data, size, &put, nullptr) || put == 0)
            return ::GetLastError();
        data += put;
        size -= put;
    }
    return 0;
}

/// One reading of `source` into the new file `temporary`: contents to the end in pieces of 1 MiB (`check` told
/// after each), modification time and attributes, written through to the disk.
CopyPass copyPass(const std::string& source, const std::string& temporary, const std::string& target,
                  const FileSystem::CopyCheck& check)
{
    CopyPass pass;
    auto failed = [&](std::string reason) {
        pass.result = Result::failure(std::move(reason));
        return pass;
    };
    // Others may go on writing to the file while it is read: a backup must not stand in their way.
    Handle in(::CreateFileW(longPath(source).c_str(), GENERIC_READ, shareAll, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!in.valid())
        return failed(describe("cannot open", source, ::GetLastError()));
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(in.get(), &information))
        return failed(describe("cannot examine", source, ::GetLastError()));
    pass.before = fileStateOf(information);
    Handle out(::CreateFileW(longPath(temporary).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!out.valid())
        return failed(describe("cannot copy", source, ::GetLastError()) + " (to \"" + target + "\")");
    constexpr DWORD piece = 1 << 20;
    static thread_local std::vector<char> buffer(piece);
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(in.get(), buffer.data(), piece, &got, nullptr)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_HANDLE_EOF)
                break;
            return failed(describe("cannot read", source, error));
        }
        if (got == 0)
            break;
        if (const DWORD error = writeAll(out.get(), buffer.data(), got); error != 0)
            return failed(describe("cannot copy", source, error) + " (to \"" + target + "\")");
        pass.bytes += got;
        if (check && !check(pass.bytes))
            return failed("\"" + source + "\": the copy was stopped");
    }
    if (::GetFileInformationByHandle(in.get(), &information))
        pass.after = fileStateOf(information);
    // Only a whole copy is given the source's time: a later run keeps a copy whose time and size match its source.
    FILETIME modified = information.ftLastWriteTime;
    if (!sameFileState(pass.before, pass.after))
        modified = justBefore(modified);
    ::SetFileTime(out.get(), nullptr, nullptr, &modified);
    // Written through before the move: after a power cut the name holds the new copy or the earlier one.
    if (!::FlushFileBuffers(out.get()) || !out.closeNow())
        return failed(describe("cannot finish writing", target, ::GetLastError()));
    constexpr DWORD kept =
        FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
    if (information.dwFileAttributes & kept)
        ::SetFileAttributesW(longPath(temporary).c_str(), information.dwFileAttributes & kept);
    return pass;
}

/// Attributes of what `path` leads to, links followed.
std::optional<BY_HANDLE_FILE_INFORMATION> followedInformation(const std::string& path)
{
    Handle handle(openForAttributes(path, true));
    BY_HANDLE_FILE_INFORMATION information{};
    if (!handle.valid() || !::GetFileInformationByHandle(handle.get(), &information))
        return std::nullopt;
    return information;
}

} // namespace

bool WinFileSystem::exists(const std::string& path) const
{
    return ::GetFileAttributesW(longPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WinFileSystem::isDirectory(const std::string& path) const
{
    const auto information = followedInformation(path);
    return information && (information->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool WinFileSystem::isRegularFile(const std::string& path) const
{
    const auto information = followedInformation(path);
    return information && !(information->dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
}

std::optional<FileStat> WinFileSystem::statFile(const std::string& path) const
{
    const auto information = followedInformation(path);
    if (!information)
        return std::nullopt;
    return fileStateOf(*information);
}

std::optional<FolderEntry> WinFileSystem::examine(const std::string& path, bool followLinks) const
{
    if (followLinks) {
        const auto information = followedInformation(path);
        if (!information)
            return std::nullopt;
        return entryOf(Paths::lastComponent(path), path, information->dwFileAttributes & ~FILE_ATTRIBUTE_REPARSE_POINT,
                       0, (static_cast<std::uint64_t>(information->nFileSizeHigh) << 32) | information->nFileSizeLow,
                       information->ftLastWriteTime);
    }
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(longPath(path).c_str(), GetFileExInfoStandard, &data))
        return std::nullopt;
    DWORD tag = 0;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        DWORD error = 0;
        if (const auto reparse = readReparseData(path, error))
            tag = reparse->tag;
    }
    return entryOf(Paths::lastComponent(path), path, data.dwFileAttributes, tag,
                   (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow, data.ftLastWriteTime);
}

std::optional<FileIdentity> WinFileSystem::identity(const std::string& path) const
{
    const auto information = followedInformation(path);
    if (!information)
        return std::nullopt;
    return FileIdentity{information->dwVolumeSerialNumber,
                        (static_cast<std::uint64_t>(information->nFileIndexHigh) << 32) | information->nFileIndexLow};
}

FolderListing WinFileSystem::listFolder(const std::string& folder) const
{
    FolderListing listing;
    DWORD error = 0;
    std::vector<FoundFile> found = findAll(folder, error);
    if (error != 0)
        listing.error =
            describe(found.empty() ? "cannot read the folder" : "cannot read the whole folder", folder, error);
    listing.entries.reserve(found.size());
    for (const FoundFile& file : found) {
        const std::string name = WideText::toUtf8(file.name);
        const WIN32_FIND_DATAW& data = file.data;
        // For a reparse point, the tag is in dwReserved0.
        listing.entries.push_back(entryOf(name, Paths::join(folder, name), data.dwFileAttributes, data.dwReserved0,
                                          (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow,
                                          data.ftLastWriteTime));
    }
    std::sort(listing.entries.begin(), listing.entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    return listing;
}

Result WinFileSystem::createDirectory(const std::string& path)
{
    if (!::CreateDirectoryW(longPath(path).c_str(), nullptr))
        return Result::failure(describe("cannot create the folder", path, ::GetLastError()));
    return Result::success();
}

Result WinFileSystem::removeTree(const std::string& path, RemoveMode mode)
{
    if (!exists(path))
        return Result::failure(describe("cannot delete", path, ERROR_FILE_NOT_FOUND));
    if (mode == RemoveMode::NotForced) {
        if (const auto readOnly = findReadOnly(path))
            return Result::failure("\"" + path + "\" was not deleted: it holds the read-only file \"" + *readOnly +
                                   "\"");
    }
    return removeRecursively(path);
}

Result WinFileSystem::removeFile(const std::string& path, RemoveMode mode)
{
    const std::wstring wide = longPath(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return Result::failure(describe("cannot delete", path, ::GetLastError()));
    const bool link = attributes & FILE_ATTRIBUTE_REPARSE_POINT;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !link)
        return Result::failure("\"" + path + "\" is a folder, not a file");
    if (mode == RemoveMode::NotForced && !link && (attributes & FILE_ATTRIBUTE_READONLY))
        return Result::failure("\"" + path + "\" is read-only and was not deleted");
    makeWritable(wide);
    const bool removed =
        (attributes & FILE_ATTRIBUTE_DIRECTORY) ? ::RemoveDirectoryW(wide.c_str()) : ::DeleteFileW(wide.c_str());
    if (!removed)
        return Result::failure(describe("cannot delete", path, ::GetLastError()));
    return Result::success();
}

Result WinFileSystem::rename(const std::string& from, const std::string& to)
{
    DWORD error = 0;
    if (!moveReplacing(from, to, error))
        return Result::failure(describe("cannot rename", from, error) + " (to \"" + to + "\")");
    return Result::success();
}

Result WinFileSystem::setModifiedTime(const std::string& path, std::int64_t modifiedNs)
{
    constexpr std::int64_t ticksFrom1601To1970 = 11644473600LL * 10000000;
    const std::int64_t ticks = std::max<std::int64_t>(0, modifiedNs / 100 + ticksFrom1601To1970);
    const FILETIME modified{static_cast<DWORD>(ticks), static_cast<DWORD>(static_cast<std::uint64_t>(ticks) >> 32)};
    Handle handle(::CreateFileW(longPath(path).c_str(), FILE_WRITE_ATTRIBUTES, shareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle.valid() || !::SetFileTime(handle.get(), nullptr, nullptr, &modified))
        return Result::failure(describe("cannot set the time of", path, ::GetLastError()));
    return Result::success();
}

Result WinFileSystem::copyFile(const std::string& source, const std::string& target, const CopyCheck& check)
{
    CopySteps steps;
    steps.pass = [&](const std::string& temporary) { return copyPass(source, temporary, target, check); };
    steps.targetExists = [&] { return exists(target); };
    steps.putInPlace = [&](const std::string& temporary) {
        DWORD error = 0;
        if (!moveReplacing(temporary, target, error))
            return Result::failure(describe("cannot replace", target, error));
        return Result::success();
    };
    steps.discard = [](const std::string& temporary) { deleteQuietly(temporary); };
    return copyWithChangeCheck(source, target, steps, check);
}

void WinFileSystem::syncFolder(const std::string&)
{
    // Every move is made with MOVEFILE_WRITE_THROUGH: it is on the disk when MoveFileExW returns.
}

Result WinFileSystem::copyLink(const std::string& source, const std::string& target)
{
    DWORD error = 0;
    const std::optional<ReparseData> data = readReparseData(source, error);
    if (!data)
        return Result::failure(describe("cannot read the link", source, error));
    const DWORD attributes = ::GetFileAttributesW(longPath(source).c_str());
    const bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    const std::string temporary = TemporaryNames::beside(target);
    const std::wstring wideTemporary = longPath(temporary);

    if (data->tag == IO_REPARSE_TAG_SYMLINK) {
        // As it was written: a relative link stays relative to its new folder.
        std::wstring linkTarget =
            data->relative ? data->substitute : (data->print.empty() ? data->substitute : data->print);
        if (linkTarget.starts_with(L"\\??\\"))
            linkTarget.erase(0, 4);
        const DWORD flags = (folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) | 0x2; // ALLOW_UNPRIVILEGED_CREATE
        if (!::CreateSymbolicLinkW(wideTemporary.c_str(), linkTarget.c_str(), flags))
            return Result::failure(describe("cannot create the link", target, ::GetLastError()));
    } else {
        // A junction: an empty folder given the same reparse data (no privilege needed, unlike symbolic links).
        if (!::CreateDirectoryW(wideTemporary.c_str(), nullptr))
            return Result::failure(describe("cannot create the link", target, ::GetLastError()));
        Handle handle(::CreateFileW(wideTemporary.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        DWORD ignored = 0;
        if (!handle.valid() ||
            !::DeviceIoControl(handle.get(), FSCTL_SET_REPARSE_POINT, const_cast<char*>(data->raw.data()),
                               static_cast<DWORD>(data->raw.size()), nullptr, 0, &ignored, nullptr)) {
            const DWORD failure = ::GetLastError();
            handle.closeNow();
            ::RemoveDirectoryW(wideTemporary.c_str());
            return Result::failure(describe("cannot create the link", target, failure));
        }
    }

    // A link of a second run replaces the first one's; a folder link cannot be moved over, so it goes first.
    const std::wstring wideTarget = longPath(target);
    const DWORD existing = ::GetFileAttributesW(wideTarget.c_str());
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_REPARSE_POINT) &&
        (existing & FILE_ATTRIBUTE_DIRECTORY))
        ::RemoveDirectoryW(wideTarget.c_str());
    if (!::MoveFileExW(wideTemporary.c_str(), wideTarget.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        const DWORD failure = ::GetLastError();
        if (folder)
            ::RemoveDirectoryW(wideTemporary.c_str());
        else
            ::DeleteFileW(wideTemporary.c_str());
        return Result::failure(describe("cannot replace", target, failure));
    }
    return Result::success();
}

TreeCopyOutcome WinFileSystem::copyTreeContents(const std::string& source, const std::string& target,
                                                const ProgressCallback& progress)
{
    return copyTreeWith(*this, source, target, progress);
}

std::vector<std::string> WinFileSystem::listFiles(const std::string& folder) const
{
    std::vector<std::string> names;
    for (const FolderEntry& entry : listFolder(folder).entries) {
        if (entry.kind == FolderEntry::Kind::File ||
            (entry.kind == FolderEntry::Kind::Link && isRegularFile(Paths::join(folder, entry.name))))
            names.push_back(entry.name);
    }
    return names;
}

std::optional<std::string> WinFileSystem::readFile(const std::string& path) const
{
    std::string error;
    const std::unique_ptr<InputFile> in = openForReading(path, error);
    if (!in)
        return std::nullopt;
    std::string content;
    char buffer[65536];
    for (;;) {
        const auto got = in->readAt(content.size(), buffer, sizeof buffer, error);
        if (!got)
            return std::nullopt;
        if (*got == 0)
            return content;
        content.append(buffer, *got);
    }
}

Result WinFileSystem::writeFileAtomically(const std::string& path, const std::string& content)
{
    const std::string temporary = TemporaryNames::beside(path);
    std::string error;
    std::unique_ptr<OutputFile> out = createFile(temporary, error);
    if (!out)
        return Result::failure(error);
    Result written = out->write(content.data(), content.size());
    if (written)
        written = out->close();
    out.reset();
    if (!written) {
        deleteQuietly(temporary);
        return written;
    }
    DWORD failure = 0;
    if (!moveReplacing(temporary, path, failure)) {
        deleteQuietly(temporary);
        return Result::failure(describe("cannot replace", path, failure));
    }
    return Result::success();
}

std::unique_ptr<InputFile> WinFileSystem::openForReading(const std::string& path, std::string& error) const
{
    // Others may go on writing and even renaming the file while it is read: a backup must not stand in the
    // way of the programs whose data it copies.
    const HANDLE handle = ::CreateFileW(longPath(path).c_str(), GENERIC_READ, shareAll, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = describe("cannot open", path, ::GetLastError());
        return nullptr;
    }
    return std::make_unique<WinInputFile>(handle, path);
}

std::unique_ptr<OutputFile> WinFileSystem::createFile(const std::string& path, std::string& error)
{
    const HANDLE handle = ::CreateFileW(longPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = describe("cannot create", path, ::GetLastError());
        return nullptr;
    }
    return std::make_unique<WinOutputFile>(handle, path);
}
