// Databases on SQLite files, tables of note IDs, note information and the
// removal of deletion stubs.
//
// A database is a SQLite file with the tables db_info (one row: version,
// access) and notes (note_id, class, modified, deleted). The library never
// writes to it except to remove a deletion stub: connections are opened
// query-only and lifted from that only inside a removal.
//
// Removal commits every stub on its own, so that a stub whose removal was
// reported is gone even if the process is killed right after. To make that
// cheap the file is put in write-ahead-log mode for the removal (with
// synchronous=NORMAL a commit survives the death of the process without
// waiting for the disk), and put back in its former journal mode when the
// database is closed. (A process killed during a removal leaves the file in
// WAL mode.)
//
// Reads are grouped in short read transactions. No transaction is kept for
// longer than READ_SPAN, so that a writer in another process is never held
// off for long: note_info renews an older one, and a watchdog thread of each
// database ends one that nobody ends in time (while the program is busy
// elsewhere, or blocked writing its output). The connection is opened without
// SQLite's own locking; each database's mutex serializes the library's calls
// and the watchdog on it.
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "standin/faults.h"
#include "standin/id_table.h"
#include "standin/nnotes.h"
#include "standin/registry.h"
#include "standin/settings.h"
#include "standin/status.h"
#include "standin/text.h"
#include "standin/time.h"

namespace nn {

namespace {

namespace fs = std::filesystem;

constexpr int PATH_MAX_CHARS = 255;
constexpr int BUSY_TIMEOUT_MS = 5000;
using Clock = std::chrono::steady_clock;
// The longest a read transaction is held, so that other writers get in.
constexpr auto READ_SPAN = std::chrono::milliseconds(100);

enum Access {
    ACCESS_NONE,
    ACCESS_READER,
    ACCESS_AUTHOR,
    ACCESS_EDITOR,
    ACCESS_DESIGNER,
    ACCESS_MANAGER
};

// What a bounded query saw of a deletion stub, kept to answer note_info.
struct StubInfo {
    std::uint32_t id;
    std::uint16_t note_class;
    std::int64_t modified;
};

// At most this many stubs' information is kept from one query (16 bytes each).
constexpr std::size_t MAX_KEPT_STUBS = std::size_t{1} << 22;

struct Database {
    sqlite3* conn = nullptr;
    sqlite3_stmt* info = nullptr;
    sqlite3_stmt* remove = nullptr;
    sqlite3_stmt* kind = nullptr;
    sqlite3_stmt* data_version = nullptr;
    // The transaction statements of one removal, prepared once for all of
    // them. (Pragmas act when prepared, so query_only is set by plain exec.)
    sqlite3_stmt* begin_write = nullptr;
    sqlite3_stmt* commit = nullptr;
    sqlite3_stmt* rollback = nullptr;
    // A bounded query reads each stub's class and time from the index anyway;
    // they are kept, in ID order, so that the note_info that follows for each
    // stub needs no second read of the file. They are good only while the
    // file is as it was read: until any write of ours, and as long as the data
    // version shows no commit by another connection.
    std::vector<StubInfo> kept_stubs;
    std::int64_t kept_version = 0;
    bool kept_checked = false; // checked against the data version in this read transaction
    Access access = ACCESS_NONE;
    bool in_read = false;         // a read transaction is open
    Clock::time_point read_since; // when it began
    bool removal_ready = false;   // journal mode and durability set for removal
    bool busy_before = false;     // the last removal failed because the file was busy
    std::string restore_journal;  // journal mode to put back at close, if changed

    // The library's calls on this database and its watchdog take turns.
    std::mutex lock;
    std::condition_variable wake; // a read transaction began, or the watchdog must stop
    std::thread watchdog;         // started with the first read transaction
    bool stopping = false;
};

// Handle = index + 1. The databases are never destroyed at the end of the
// process: a program that ends without notes_term leaves their watchdogs
// waiting on memory that stays valid until the process is gone.
std::vector<std::unique_ptr<Database>>& g_databases = *new std::vector<std::unique_ptr<Database>>;
std::vector<std::unique_ptr<IdTable>> g_tables;

template <typename T> T* lookup(std::vector<std::unique_ptr<T>>& registry, std::uint32_t handle) {
    if (handle == 0 || handle > registry.size()) {
        return nullptr;
    }
    return registry[handle - 1].get();
}

// The new item's handle; 0, and the item left with the caller, when memory
// runs out.
template <typename T>
std::uint32_t store(std::vector<std::unique_ptr<T>>& registry, std::unique_ptr<T>& item) {
    for (std::size_t i = 0; i < registry.size(); ++i) {
        if (!registry[i]) {
            registry[i] = std::move(item);
            return static_cast<std::uint32_t>(i + 1);
        }
    }
    try {
        registry.push_back(nullptr);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    registry.back() = std::move(item);
    return static_cast<std::uint32_t>(registry.size());
}

int exec(sqlite3* conn, const char* sql) {
    return sqlite3_exec(conn, sql, nullptr, nullptr, nullptr);
}

Access parse_access(const unsigned char* text) {
    static const char* const names[] = {"reader", "author", "editor", "designer", "manager"};
    if (text == nullptr) {
        return ACCESS_NONE;
    }
    for (int i = 0; i < 5; ++i) {
        if (sqlite3_stricmp(reinterpret_cast<const char*>(text), names[i]) == 0) {
            return static_cast<Access>(i + 1);
        }
    }
    return ACCESS_NONE;
}

// Called with the database's lock held.
void end_read_transaction(Database* db) {
    if (db->in_read) {
        exec(db->conn, "COMMIT");
        db->in_read = false;
        db->kept_checked = false;
    }
}

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

// Stops and joins the database's watchdog; called without its lock held.
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

// Closes the connection, once the watchdog has stopped.
void close_database(Database* db) {
    stop_watchdog(db);
    end_read_transaction(db);
    forget_stubs(db);
    sqlite3_finalize(db->info);
    sqlite3_finalize(db->remove);
    sqlite3_finalize(db->kind);
    sqlite3_finalize(db->data_version);
    for (sqlite3_stmt* stmt : {db->begin_write, db->commit, db->rollback}) {
        sqlite3_finalize(stmt);
    }
    if (!db->restore_journal.empty()) {
        exec(db->conn, "PRAGMA query_only=0");
        std::string sql = "PRAGMA journal_mode=" + db->restore_journal;
        exec(db->conn, sql.c_str()); // best effort: another connection may hold the file
    }
    sqlite3_close(db->conn);
}

bool has_parent_step(const std::string& name) {
    std::size_t begin = 0;
    while (begin <= name.size()) {
        std::size_t end = name.find_first_of("/\\", begin);
        if (end == std::string::npos) {
            end = name.size();
        }
        if (name.compare(begin, end - begin, "..") == 0 && end - begin == 2) {
            return true;
        }
        begin = end + 1;
    }
    return false;
}

// Turns the library path ("name" or "server!!name") into a file path.
NotesStatus resolve_path(const char* path, std::string* file) {
    std::string text = path;
    std::size_t bang = text.find("!!");
    if (bang == std::string::npos) {
        fs::path name(text);
        *file = name.is_absolute() ? text : (fs::path(settings().data_dir) / name).string();
        return ST_OK;
    }
    std::string server = text.substr(0, bang);
    std::string name = text.substr(bang + 2);
    if (server.empty() || server == "." || server == ".." ||
        server.find_first_of("/\\:") != std::string::npos) {
        return ST_BAD_SERVER_NAME;
    }
    if (name.empty() || fs::path(name).is_absolute() || fs::path(name).has_root_name() ||
        name[0] == '/' || name[0] == '\\' || has_parent_step(name)) {
        return ST_BAD_SERVER_DB_NAME;
    }
    fs::path server_dir = fs::path(settings().data_dir) / "servers" / server;
    std::error_code ec;
    if (!fs::is_directory(server_dir, ec)) {
        return ST_SERVER_UNREACHABLE;
    }
    *file = (server_dir / name).string();
    return ST_OK;
}

// Checks that the open file is a database of ours and reads its access level.
NotesStatus check_database(Database* db) {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db->conn, "SELECT note_id, class, modified, deleted FROM notes", -1,
                                &stmt, nullptr);
    sqlite3_finalize(stmt);
    if (rc == SQLITE_ERROR) {
        return ST_MISSING_TABLES;
    }
    if (rc != SQLITE_OK) {
        return from_sqlite(rc);
    }
    rc = sqlite3_prepare_v2(db->conn, "SELECT access FROM db_info LIMIT 1", -1, &stmt, nullptr);
    if (rc == SQLITE_ERROR) {
        return ST_MISSING_TABLES;
    }
    if (rc != SQLITE_OK) {
        return from_sqlite(rc);
    }
    rc = sqlite3_step(stmt);
    db->access = rc == SQLITE_ROW ? parse_access(sqlite3_column_text(stmt, 0)) : ACCESS_NONE;
    sqlite3_finalize(stmt);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        return from_sqlite(rc);
    }
    static const char* const statements[] = {
        "SELECT class, modified, deleted FROM notes WHERE note_id = ?1",
        "DELETE FROM notes WHERE note_id = ?1 AND deleted = 1",
        "SELECT deleted FROM notes WHERE note_id = ?1",
        "PRAGMA data_version",
    };
    sqlite3_stmt** targets[] = {&db->info, &db->remove, &db->kind, &db->data_version};
    for (int i = 0; i < 4; ++i) {
        rc = sqlite3_prepare_v3(db->conn, statements[i], -1, SQLITE_PREPARE_PERSISTENT, targets[i],
                                nullptr);
        if (rc != SQLITE_OK) {
            return rc == SQLITE_ERROR ? ST_MISSING_TABLES : from_sqlite(rc);
        }
    }
    return ST_OK;
}

// Prepares the connection for committing removals one by one, durably.
NotesStatus prepare_removal(Database* db) {
    if (db->removal_ready) {
        return ST_OK;
    }
    if (sqlite3_db_readonly(db->conn, "main") == 1) {
        return ST_DB_READ_ONLY;
    }
    exec(db->conn, "PRAGMA query_only=0");
    std::string before;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db->conn, "PRAGMA journal_mode", -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW) {
        before = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    }
    sqlite3_finalize(stmt);
    bool wal = before == "wal";
    if (!wal &&
        sqlite3_prepare_v2(db->conn, "PRAGMA journal_mode=WAL", -1, &stmt, nullptr) == SQLITE_OK) {
        const int rc = sqlite3_step(stmt);
        wal = rc == SQLITE_ROW &&
              std::strcmp(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)), "wal") == 0;
        sqlite3_finalize(stmt);
        if (from_sqlite(rc) == ST_DB_BUSY) {
            // Another process holds the file: this removal fails, and the
            // next one tries the switch again.
            exec(db->conn, "PRAGMA query_only=1");
            return ST_DB_BUSY;
        }
        if (wal && !before.empty()) {
            db->restore_journal = before;
        }
    }
    // In WAL mode a commit is safe from the death of the process once
    // written; other journal modes need the disk at every commit.
    exec(db->conn, wal ? "PRAGMA synchronous=NORMAL" : "PRAGMA synchronous=FULL");
    exec(db->conn, "PRAGMA query_only=1");
    static const char* const statements[] = {"BEGIN IMMEDIATE", "COMMIT", "ROLLBACK"};
    sqlite3_stmt** targets[] = {&db->begin_write, &db->commit, &db->rollback};
    for (int i = 0; i < 3; ++i) {
        if (*targets[i] != nullptr) {
            continue; // prepared by an earlier attempt that failed further on
        }
        if (int rc = sqlite3_prepare_v3(db->conn, statements[i], -1, SQLITE_PREPARE_PERSISTENT,
                                        targets[i], nullptr);
            rc != SQLITE_OK) {
            return from_sqlite(rc);
        }
    }
    db->removal_ready = true;
    return ST_OK;
}

// Runs a prepared statement that returns no rows; SQLITE_OK when it is done.
int run(sqlite3_stmt* stmt) {
    int rc = sqlite3_step(stmt);
    sqlite3_reset(stmt);
    return rc == SQLITE_DONE || rc == SQLITE_ROW ? SQLITE_OK : rc;
}

NotesStatus remove_stub(Database* db, NoteId id) {
    if (int rc = exec(db->conn, "PRAGMA query_only=0"); rc != SQLITE_OK) {
        return from_sqlite(rc);
    }
    NotesStatus status = ST_OK;
    int rc = run(db->begin_write);
    if (rc != SQLITE_OK) {
        status = from_sqlite(rc);
    } else {
        sqlite3_bind_int64(db->remove, 1, id);
        rc = sqlite3_step(db->remove);
        sqlite3_reset(db->remove);
        if (rc != SQLITE_DONE) {
            status = from_sqlite(rc);
        } else if (sqlite3_changes(db->conn) != 1) {
            // Nothing removed: say why, and commit nothing.
            sqlite3_bind_int64(db->kind, 1, id);
            rc = sqlite3_step(db->kind);
            status = rc == SQLITE_ROW    ? ST_NOTE_NOT_STUB
                     : rc == SQLITE_DONE ? ST_NOTE_NOT_FOUND
                                         : from_sqlite(rc);
            sqlite3_reset(db->kind);
        }
        if (status == ST_OK) {
            rc = run(db->commit);
            status = from_sqlite(rc);
        }
        if (sqlite3_get_autocommit(db->conn) == 0) {
            run(db->rollback);
        }
    }
    exec(db->conn, "PRAGMA query_only=1");
    return status;
}

} // namespace

int open_database_count() {
    return static_cast<int>(std::count_if(g_databases.begin(), g_databases.end(),
                                          [](const auto& d) { return d != nullptr; }));
}

int open_table_count() {
    return static_cast<int>(std::count_if(g_tables.begin(), g_tables.end(),
                                          [](const auto& t) { return t != nullptr; }));
}

void close_all_databases() {
    for (auto& db : g_databases) {
        if (db) {
            close_database(db.get());
        }
    }
    g_databases.clear();
    g_tables.clear();
}

} // namespace nn

using namespace nn;

extern "C" {

NotesStatus nn_build_db_path(int, const char* server, const char* db_name, char* path_out) {
    if (NotesStatus injected = ST_OK; enter(OP_BUILD_DB_PATH, &injected)) {
        return injected;
    }
    if (server == nullptr || db_name == nullptr || path_out == nullptr) {
        return ST_INVALID_ARGUMENT;
    }
    std::string path =
        server[0] == '\0' ? std::string(db_name) : std::string(server) + "!!" + db_name;
    if (std::strstr(server, "!!") != nullptr) {
        return ST_BAD_SERVER_NAME;
    }
    if (path.size() > PATH_MAX_CHARS) {
        return ST_PATH_TOO_LONG;
    }
    copy_text(path, path_out, PATH_MAX_CHARS, true);
    return ST_OK;
}

NotesStatus nn_db_open(const char* path, DbHandle* db_out) {
    if (NotesStatus injected = ST_OK; enter(OP_DB_OPEN, &injected)) {
        return injected;
    }
    if (path == nullptr || db_out == nullptr) {
        return ST_INVALID_ARGUMENT;
    }
    std::string file;
    std::error_code ec;
    fs::file_status kind;
    try {
        if (NotesStatus status = resolve_path(path, &file)) {
            return status;
        }
        kind = fs::status(file, ec);
    } catch (const std::bad_alloc&) {
        return ST_NO_MEMORY;
    }
    if (ec || !fs::exists(kind)) {
        return ST_FILE_NOT_FOUND;
    }
    if (!fs::is_regular_file(kind)) {
        return ST_NOT_A_DATABASE;
    }

    std::unique_ptr<Database> db(new (std::nothrow) Database);
    if (!db) {
        return ST_NO_MEMORY;
    }
    // Never SQLITE_OPEN_CREATE: a missing file must not be made. A file we
    // may not write is opened read-only by SQLite itself.
    int rc = sqlite3_open_v2(file.c_str(), &db->conn, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    NotesStatus status = from_sqlite(rc);
    if (status == ST_OK) {
        sqlite3_busy_timeout(db->conn, BUSY_TIMEOUT_MS);
        // Every page is checked as it is read, so that a damaged one is always
        // reported as damage rather than read differently from run to run.
        exec(db->conn, "PRAGMA cell_size_check=ON");
        exec(db->conn, "PRAGMA query_only=1");
        status = check_database(db.get());
    }
    const DbHandle handle = status == ST_OK ? store(g_databases, db) : 0;
    if (handle == 0) {
        close_database(db.get());
        return status != ST_OK ? status : ST_NO_MEMORY;
    }
    *db_out = handle;
    return ST_OK;
}

NotesStatus nn_db_close(DbHandle handle) {
    if (NotesStatus injected = ST_OK; enter(OP_DB_CLOSE, &injected)) {
        return injected;
    }
    Database* db = lookup(g_databases, handle);
    if (db == nullptr) {
        return ST_INVALID_HANDLE;
    }
    close_database(db); // stops the watchdog first
    g_databases[handle - 1].reset();
    return ST_OK;
}

NotesStatus nn_db_version(DbHandle handle, std::uint16_t* version_out) {
    if (NotesStatus injected = ST_OK; enter(OP_DB_VERSION, &injected)) {
        return injected;
    }
    Database* db = lookup(g_databases, handle);
    if (db == nullptr || version_out == nullptr) {
        return db == nullptr ? ST_INVALID_HANDLE : ST_INVALID_ARGUMENT;
    }
    std::lock_guard<std::mutex> hold(db->lock);
    sqlite3_stmt* stmt = nullptr;
    int rc =
        sqlite3_prepare_v2(db->conn, "SELECT version FROM db_info LIMIT 1", -1, &stmt, nullptr);
    NotesStatus status = from_sqlite(rc);
    if (status == ST_OK) {
        rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW && sqlite3_column_type(stmt, 0) == SQLITE_INTEGER) {
            sqlite3_int64 version = sqlite3_column_int64(stmt, 0);
            if (version >= 0 && version <= 0xFFFF) {
                *version_out = static_cast<std::uint16_t>(version);
            } else {
                status = ST_NO_VERSION;
            }
        } else {
            status = rc == SQLITE_ROW || rc == SQLITE_DONE ? ST_NO_VERSION : from_sqlite(rc);
        }
    }
    sqlite3_finalize(stmt);
    return status;
}

NotesStatus nn_db_modified_ids(DbHandle handle, std::uint16_t class_mask, NotesTime since,
                               NotesTime* until_out, IdTableHandle* table_out) {
    if (NotesStatus injected = ST_OK; enter(OP_DB_MODIFIED_IDS, &injected)) {
        return injected;
    }
    Database* db = lookup(g_databases, handle);
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
    const IdTableHandle stored = store(g_tables, table);
    if (stored == 0) {
        return ST_NO_MEMORY;
    }
    *table_out = stored;
    return ST_OK;
}

std::uint32_t nn_idtable_count(IdTableHandle handle) {
    enter(OP_IDTABLE_COUNT);
    IdTable* table = lookup(g_tables, handle);
    return table != nullptr ? table->count : 0;
}

int nn_idtable_next(IdTableHandle handle, int first, std::uint32_t* id_out) {
    enter(OP_IDTABLE_NEXT);
    IdTable* table = lookup(g_tables, handle);
    if (table == nullptr || id_out == nullptr) {
        return 0;
    }
    return table->next(first != 0, id_out) ? 1 : 0;
}

NotesStatus nn_idtable_free(IdTableHandle handle) {
    if (NotesStatus injected = ST_OK; enter(OP_IDTABLE_FREE, &injected)) {
        return injected;
    }
    if (lookup(g_tables, handle) == nullptr) {
        return ST_INVALID_HANDLE;
    }
    g_tables[handle - 1].reset();
    return ST_OK;
}

NotesStatus nn_note_info(DbHandle handle, NoteId id, NoteOriginRecord* origin_out,
                         NotesTime* modified_out, NoteClass* class_out) {
    if (NotesStatus injected = ST_OK; enter(OP_NOTE_INFO, &injected)) {
        return injected;
    }
    Database* db = lookup(g_databases, handle);
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

NotesStatus nn_note_delete(DbHandle handle, NoteId id, std::uint32_t update_flags) {
    if (NotesStatus injected = ST_OK; enter(OP_NOTE_DELETE, &injected)) {
        return injected;
    }
    Database* db = lookup(g_databases, handle);
    if (db == nullptr) {
        return ST_INVALID_HANDLE;
    }
    // Only the removal of deletion stubs is supported.
    if (update_flags != 0x0200) {
        return ST_BAD_DELETE_FLAGS;
    }
    if (db->access < ACCESS_EDITOR) {
        return ST_NOT_AUTHORIZED;
    }
    std::lock_guard<std::mutex> hold(db->lock);
    end_read_transaction(db);
    forget_stubs(db); // what was read may change from here on
    // Once a removal has found the file held by another process, the next
    // ones try once without waiting, until one gets through: a walk over
    // many stubs of a locked file must not wait its timeout at every stub.
    if (db->busy_before) {
        sqlite3_busy_timeout(db->conn, 0);
    }
    NotesStatus status = prepare_removal(db);
    if (status == ST_OK) {
        status = remove_stub(db, id);
    }
    if (db->busy_before) {
        sqlite3_busy_timeout(db->conn, BUSY_TIMEOUT_MS);
    }
    if (status == ST_OK) {
        db->busy_before = false;
    } else if (status == ST_DB_BUSY) {
        db->busy_before = true;
    }
    return status;
}

} // extern "C"
