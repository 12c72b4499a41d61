// Table `kase` read through ODBC with the Access driver that Windows has (Jet, 32-bit only) or, failing that,
// the newer one of Access' own setup. Wide functions throughout; the file is opened read-only.
#include "KaseSource.h"

#include "WideText.h"

#include <windows.h>

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr std::array<const wchar_t*, 2> drivers{L"Microsoft Access Driver (*.mdb)",
                                                L"Microsoft Access Driver (*.mdb, *.accdb)"};
constexpr std::array<const char*, 3> columnNames{"id", "oznakakase", "putanjadobazakasa"};
/// No value of `kase` is near this long; a longer one is garbage from a damaged file.
constexpr std::size_t longestValue = 1 << 20;

/// An ODBC handle, freed at the end of its scope.
class OdbcHandle
{
public:
    OdbcHandle(SQLSMALLINT type, SQLHANDLE parent) : m_type(type)
    {
        if (!SQL_SUCCEEDED(::SQLAllocHandle(type, parent, &m_handle)))
            m_handle = SQL_NULL_HANDLE;
    }
    ~OdbcHandle()
    {
        if (m_handle != SQL_NULL_HANDLE)
            ::SQLFreeHandle(m_type, m_handle);
    }
    OdbcHandle(const OdbcHandle&) = delete;
    OdbcHandle& operator=(const OdbcHandle&) = delete;

    SQLHANDLE get() const { return m_handle; }
    SQLSMALLINT type() const { return m_type; }
    explicit operator bool() const { return m_handle != SQL_NULL_HANDLE; }

private:
    SQLSMALLINT m_type;
    SQLHANDLE m_handle = SQL_NULL_HANDLE;
};

/// What the driver (manager) said about the last call on a handle: every record's state and message.
struct Diagnostic
{
    std::vector<std::string> states;
    std::string message;

    bool has(const char* state) const { return std::find(states.begin(), states.end(), state) != states.end(); }
};

Diagnostic diagnosticOf(const OdbcHandle& handle)
{
    Diagnostic diagnostic;
    for (SQLSMALLINT record = 1; record <= 8; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLWCHAR text[1024] = {};
        SQLSMALLINT length = 0;
        if (!SQL_SUCCEEDED(::SQLGetDiagRecW(handle.type(), handle.get(), record, state, &native, text,
                                            static_cast<SQLSMALLINT>(std::size(text)), &length)))
            break;
        diagnostic.states.push_back(WideText::toUtf8(state));
        std::string message = WideText::toUtf8(text);
        while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
            message.pop_back();
        if (!message.empty())
            diagnostic.message += (diagnostic.message.empty() ? "" : " / ") + message;
    }
    if (diagnostic.message.empty() && !diagnostic.states.empty())
        diagnostic.message = "ODBC greska " + diagnostic.states.front();
    if (diagnostic.message.empty())
        diagnostic.message = "ODBC greska bez opisa";
    return diagnostic;
}

KaseReadResult problem(KaseProblem::Kind kind, std::string detail = {})
{
    KaseReadResult result;
    result.problem = KaseProblem{kind, std::move(detail)};
    return result;
}

/// Our drivers that the driver manager lists, in our order; all of them when it cannot list any (then connecting
/// tells). unixODBC takes a name it does not know for a file name and says only "Can't open lib", so the list,
/// not the connection's error, is what tells a missing driver on every platform.
std::vector<const wchar_t*> installedDrivers(const OdbcHandle& environment)
{
    std::vector<std::wstring> listed;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (true) {
        SQLWCHAR name[256] = {};
        SQLWCHAR attributes[1024] = {};
        SQLSMALLINT nameLength = 0;
        SQLSMALLINT attributesLength = 0;
        const SQLRETURN got =
            ::SQLDriversW(environment.get(), direction, name, static_cast<SQLSMALLINT>(std::size(name)), &nameLength,
                          attributes, static_cast<SQLSMALLINT>(std::size(attributes)), &attributesLength);
        if (!SQL_SUCCEEDED(got))
            break;
        listed.emplace_back(name);
        direction = SQL_FETCH_NEXT;
    }
    std::vector<const wchar_t*> found;
    for (const wchar_t* driver : drivers)
        if (listed.empty() || std::find(listed.begin(), listed.end(), driver) != listed.end())
            found.push_back(driver);
    return found;
}

/// The file for the driver: a Windows path gets "\" throughout, and its short name when it holds letters outside
/// ASCII. Anything else (the Linux path that the Linux driver behind Wine's ODBC needs) is left as it is.
std::wstring driverPath(const std::string& databaseFile)
{
    std::wstring path = WideText::fromUtf8(databaseFile);
    const bool drive = path.size() >= 2 && path[1] == L':';
    const bool network = path.starts_with(L"\\\\") || path.starts_with(L"//");
    if (!drive && !network)
        return path;
    for (wchar_t& c : path)
        if (c == L'/')
            c = L'\\';
    // Jet's driver takes the file name in the ANSI code page, where Cyrillic letters (or č on a Western Windows)
    // are lost. The short (8.3) name has none of them, where the volume keeps short names.
    if (std::any_of(path.begin(), path.end(), [](wchar_t c) { return c > 0x7F; })) {
        const DWORD needed = ::GetShortPathNameW(path.c_str(), nullptr, 0);
        std::wstring shortPath(needed, L'\0');
        const DWORD written = needed > 0 ? ::GetShortPathNameW(path.c_str(), shortPath.data(), needed) : 0;
        if (written > 0 && written < needed)
            path = shortPath.substr(0, written);
    }
    return path;
}

std::wstring connectionString(const wchar_t* driver, const std::wstring& path)
{
    // In braces a value may hold ";"; a "}" in it is doubled.
    std::wstring quoted;
    for (const wchar_t c : path)
        quoted += c == L'}' ? std::wstring(L"}}") : std::wstring(1, c);
    const bool plain = path.find_first_of(L";{}") == std::wstring::npos;
    return std::wstring(L"Driver={") + driver + L"};DBQ=" + (plain ? path : L"{" + quoted + L"}") +
           L";ReadOnly=1;Exclusive=0;";
}

/// The value of `column` of the current row as text; "" for null, nothing when the driver fails.
std::optional<std::wstring> textOf(const OdbcHandle& statement, SQLUSMALLINT column)
{
    std::wstring value;
    SQLWCHAR buffer[512];
    constexpr SQLLEN bufferBytes = sizeof buffer;
    while (value.size() < longestValue) {
        SQLLEN indicator = 0;
        const SQLRETURN got = ::SQLGetData(statement.get(), column, SQL_C_WCHAR, buffer, bufferBytes, &indicator);
        if (got == SQL_NO_DATA)
            return value; // every part has been read
        if (!SQL_SUCCEEDED(got))
            return std::nullopt;
        if (indicator == SQL_NULL_DATA)
            return std::wstring();
        // Cut short: the buffer is full but for its terminating null, and the rest follows in the next call.
        const bool partial = indicator == SQL_NO_TOTAL || indicator >= bufferBytes;
        const auto characters =
            partial ? std::size(buffer) - 1 : static_cast<std::size_t>(indicator) / sizeof(SQLWCHAR);
        value.append(buffer, characters);
        if (got == SQL_SUCCESS || !partial)
            return value;
    }
    return std::nullopt;
}

/// Why the query failed, in our terms: the table or columns that are missing, found through the catalog.
KaseReadResult explainFailedQuery(const OdbcHandle& connection, const Diagnostic& failure)
{
    if (failure.has("42S02"))
        return problem(KaseProblem::Kind::NoTable);
    OdbcHandle statement(SQL_HANDLE_STMT, connection.get());
    SQLWCHAR table[] = L"kase";
    if (statement &&
        SQL_SUCCEEDED(::SQLColumnsW(statement.get(), nullptr, 0, nullptr, 0, table, SQL_NTS, nullptr, 0))) {
        std::array<bool, columnNames.size()> present{};
        bool anyColumn = false;
        while (SQL_SUCCEEDED(::SQLFetch(statement.get()))) {
            const auto name = textOf(statement, 4); // COLUMN_NAME
            if (!name)
                break;
            anyColumn = true;
            std::string lower = WideText::toUtf8(*name);
            for (char& c : lower)
                if (c >= 'A' && c <= 'Z')
                    c = static_cast<char>(c - 'A' + 'a');
            for (std::size_t index = 0; index < columnNames.size(); ++index)
                present[index] = present[index] || lower == columnNames[index];
        }
        if (!anyColumn)
            return problem(KaseProblem::Kind::NoTable);
        std::string missing;
        for (std::size_t index = 0; index < columnNames.size(); ++index)
            if (!present[index])
                missing += (missing.empty() ? "" : ", ") + std::string(columnNames[index]);
        if (!missing.empty())
            return problem(KaseProblem::Kind::NoColumn, missing);
    }
    return problem(KaseProblem::Kind::DriverError, failure.message);
}

/// Every row of the query's result, or why there is none.
KaseReadResult fetchRows(const OdbcHandle& statement)
{
    KaseReadResult result;
    while (true) {
        const SQLRETURN fetched = ::SQLFetch(statement.get());
        if (fetched == SQL_NO_DATA)
            return result;
        std::array<std::optional<std::wstring>, columnNames.size()> values;
        if (SQL_SUCCEEDED(fetched))
            for (std::size_t index = 0; index < values.size(); ++index)
                values[index] = textOf(statement, static_cast<SQLUSMALLINT>(index + 1));
        if (!values[0] || !values[1] || !values[2])
            return problem(KaseProblem::Kind::Damaged,
                           "red " + std::to_string(result.rows.size() + 1) +
                               " tabele kase se ne moze procitati: " + diagnosticOf(statement).message);
        result.rows.push_back(
            CashRegister{WideText::toUtf8(*values[0]), WideText::toUtf8(*values[1]), WideText::toUtf8(*values[2])});
    }
}

KaseReadResult readRows(const OdbcHandle& connection)
{
    Diagnostic failure;
    {
        OdbcHandle statement(SQL_HANDLE_STMT, connection.get());
        if (!statement)
            return problem(KaseProblem::Kind::DriverError, diagnosticOf(connection).message);
        // No ORDER BY: Kopirko orders the rows by `id` itself, the same way on every platform.
        SQLWCHAR query[] = L"SELECT id, oznakakase, putanjadobazakasa FROM kase";
        if (SQL_SUCCEEDED(::SQLExecDirectW(statement.get(), query, SQL_NTS)))
            return fetchRows(statement);
        failure = diagnosticOf(statement);
    } // the failed statement is gone before the catalog is asked why
    return explainFailedQuery(connection, failure);
}

} // namespace

KaseReadResult readKaseTable(const std::string& databaseFile)
{
    OdbcHandle environment(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
    if (!environment)
        return problem(KaseProblem::Kind::DriverError, "ODBC se ne moze pokrenuti");
    ::SQLSetEnvAttr(environment.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    OdbcHandle connection(SQL_HANDLE_DBC, environment.get());
    if (!connection)
        return problem(KaseProblem::Kind::DriverError, diagnosticOf(environment).message);
    // Read-only twice over: the point-of-sale program has the file open and must never find it changed by us.
    ::SQLSetConnectAttrW(connection.get(), SQL_ATTR_ACCESS_MODE, reinterpret_cast<SQLPOINTER>(SQL_MODE_READ_ONLY), 0);

    const std::wstring path = driverPath(databaseFile);
    bool connected = false;
    for (const wchar_t* driver : installedDrivers(environment)) {
        std::wstring text = connectionString(driver, path);
        SQLWCHAR completed[1024];
        SQLSMALLINT completedLength = 0;
        const SQLRETURN made =
            ::SQLDriverConnectW(connection.get(), nullptr, text.data(), SQL_NTS, completed,
                                static_cast<SQLSMALLINT>(std::size(completed)), &completedLength, SQL_DRIVER_NOPROMPT);
        if (SQL_SUCCEEDED(made)) {
            connected = true;
            break;
        }
        const Diagnostic failure = diagnosticOf(connection);
        // IM002: no driver of that name; IM003: the driver is listed but cannot be loaded.
        if (!failure.has("IM002") && !failure.has("IM003"))
            return problem(KaseProblem::Kind::CannotOpen, failure.message);
    }
    if (!connected) {
        std::string tried;
        for (const wchar_t* driver : drivers)
            tried += (tried.empty() ? "" : ", ") + WideText::toUtf8(driver);
        return problem(KaseProblem::Kind::NoDriver, tried);
    }

    KaseReadResult result = readRows(connection);
    ::SQLDisconnect(connection.get());
    return result;
}
