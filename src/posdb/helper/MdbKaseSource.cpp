// Table `kase` read with mdbtools' libmdb. The checks beyond libmdb's own catch the damage it passes over in
// silence: a file cut short loses the table's last data pages without an error, and a lost data page just
// ends the table early.
#include "KaseSource.h"

#include <mdbtools.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

namespace {

struct HandleCloser
{
    void operator()(MdbHandle* handle) const { mdb_close(handle); }
};
struct TableFreer
{
    void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};

/// A column bound to a buffer: libmdb writes every fetched value there as UTF-8 text, "" for null.
struct BoundColumn
{
    const char* name;
    std::vector<char> value = std::vector<char>(MDB_BIND_SIZE, '\0');
    int length = 0;

    std::string text() const
    {
        const auto size = static_cast<std::size_t>(length);
        return size < value.size() ? std::string(value.data(), size) : std::string(value.data());
    }
};

KaseReadResult problem(KaseProblem::Kind kind, std::string detail = {})
{
    KaseReadResult result;
    result.problem = KaseProblem{kind, std::move(detail)};
    return result;
}

/// Why the file cannot be read at all; nothing when it can.
std::optional<std::string> unreadable(const std::string& databaseFile)
{
    std::FILE* file = std::fopen(databaseFile.c_str(), "rb");
    if (!file)
        return std::strerror(errno);
    std::fclose(file);
    return std::nullopt;
}

/// The first page of the table's usage map that the file does not hold, -1 when all are there: the page that
/// holds the map (libmdb calls it first_data_pg; without it the map reads as empty), the pages of the map's
/// bitmaps (a map of type 1 lists them), then the data pages the map names.
long missingDataPage(MdbHandle* database, MdbTableDef* table, std::uintmax_t fileSize)
{
    const auto pageSize = static_cast<std::uintmax_t>(database->fmt->pg_size);
    if ((std::uintmax_t(table->first_data_pg) + 1) * pageSize > fileSize)
        return static_cast<long>(table->first_data_pg);
    const auto map = static_cast<unsigned int>(table->map_sz);
    if (map > 0 && table->usage_map[0] == 1) {
        for (unsigned int at = 1; at + 4 <= map; at += 4) {
            const unsigned char* entry = table->usage_map + at;
            const std::uintmax_t page = entry[0] | entry[1] << 8 | entry[2] << 16 | std::uintmax_t(entry[3]) << 24;
            if (page != 0 && (page + 1) * pageSize > fileSize)
                return static_cast<long>(page);
        }
    }
    for (gint32 page = mdb_map_find_next(database, table->usage_map, map, 0); page > 0;) {
        if ((static_cast<std::uintmax_t>(page) + 1) * pageSize > fileSize)
            return page;
        const gint32 next = mdb_map_find_next(database, table->usage_map, map, static_cast<guint32>(page));
        if (next <= page)
            break;
        page = next;
    }
    return -1;
}

/// The size a fixed column of `type` has; 0 for a variable or unknown type.
int fixedSize(int type)
{
    switch (type) {
    case MDB_BOOL:
        return 0; // kept in the row's null mask, no room of its own
    case MDB_BYTE:
        return 1;
    case MDB_INT:
        return 2;
    case MDB_LONGINT:
    case MDB_FLOAT:
        return 4;
    case MDB_MONEY:
    case MDB_DOUBLE:
    case MDB_DATETIME:
        return 8;
    case MDB_REPID:
        return 16;
    case MDB_NUMERIC:
        return 17;
    default:
        return 0;
    }
}

bool knownType(int type)
{
    return (type >= MDB_BOOL && type <= MDB_MEMO) || type == MDB_REPID || type == MDB_NUMERIC;
}

/// What is wrong with the column definitions of `table`; nothing when they hold together. A damaged
/// definition makes libmdb return empty or made-up values without a word: numbers taken for texts, one column's
/// values under another's name.
std::optional<std::string> definitionProblem(MdbTableDef* table)
{
    const unsigned int count = table->columns->len;
    std::vector<bool> numberSeen(count, false);
    std::vector<bool> variableSeen(table->num_var_cols, false);
    for (unsigned int index = 0; index < count; ++index) {
        const auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, index));
        const std::string wrong = std::string("definicija kolone ") + column->name + " tabele kase je neispravna";
        const int size = fixedSize(column->col_type);
        if (!knownType(column->col_type))
            return wrong + " (nepoznat tip " + std::to_string(column->col_type) + ")";
        if (size > 0 && (!column->is_fixed || column->col_size != size))
            return wrong + " (velicina ne odgovara tipu)";
        // Every column has its own place in the row: numbers 0 to count - 1, and one slot per variable column.
        if (column->col_num < 0 || static_cast<unsigned int>(column->col_num) >= count || numberSeen[column->col_num])
            return wrong + " (redni broj " + std::to_string(column->col_num) + ")";
        numberSeen[column->col_num] = true;
        if (!column->is_fixed) {
            if (column->var_col_num >= variableSeen.size() || variableSeen[column->var_col_num])
                return wrong + " (mjesto u redu)";
            variableSeen[column->var_col_num] = true;
        }
    }
    return std::nullopt;
}

/// Why the rows that can be read do not add up to the number the table's definition keeps; nothing when they do.
/// Fewer means a data page or a row that could not be read or was not the table's: libmdb passes over both.
std::optional<std::string> rowCountProblem(MdbTableDef* table, std::size_t rowsRead, const std::string& what)
{
    if (rowsRead == table->num_rows)
        return std::nullopt;
    return what + " ima " + std::to_string(table->num_rows) + " redova, a procitano je " + std::to_string(rowsRead);
}

/// What is wrong with the catalog (the table MSysObjects, read by mdb_read_catalog); nothing when it is whole. An
/// incomplete catalog may well lack `kase` while the table is in the file.
std::optional<std::string> catalogProblem(MdbHandle* database, std::uintmax_t fileSize)
{
    // The catalog lists itself.
    MdbCatalogEntry* catalog = mdb_get_catalogentry_by_name(database, "MSysObjects");
    if (!catalog || catalog->object_type != MDB_TABLE)
        return "popis tabela je nepotpun";
    std::unique_ptr<MdbTableDef, TableFreer> table(mdb_read_table(catalog));
    if (!table)
        return "definicija popisa tabela se ne moze procitati";
    if (const long page = missingDataPage(database, table.get(), fileSize); page >= 0)
        return "stranica " + std::to_string(page) + " popisa tabela nedostaje, datoteka je odsjecena";
    if (!mdb_read_columns(table.get()))
        return "kolone popisa tabela se ne mogu procitati";
    std::size_t rows = 0;
    mdb_rewind_table(table.get());
    while (mdb_fetch_row(table.get()))
        ++rows;
    return rowCountProblem(table.get(), rows, "popis tabela");
}

} // namespace

KaseReadResult readKaseTable(const std::string& databaseFile)
{
    if (const auto reason = unreadable(databaseFile))
        return problem(KaseProblem::Kind::CannotOpen, *reason);
    std::error_code error;
    const std::uintmax_t fileSize = std::filesystem::file_size(databaseFile, error);
    if (error)
        return problem(KaseProblem::Kind::CannotOpen, error.message());
    if (fileSize == 0)
        return problem(KaseProblem::Kind::Damaged, "datoteka je prazna");

    // Opened read-only: the point-of-sale program may have the file open and must never find it changed by us.
    std::unique_ptr<MdbHandle, HandleCloser> database(mdb_open(databaseFile.c_str(), MDB_NOFLAGS));
    if (!database)
        return problem(KaseProblem::Kind::CannotOpen, "datoteka nije Access baza ili joj je zaglavlje osteceno");
    // A Jet file is always a whole number of pages; anything else was cut short (or grown by garbage).
    if (fileSize % static_cast<std::uintmax_t>(database->fmt->pg_size) != 0)
        return problem(KaseProblem::Kind::Damaged, "datoteka nije cijeli broj stranica, vjerovatno je odsjecena");
    if (!mdb_read_catalog(database.get(), MDB_TABLE))
        return problem(KaseProblem::Kind::Damaged, "popis tabela se ne moze procitati");
    if (const auto incomplete = catalogProblem(database.get(), fileSize))
        return problem(KaseProblem::Kind::Damaged, *incomplete);

    // libmdb says "no such table" also when the table is listed but its definition cannot be read.
    MdbCatalogEntry* entry = mdb_get_catalogentry_by_name(database.get(), "kase");
    if (!entry || entry->object_type != MDB_TABLE)
        return problem(KaseProblem::Kind::NoTable);
    std::unique_ptr<MdbTableDef, TableFreer> table(mdb_read_table(entry));
    if (!table)
        return problem(KaseProblem::Kind::Damaged, "definicija tabele kase se ne moze procitati");
    if (!mdb_read_columns(table.get()))
        return problem(KaseProblem::Kind::Damaged, "kolone tabele kase se ne mogu procitati");

    std::array<BoundColumn, 3> columns{BoundColumn{"id"}, BoundColumn{"oznakakase"}, BoundColumn{"putanjadobazakasa"}};
    std::string missing;
    for (BoundColumn& column : columns) {
        std::string name = column.name;
        if (mdb_bind_column_by_name(table.get(), name.data(), column.value.data(), &column.length) < 0)
            missing += (missing.empty() ? "" : ", ") + name;
    }
    if (!missing.empty())
        return problem(KaseProblem::Kind::NoColumn, missing);
    if (const auto wrong = definitionProblem(table.get()))
        return problem(KaseProblem::Kind::Damaged, *wrong);

    if (const long page = missingDataPage(database.get(), table.get(), fileSize); page >= 0)
        return problem(KaseProblem::Kind::Damaged,
                       "stranica " + std::to_string(page) + " tabele kase nedostaje, datoteka je odsjecena");

    KaseReadResult result;
    mdb_rewind_table(table.get());
    while (mdb_fetch_row(table.get()))
        result.rows.push_back(CashRegister{columns[0].text(), columns[1].text(), columns[2].text()});
    if (const auto count = rowCountProblem(table.get(), result.rows.size(), "tabela kase"))
        return problem(KaseProblem::Kind::Damaged, *count);
    return result;
}
