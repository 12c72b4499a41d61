#include "MdbRegisterReader.h"

#include <mdbtools.h>

#include <array>
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

RegisterListing failure(std::string reason)
{
    RegisterListing listing;
    listing.error = std::move(reason);
    return listing;
}

} // namespace

RegisterListing MdbRegisterReader::readRegisters(const std::string& databaseFile) const
{
    // Read-only: the point-of-sale program may have the file open and must never find it changed by us.
    std::unique_ptr<MdbHandle, HandleCloser> database(mdb_open(databaseFile.c_str(), MDB_NOFLAGS));
    if (!database)
        return failure("baza \"" + databaseFile + "\" se ne moze otvoriti");
    if (!mdb_read_catalog(database.get(), MDB_TABLE))
        return failure("baza \"" + databaseFile + "\" je ostecena: popis tabela se ne moze procitati");

    char tableName[] = "kase";
    std::unique_ptr<MdbTableDef, TableFreer> table(mdb_read_table_by_name(database.get(), tableName, MDB_TABLE));
    if (!table)
        return failure("u bazi \"" + databaseFile + "\" nema tabele kase");
    if (!mdb_read_columns(table.get()))
        return failure("baza \"" + databaseFile + "\" je ostecena: kolone tabele kase se ne mogu procitati");

    std::array<BoundColumn, 3> columns{BoundColumn{"id"}, BoundColumn{"oznakakase"}, BoundColumn{"putanjadobazakasa"}};
    std::string missing;
    for (BoundColumn& column : columns) {
        std::string name = column.name;
        if (mdb_bind_column_by_name(table.get(), name.data(), column.value.data(), &column.length) < 0)
            missing += (missing.empty() ? "" : ", ") + name;
    }
    if (!missing.empty())
        return failure("u tabeli kase nema kolone " + missing);

    RegisterListing listing;
    mdb_rewind_table(table.get());
    while (mdb_fetch_row(table.get()))
        listing.registers.push_back(CashRegister{columns[0].text(), columns[1].text(), columns[2].text()});
    return listing;
}
