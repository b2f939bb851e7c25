// An open database, shared by the files of its operations: database.cpp
// (open, close, version), query.cpp (the modified-notes query, note_info and
// the read transactions) and removal.cpp.
#pragma once

#include <sqlite3.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "standin/access.h"

namespace nn {

constexpr int BUSY_TIMEOUT_MS = 5000;
using Clock = std::chrono::steady_clock;
// The longest a read transaction is held, so that other writers get in.
constexpr auto READ_SPAN = std::chrono::milliseconds(100);

// What a bounded query saw of a deletion stub, kept to answer note_info.
struct StubInfo {
    std::uint32_t id;
    std::uint16_t note_class;
    std::int64_t modified;
};

// An open database. The connection is opened without SQLite's own locking;
// the database's mutex serializes the library's calls and the watchdog on it.
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

// ---- database.cpp ----
int exec(sqlite3* conn, const char* sql);
// Closes the connection, once the watchdog has stopped.
void close_database(Database* db);

// ---- query.cpp ----
// Called with the database's lock held.
void end_read_transaction(Database* db);
// Stops and joins the database's watchdog; called without its lock held.
void stop_watchdog(Database* db);
// Drops the kept stubs' information.
void forget_stubs(Database* db);

} // namespace nn
