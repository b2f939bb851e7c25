// The open databases and tables of IDs, by handle.
#pragma once

#include <memory>

#include "notes/notes_library.h"

namespace nn {

struct Database;
struct IdTable;

// The object a handle stands for; null when it stands for none.
Database* find_database(DbHandle handle);
IdTable* find_table(IdTableHandle handle);

// Takes the object and gives out its handle; false, and the object left
// with the caller, when memory runs out.
bool add_database(std::unique_ptr<Database>& db, DbHandle* handle_out);
bool add_table(std::unique_ptr<IdTable>& table, IdTableHandle* handle_out);

// Destroys the object of a handle that stands for one.
void drop_database(DbHandle handle);
void drop_table(IdTableHandle handle);

// What is still held, for the test-only report at notes_term.
int open_database_count();
int open_table_count();
void close_all_databases();

} // namespace nn
