// Hostile input to the built tool: odd and oversized names, damaged and
// strange database files, a database another writer has locked, and a
// stream of random command lines. Each gets a clear message and a non-zero
// exit where it fails, and no file changes unless a removal succeeded.
#include "tests/e2e/e2e_fixture.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>

namespace {

namespace fs = std::filesystem;

// Every file under a directory with its content, to see that a run created
// or changed nothing.
std::vector<std::string> snapshot(const std::string& root) {
    std::vector<std::string> entries;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(root)) {
        entries.push_back(e.path().string() + ":" +
                          (e.is_regular_file() ? read_file(e.path().string()) : "dir"));
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

// A file whose schema has no types and no checks, as a careless or hostile
// tool might write it, with the rows given as SQL values.
void make_loose_db(const std::string& path, const std::string& version, const std::string& rows) {
    make_notes_db(path, {});
    exec_sql(path, "DROP TABLE notes; DROP TABLE db_info;"
                   "CREATE TABLE db_info (version, access);"
                   "CREATE TABLE notes (note_id INTEGER PRIMARY KEY, class, modified, deleted);"
                   "INSERT INTO db_info VALUES (" +
                       version + ", 'manager');" +
                       (rows.empty() ? "" : "INSERT INTO notes VALUES " + rows + ";"));
}

class HostileInput : public ToolTest {
  protected:
    void SetUp() override { make_notes_db(db("names.nsf"), sample_notes()); }
};

struct NameCase {
    const char* what;
    std::vector<std::string> args;
    std::string created; // a database made under this name first, or ""
    std::string out;
    int exit_code;
};

TEST_F(HostileInput, OddNamesAreUsedAsGivenOrRefusedClearly) {
    const std::string counted = "\n" + count_lines(4);
    const std::string missing = "\n(Error: File does not exist)\n";
    fs::create_directories(dir.file("data/sub"));
    fs::create_directories(dir.file("data/servers/Mail01"));
    fs::create_directories(dir.file("data/servers/\xff\xfe"));
    env["NOTES_DATA"] = dir.file("data");

    const NameCase cases[] = {
        {"100,000-character database name",
         {std::string(100000, 'n')},
         "",
         "** The database name is longer than 255 characters! **\n",
         255},
        {"100,000-character server name",
         {std::string(100000, 's'), "names.nsf"},
         "",
         "** The server name is longer than 255 characters! **\n",
         255},
        {"spaces", {"my notes.nsf"}, "my notes.nsf", counted, 0},
        {"quotes", {"it's \"quoted\".nsf"}, "it's \"quoted\".nsf", counted, 0},
        {"a step back inside the data directory", {"sub/../in.nsf"}, "in.nsf", counted, 0},
        {"a step out of the data directory", {"../out.nsf"}, "../out.nsf", counted, 0},
        {"control characters", {"tab\tbell\a\x1b[31m.nsf"}, "tab\tbell\a\x1b[31m.nsf", counted, 0},
        {"invalid UTF-8", {"\xff\xfe\xc3(.nsf"}, "\xff\xfe\xc3(.nsf", counted, 0},
        {"invalid UTF-8, missing",
         {"\xc3(missing.nsf"},
         "",
         "Unable to open database: \xc3(missing.nsf" + missing,
         255},
        {"a line break, missing",
         {"line\nbreak.nsf"},
         "",
         "Unable to open database: line\nbreak.nsf" + missing,
         255},
        {"trailing space, missing",
         {"in.nsf "},
         "",
         "Unable to open database: in.nsf " + missing,
         255},
        {"server of invalid UTF-8",
         {"\xff\xfe", "srv.nsf"},
         "servers/\xff\xfe/srv.nsf",
         counted,
         0},
        {"server with a control character",
         {"Mail\x01", "srv.nsf"},
         "",
         "Unable to open database: srv.nsf\n(Error: Server not responding: the server cannot be "
         "reached)\n",
         255},
        {"server name with a path",
         {"Mail01/../..", "srv.nsf"},
         "",
         "Unable to open database: srv.nsf\n(Error: Invalid server name)\n",
         255},
        {"server database from the root",
         {"Mail01", "\\srv.nsf"},
         "",
         "Unable to open database: \\srv.nsf\n(Error: Invalid database name: it must stay within "
         "the server's directory)\n",
         255},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.what);
        if (!c.created.empty()) {
            make_notes_db(dir.file("data/" + c.created), sample_notes());
        }
        const std::vector<std::string> before = snapshot(dir.path());
        ProcessOptions options;
        options.cwd = dir.file("data");
        ProcessResult r = run(c.args, options);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.exit_code, c.exit_code);
        EXPECT_EQ(r.term_signal, 0);
        EXPECT_TRUE(snapshot(dir.path()) == before) << "the run created or changed a file";
    }
}

// Rows no careful writer makes: classes beyond 16 bits, times far beyond
// what a time value holds, values of the wrong type. A class of no bit below
// 0x8000 is never in the query; the rest are listed with their times pinned
// to the ends of the range.
TEST_F(HostileInput, StrangeRowsAreListedNotTrustedAndNeverWritten) {
    make_loose_db(db("odd.nsf"), "148",
                  "(4, 65544, 9000000000000000000, 1), (8, -1, -9000000000000000000, 1),"
                  "(12, 65536, 1764547200000, 1), (16, 'abc', 'yesterday', 1),"
                  "(20, 1, NULL, 1), (24, 4, 1e300, 1), (28, 1, 1764547200000, 'yes'),"
                  "(32, 1, 1764547200000, 2)");
    const std::string header = "NOTE ID\t\tDELETION DATE\t\tNOTE TYPE\n";
    const std::string future = "5881580-07-11 23:59:59 +0000";
    const std::string past = "-5877641-06-23 00:00:00 +0000";
    const struct {
        const char* window;
        std::string out;
    } cases[] = {
        {"/s:-1",
         header + "ID: 0x00000004\t" + future + "\tView\nID: 0x00000008\t" + past +
             "\tDocument\nID: 0x00000014\t1970-01-01 00:00:00 +0000\tDocument\nID: 0x00000018\t" +
             future + "\tForm\nID: 0x00000020\t2025-12-01 00:00:00 +0000\tDocument\n\n" +
             count_lines(5)},
        {"/s:10", header + "ID: 0x00000004\t" + future + "\tView\nID: 0x00000018\t" + future +
                      "\tForm\n\n" + count_lines(2)},
        {"/e:1", header + "ID: 0x00000008\t" + past +
                     "\tDocument\nID: 0x00000014\t1970-01-01 00:00:00 +0000\tDocument\n"
                     "ID: 0x00000020\t2025-12-01 00:00:00 +0000\tDocument\n\n" +
                     count_lines(3)},
    };
    const std::string before = read_file(db("odd.nsf"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.window);
        ProcessResult r = run({"odd.nsf", "/l", c.window});
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_TRUE(read_file(db("odd.nsf")) == before) << "the file changed";
    }
}

TEST_F(HostileInput, BadIdsVersionsAndDamagedFilesFailClearlyAndChangeNothing) {
    const std::string bad_id = "\nError getting deletion stubs\n(Error: Database contains an "
                               "invalid note ID)\n";
    const std::string no_version = "0 stubs found\nTotal space used @ 0 bytes per stub = 0 bytes\n";
    for (const char* id : {"0", "-5", "2147483648", "4294967300"}) {
        make_loose_db(db(std::string("id") + id + ".nsf"), "148",
                      std::string("(") + id + ", 1, 1764547200000, 1)");
    }
    for (const char* version : {"70000", "-1", "'abc'", "1.5", "NULL"}) {
        make_loose_db(db(std::string("v") + version + ".nsf"), version, "(4, 1, 1764547200000, 1)");
    }
    // The root page of the notes table marked with a page type that does not
    // exist, and a file cut short: SQLite sees the damage in the walk or at
    // the open.
    ASSERT_EQ(run_process({NOTESDB_MAKE, db("big.nsf"), "--notes", "3000", "--plain", "--now",
                           "2026-06-01T00:00:00Z"},
                          {})
                  .exit_code,
              0);
    sqlite3* conn = nullptr;
    sqlite3_stmt* stmt = nullptr;
    ASSERT_EQ(sqlite3_open_v2(db("big.nsf").c_str(), &conn, SQLITE_OPEN_READONLY, nullptr),
              SQLITE_OK);
    sqlite3_prepare_v2(conn, "SELECT rootpage FROM sqlite_master WHERE name = 'notes'", -1, &stmt,
                       nullptr);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    const std::size_t root = static_cast<std::size_t>(sqlite3_column_int(stmt, 0));
    sqlite3_finalize(stmt);
    sqlite3_close(conn);
    std::string damaged = read_file(db("big.nsf"));
    const std::size_t page_size =
        static_cast<unsigned char>(damaged[16]) * 256u + static_cast<unsigned char>(damaged[17]);
    ASSERT_GT(root, 1u);
    damaged[(root - 1) * page_size] = '\xff';
    write_file(db("damaged.nsf"), damaged);
    write_file(db("cut.nsf"), damaged.substr(0, damaged.size() / 2 / page_size * page_size));

    const struct {
        std::string name;
        std::string out;
        int exit_code;
    } cases[] = {
        {"id0.nsf", bad_id, 255},
        {"id-5.nsf", bad_id, 255},
        {"id2147483648.nsf", bad_id, 255},
        {"id4294967300.nsf", bad_id, 255},
        {"v70000.nsf", "\n0 stubs removed\n" + no_version, 0},
        {"v-1.nsf", "\n0 stubs removed\n" + no_version, 0},
        {"v'abc'.nsf", "\n0 stubs removed\n" + no_version, 0},
        {"v1.5.nsf", "\n0 stubs removed\n" + no_version, 0},
        {"vNULL.nsf", "\n0 stubs removed\n" + no_version, 0},
        {"damaged.nsf", "\nError getting deletion stubs\n(Error: Database is damaged)\n", 255},
        {"cut.nsf", "Unable to open database: cut.nsf\n(Error: Database is damaged)\n", 255},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // A removal run, but with a window no stub falls into: nothing may
        // change, whatever else goes wrong.
        const std::string before = read_file(db(c.name));
        ProcessResult r = run({c.name, "/r", "/s:0", "/e:0"});
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.exit_code, c.exit_code);
        EXPECT_TRUE(read_file(db(c.name)) == before) << "the file changed";
    }
}

// Another process holds a write transaction on the file.
class LockedDatabase : public HostileInput {
  protected:
    sqlite3* writer = nullptr;

    void lock(const std::string& file, const char* how) {
        ASSERT_EQ(sqlite3_open(file.c_str(), &writer), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(writer, how, nullptr, nullptr, nullptr), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(writer, "INSERT INTO notes VALUES (1000, 1, 0, 0)", nullptr, nullptr,
                               nullptr),
                  SQLITE_OK);
    }
    void TearDown() override {
        sqlite3_exec(writer, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(writer);
    }
};

// An exclusive lock keeps even readers out: the open gives up after waiting.
TEST_F(LockedDatabase, AnExclusiveLockFailsTheOpen) {
    const std::vector<NoteRow> rows = read_notes(db("names.nsf"));
    lock(db("names.nsf"), "BEGIN EXCLUSIVE");
    ProcessResult r = run({"names.nsf", "/r"});
    EXPECT_EQ(r.out, "Unable to open database: names.nsf\n(Error: Database is in use by another "
                     "process; try again later)\n");
    EXPECT_EQ(r.exit_code, 255);
    sqlite3_exec(writer, "ROLLBACK", nullptr, nullptr, nullptr);
    EXPECT_EQ(read_notes(db("names.nsf")), rows);
}

// A pending write lets readers in: the survey and listing work, and the
// removal that would have to wait for the writer fails and says so.
TEST_F(LockedDatabase, APendingWriteLetsTheSurveyReadButNotRemove) {
    make_notes_db(db("one.nsf"), {{4, 1, utc_ms("2026-11-30T00:00:00Z"), 1}});
    const std::vector<NoteRow> rows = read_notes(db("one.nsf"));
    lock(db("one.nsf"), "BEGIN IMMEDIATE");
    ProcessResult r = run({"one.nsf", "/r"});
    EXPECT_EQ(r.out, "Unable to remove deletion stub for note 0x00000004\n(Error: Database is in "
                     "use by another process; try again later)\n\n0 stubs removed\n\n1 deletion "
                     "stubs could not be removed\n" +
                         count_lines(1));
    EXPECT_EQ(r.exit_code, 255);
    sqlite3_exec(writer, "ROLLBACK", nullptr, nullptr, nullptr);
    EXPECT_EQ(read_notes(db("one.nsf")), rows);
    EXPECT_EQ(integrity_check(db("one.nsf")), "ok");
}

// A removal that finds the file held by another process waits for it once;
// the ones after it try once without waiting, so that a walk over 10,000
// stubs of a locked file ends in seconds (not 10,000 timeouts), each
// failure reported and nothing changed. The same in both journal modes.
TEST_F(HostileInput, ManyRemovalsOnAFileLockedForWritingEndInSeconds) {
    constexpr int STUBS = 10000;
    std::vector<NoteRow> rows;
    for (int i = 1; i <= STUBS; ++i) {
        rows.push_back({2000 + i, 1, utc_ms("2026-11-30T00:00:00Z"), 1});
    }
    std::string expected;
    char line[64];
    for (const NoteRow& row : rows) {
        std::snprintf(line, sizeof line, "Unable to remove deletion stub for note 0x%08llx\n",
                      static_cast<unsigned long long>(row.note_id));
        expected += line;
        expected += "(Error: Database is in use by another process; try again later)\n";
    }
    expected += "\n0 stubs removed\n\n" + std::to_string(STUBS) +
                " deletion stubs could not be removed\n" + count_lines(STUBS);
    for (const char* journal : {"DELETE", "WAL"}) {
        SCOPED_TRACE(journal);
        make_notes_db(db("locked.nsf"), rows);
        exec_sql(db("locked.nsf"), std::string("PRAGMA journal_mode=") + journal);
        sqlite3* writer = nullptr;
        ASSERT_EQ(sqlite3_open(db("locked.nsf").c_str(), &writer), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(writer, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        ProcessOptions options;
        options.timeout_ms = 120000;
        const auto start = std::chrono::steady_clock::now();
        ProcessResult r = run({"locked.nsf", "/r"}, options);
        const auto took = std::chrono::steady_clock::now() - start;
        sqlite3_exec(writer, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(writer);
        EXPECT_EQ(r.term_signal, 0);
        EXPECT_TRUE(r.out == expected) << r.out.substr(0, 400);
        EXPECT_EQ(r.exit_code, 255);
        EXPECT_LT(took, std::chrono::seconds(60));
        EXPECT_EQ(read_notes(db("locked.nsf")), rows);
        EXPECT_EQ(integrity_check(db("locked.nsf")), "ok");
        fs::remove(db("locked.nsf"));
    }
}

// Random command lines, from a fixed seed: switches, names, fragments and
// arbitrary bytes. Whatever they say, the tool ends normally with 0 or 255,
// writes nothing to standard error, and the file changes only when the run
// reports removed stubs.
TEST_F(HostileInput, RandomCommandLines) {
    const char* const pieces[] = {"/r",      "/l",       "-L",         "/d",
                                  "/?",      "/",        "-",          "",
                                  "/s:",     "/s:-3",    "/e:1",       "/s:999999999999",
                                  "/e::5",   "/start:2", "names.nsf",  "..",
                                  "servers", "Mail01",   "missing.nsf"};
    std::mt19937 random(6);
    std::uniform_int_distribution<int> arg_count(0, 6);
    std::uniform_int_distribution<int> pick(0, std::size(pieces) + 2);
    std::uniform_int_distribution<int> byte(1, 255);
    std::uniform_int_distribution<int> length(0, 300);
    const std::string original = read_file(db("names.nsf"));
    int runs = 0;
    int removals = 0;
    for (; runs < 400; ++runs) {
        std::vector<std::string> args(arg_count(random));
        for (std::string& a : args) {
            const int p = pick(random);
            if (p < static_cast<int>(std::size(pieces))) {
                a = pieces[p];
                continue;
            }
            // Arbitrary bytes; one pick in three makes them a switch.
            a = p == static_cast<int>(std::size(pieces)) ? "/" : "";
            for (int n = length(random); n > 0; --n) {
                a += static_cast<char>(byte(random));
            }
        }
        // Half of them name the database, so that many runs reach it.
        if (runs % 2 == 0) {
            args.insert(args.begin() + static_cast<long>(random() % (args.size() + 1)),
                        "names.nsf");
        }
        SCOPED_TRACE("run " + std::to_string(runs));
        ProcessResult r = run(args);
        ASSERT_EQ(r.term_signal, 0);
        ASSERT_TRUE(r.exit_code == 0 || r.exit_code == 255) << r.exit_code;
        if (read_file(db("names.nsf")) != original) {
            ASSERT_NE(r.out.find(" stubs removed\n"), std::string::npos);
            ASSERT_EQ(r.out.find("\n0 stubs removed\n"), std::string::npos);
            write_file(db("names.nsf"), original);
            ++removals;
        }
    }
    std::printf("[ random   ] %d random command lines, %d of them removed stubs\n", runs, removals);
    EXPECT_GT(removals, 0);
}

} // namespace
