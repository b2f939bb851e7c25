// The modified-notes query and the tables of IDs it hands out, note_info,
// and the kept stubs that spare note_info a second read of the file.
//
// Reads are grouped in short read transactions. No transaction is kept for
// longer than READ_SPAN, so that a writer in another process is never held
// off for long: note_info renews an older one, and a watchdog thread of each
// database ends one that nobody ends in time (while the program is busy
// elsewhere, or blocked writing its output).
#include <sqlite3.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "standin/database.h"
#include "standin/faults.h"
#include "standin/id_table.h"
#include "standin/nnotes.h"
#include "standin/registry.h"
#include "standin/status.h"
#include "standin/time.h"

namespace nn {

namespace {

// At most this many stubs' information is kept from one query (16 bytes each).
constexpr std::size_t MAX_KEPT_STUBS = std::size_t{1} << 22;

// The watchdog: ends each read transaction once it has been open for
// READ_SPAN, whether or not the program is still calling the library.
void watch_reads(Database* db) {
    std::unique_lock<std::mutex> hold(db->lock);
    while (!db->stopping) {
        if (!db->in_read) {
            db->wake.wait(hold);
        } else if (Clock::now() - db->read_since >= READ_SPAN) {
            end_read_transaction(db);
        } else {
            db->wake.wait_until(hold, db->read_since + READ_SPAN);
        }
    }
}

// Begins a read transaction, with the lock held; false when none could be
// begun (reads then go on one by one, each a transaction of its own).
bool begin_read_transaction(Database* db) {
    if (!db->watchdog.joinable()) {
        try {
            db->watchdog = std::thread(watch_reads, db);
        } catch (const std::system_error&) {
            return false; // no thread to end it: no transaction may be left open
        }
    }
    if (exec(db->conn, "BEGIN") != SQLITE_OK) {
        return false;
    }
    db->in_read = true;
    db->kept_checked = false;
    db->read_since = Clock::now();
    db->wake.notify_one();
    return true;
}

// The connection's data version: it changes when another connection commits.
bool read_data_version(Database* db, std::int64_t* version) {
    const bool ok = sqlite3_step(db->data_version) == SQLITE_ROW;
    if (ok) {
        *version = sqlite3_column_int64(db->data_version, 0);
    }
    sqlite3_reset(db->data_version);
    return ok;
}

// Fills note_info's outputs from a note's stored class and time; the class
// keeps its low 16 bits, the time is pinned to what a NotesTime holds.
void describe_note(NoteId id, std::int64_t note_class, std::int64_t modified,
                   NoteOriginRecord* origin_out, NotesTime* modified_out, NoteClass* class_out) {
    if (origin_out != nullptr) {
        std::memset(origin_out, 0, sizeof *origin_out);
        origin_out->words[0] = id;
    }
    if (class_out != nullptr) {
        *class_out = static_cast<NoteClass>(note_class & 0xFFFF);
    }
    if (modified_out != nullptr) {
        *modified_out = time_from_ms(modified);
    }
}

// Keeps one stub's information; false once there are too many to keep.
bool keep_stub(Database* db, std::uint32_t id, std::int64_t note_class, std::int64_t modified) {
    if (db->kept_stubs.size() >= MAX_KEPT_STUBS) {
        forget_stubs(db);
        return false;
    }
    try {
        db->kept_stubs.push_back({id, static_cast<NoteClass>(note_class & 0xFFFF), modified});
    } catch (const std::bad_alloc&) {
        forget_stubs(db);
        return false;
    }
    return true;
}

} // namespace

void end_read_transaction(Database* db) {
    if (db->in_read) {
        exec(db->conn, "COMMIT");
        db->in_read = false;
        db->kept_checked = false;
    }
}

void stop_watchdog(Database* db) {
    {
        std::lock_guard<std::mutex> hold(db->lock);
        db->stopping = true;
    }
    db->wake.notify_one();
    if (db->watchdog.joinable()) {
        db->watchdog.join();
    }
}

void forget_stubs(Database* db) {
    std::vector<StubInfo>().swap(db->kept_stubs);
    db->kept_checked = false;
}

} // namespace nn

using namespace nn;

extern "C" {

NotesStatus nn_db_modified_ids(DbHandle handle, std::uint16_t class_mask, NotesTime since,
                               NotesTime* until_out, IdTableHandle* table_out) {
    if (NotesStatus injected = ST_OK; enter(Op::db_modified_ids, &injected)) {
        return injected;
    }
    Database* db = find_database(handle);
    if (db == nullptr || table_out == nullptr) {
        return db == nullptr ? ST_INVALID_HANDLE : ST_INVALID_ARGUMENT;
    }
    std::lock_guard<std::mutex> hold(db->lock);
    end_read_transaction(db);
    forget_stubs(db);
    const bool bounded = !time_is_wildcard(since);
    // A bounded query is left free to use an index on the modification time,
    // which hands the rows over in time order; they are sorted here, which
    // costs far less than a scan of the whole table or a sort in SQLite.
    const char* sql = bounded ? "SELECT note_id, deleted, class, modified FROM notes "
                                "WHERE modified >= ?2 AND (class & ?1) != 0"
                              : "SELECT note_id, deleted FROM notes "
                                "WHERE (class & ?1) != 0 ORDER BY note_id";
    std::unique_ptr<IdTable> table(new (std::nothrow) IdTable);
    if (!table) {
        return ST_NO_MEMORY;
    }
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db->conn, sql, -1, &stmt, nullptr);
    if (rc != SQLITE_OK) {
        return from_sqlite(rc);
    }
    // One read transaction for the query and the data version it was read at.
    const bool in_transaction = exec(db->conn, "BEGIN") == SQLITE_OK;
    bool keep = bounded && in_transaction;
    sqlite3_bind_int(stmt, 1, class_mask);
    if (bounded) {
        sqlite3_bind_int64(stmt, 2, time_to_ms(since));
    }
    NotesStatus status = ST_OK;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        sqlite3_int64 id = sqlite3_column_int64(stmt, 0);
        if (id < 1 || id > 0x7FFFFFFF) {
            status = ST_BAD_NOTE_ID;
            break;
        }
        std::uint32_t entry = static_cast<std::uint32_t>(id);
        if (sqlite3_column_int64(stmt, 1) != 0) {
            entry |= STUB_FLAG;
            keep = keep && keep_stub(db, entry & ~STUB_FLAG, sqlite3_column_int64(stmt, 2),
                                     sqlite3_column_int64(stmt, 3));
        }
        if (!table->add(entry)) {
            status = ST_NO_MEMORY;
            break;
        }
    }
    if (status == ST_OK && rc != SQLITE_DONE) {
        status = from_sqlite(rc);
    }
    sqlite3_finalize(stmt);
    keep = keep && status == ST_OK && read_data_version(db, &db->kept_version);
    if (in_transaction) {
        exec(db->conn, "COMMIT");
    }
    if (keep) {
        std::sort(db->kept_stubs.begin(), db->kept_stubs.end(),
                  [](const StubInfo& a, const StubInfo& b) { return a.id < b.id; });
    } else {
        forget_stubs(db);
    }
    if (status != ST_OK) {
        return status;
    }
    if (until_out != nullptr) {
        *until_out = time_from_ms(current_time_ms());
    }
    if (table->count == 0) {
        return ST_NO_MODIFIED;
    }
    table->sort();
    return add_table(table, table_out) ? ST_OK : ST_NO_MEMORY;
}

std::uint32_t nn_idtable_count(IdTableHandle handle) {
    enter(Op::idtable_count);
    IdTable* table = find_table(handle);
    return table != nullptr ? table->count : 0;
}

int nn_idtable_next(IdTableHandle handle, int first, std::uint32_t* id_out) {
    enter(Op::idtable_next);
    IdTable* table = find_table(handle);
    if (table == nullptr || id_out == nullptr) {
        return 0;
    }
    return table->next(first != 0, id_out) ? 1 : 0;
}

NotesStatus nn_idtable_free(IdTableHandle handle) {
    if (NotesStatus injected = ST_OK; enter(Op::idtable_free, &injected)) {
        return injected;
    }
    if (find_table(handle) == nullptr) {
        return ST_INVALID_HANDLE;
    }
    drop_table(handle);
    return ST_OK;
}

NotesStatus nn_note_info(DbHandle handle, NoteId id, NoteOriginRecord* origin_out,
                         NotesTime* modified_out, NoteClass* class_out) {
    if (NotesStatus injected = ST_OK; enter(Op::note_info, &injected)) {
        return injected;
    }
    Database* db = find_database(handle);
    if (db == nullptr) {
        return ST_INVALID_HANDLE;
    }
    std::lock_guard<std::mutex> hold(db->lock);
    // Lookups share a read transaction, renewed once it is READ_SPAN old so
    // that other writers are never held off for long.
    if (db->in_read && Clock::now() - db->read_since >= READ_SPAN) {
        end_read_transaction(db);
    }
    if (!db->in_read) {
        begin_read_transaction(db);
    }
    // The kept stubs stand only while no other connection has committed:
    // checked once in each read transaction, or at every lookup when there
    // is none.
    if (!db->kept_stubs.empty() && !db->kept_checked) {
        std::int64_t version = 0;
        if (!read_data_version(db, &version) || version != db->kept_version) {
            forget_stubs(db);
        } else {
            db->kept_checked = db->in_read;
        }
    }
    if (!db->kept_stubs.empty()) {
        auto kept =
            std::lower_bound(db->kept_stubs.begin(), db->kept_stubs.end(), id,
                             [](const StubInfo& stub, NoteId wanted) { return stub.id < wanted; });
        if (kept != db->kept_stubs.end() && kept->id == id) {
            describe_note(id, kept->note_class, kept->modified, origin_out, modified_out,
                          class_out);
            return ST_NOTE_DELETED;
        }
    }
    sqlite3_bind_int64(db->info, 1, id);
    int rc = sqlite3_step(db->info);
    NotesStatus status;
    if (rc == SQLITE_ROW) {
        describe_note(id, sqlite3_column_int64(db->info, 0), sqlite3_column_int64(db->info, 1),
                      origin_out, modified_out, class_out);
        status = sqlite3_column_int64(db->info, 2) != 0 ? ST_NOTE_DELETED : ST_OK;
    } else {
        status = rc == SQLITE_DONE ? ST_NOTE_NOT_FOUND : from_sqlite(rc);
    }
    sqlite3_reset(db->info);
    return status;
}

} // extern "C"
