// The open databases and tables of IDs, by handle.
#pragma once

namespace nn {

// What is still held, for the test-only report at notes_term.
int open_database_count();
int open_table_count();
void close_all_databases();

} // namespace nn
