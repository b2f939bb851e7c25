// kill -9 at random moments of a removal run, and a removal run while
// another process writes to the same file: the file stays intact, no live
// note is ever lost or changed, and each stub is either untouched or gone.
#include "tests/e2e/e2e_fixture.h"

#include <fcntl.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <random>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

std::vector<NoteRow> crash_notes() {
    std::vector<NoteRow> rows;
    for (int i = 1; i <= 120; ++i) {
        rows.push_back({i * 2, i % 5 == 0 ? 0x0008 : 0x0001,
                        utc_ms("2026-10-01T00:00:00Z") + i * 3600000LL, i % 3 == 0 ? 1 : 0});
    }
    return rows;
}

// Starts the tool with its output discarded; returns its process ID.
pid_t spawn_tool(const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& env, const std::string& cwd) {
    std::vector<std::string> argv = tool_command();
    argv.insert(argv.end(), args.begin(), args.end());
    pid_t pid = fork();
    if (pid == 0) {
        int null_fd = open("/dev/null", O_RDWR);
        dup2(null_fd, 0);
        dup2(null_fd, 1);
        dup2(null_fd, 2);
        for (const auto& [k, v] : env) {
            setenv(k.c_str(), v.c_str(), 1);
        }
        if (chdir(cwd.c_str()) != 0) {
            _exit(126);
        }
        std::vector<char*> raw;
        for (std::string& a : argv) {
            raw.push_back(a.data());
        }
        raw.push_back(nullptr);
        execvp(raw[0], raw.data());
        _exit(127);
    }
    return pid;
}

// PRAGMA integrity_check on a connection that may write, so that SQLite
// first rolls back what a killed process left half done (a hot journal), as
// the next program to open the file would. A read-only connection cannot.
std::string recover_and_check(const std::string& file) {
    sqlite3* conn = nullptr;
    std::string result = "cannot open";
    if (sqlite3_open_v2(file.c_str(), &conn, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(conn, 10000);
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(conn, "PRAGMA integrity_check", -1, &stmt, nullptr);
        result = sqlite3_step(stmt) == SQLITE_ROW
                     ? reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0))
                     : sqlite3_errmsg(conn);
        sqlite3_finalize(stmt);
    }
    sqlite3_close(conn);
    return result;
}

// Checks the file after an interrupted or concurrent run against the rows it
// started with (plus rows written meanwhile); returns how many stubs remain.
int check_rows(const std::string& file, const std::vector<NoteRow>& before) {
    EXPECT_EQ(recover_and_check(file), "ok");
    const std::vector<NoteRow> after = read_notes(file);
    std::map<std::int64_t, NoteRow> now;
    for (const NoteRow& r : after) {
        now.emplace(r.note_id, r);
    }
    int stubs_left = 0;
    for (const NoteRow& r : before) {
        auto it = now.find(r.note_id);
        if (r.deleted == 0) {
            EXPECT_TRUE(it != now.end() && it->second == r) << "live note " << r.note_id;
        } else if (it != now.end()) {
            EXPECT_TRUE(it->second == r) << "stub " << r.note_id << " changed";
            ++stubs_left;
        }
    }
    EXPECT_LE(after.size(), before.size()) << "rows appeared from nowhere";
    return stubs_left;
}

class CrashSafety : public ToolTest {};

TEST_F(CrashSafety, KillNineAtRandomMomentsOfARemovalLosesNothing) {
    const std::vector<NoteRow> rows = crash_notes();
    const std::string file = db("crash.nsf");
    const std::vector<std::string> args = {"crash.nsf", "/r", "/l"};
    std::map<std::string, std::string> slow = env;
    slow["NOTES_DELAY"] = "note_delete=1500";

    // How long an undisturbed run takes here (the median of three), so that
    // the kills spread over the whole run on a fast machine and a slow one
    // alike.
    std::vector<long long> durations;
    for (int i = 0; i < 3; ++i) {
        std::remove(file.c_str());
        make_notes_db(file, rows);
        const auto started = Clock::now();
        const pid_t pid = spawn_tool(args, slow, dir.path());
        int status = 0;
        waitpid(pid, &status, 0);
        durations.push_back(
            std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started).count());
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        ASSERT_EQ(read_notes(file).size(), 80u);
    }
    std::sort(durations.begin(), durations.end());
    const long long run_us = durations[1];

    std::mt19937 random(20261201); // fixed: the same moments, as fractions of a run, every time
    std::uniform_real_distribution<double> moment(0.0, 1.1);
    int killed = 0;
    int partial = 0;
    for (int trial = 0; trial < 100; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        std::remove(file.c_str());
        std::remove((file + "-wal").c_str());
        std::remove((file + "-shm").c_str());
        std::remove((file + "-journal").c_str());
        make_notes_db(file, rows);

        const pid_t pid = spawn_tool(args, slow, dir.path());
        std::this_thread::sleep_for(
            std::chrono::microseconds(static_cast<long long>(moment(random) * run_us)));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        killed += WIFSIGNALED(status) ? 1 : 0;

        const int left = check_rows(file, rows);
        partial += left > 0 && left < 40 ? 1 : 0;

        // A second run removes the rest and says so.
        ProcessResult rerun = run({"crash.nsf", "/r"});
        EXPECT_EQ(rerun.out, "\n" + std::to_string(left) + " stubs removed\n" + count_lines(left));
        EXPECT_EQ(rerun.exit_code, 0);
        EXPECT_EQ(check_rows(file, rows), 0);
        if (HasFailure()) {
            break;
        }
    }
    std::printf("[ crash    ] 100 trials: %d killed, %d of them part-way through removal\n", killed,
                partial);
    // The moments must have reached the removals, or the test tested nothing.
    EXPECT_GT(partial, 10);
}

// Another process inserts notes and stubs, each in its own transaction,
// while the tool removes stubs: neither sees an error, the file stays intact,
// every live note written by either side survives.
TEST_F(CrashSafety, RemovalWhileAnotherProcessWritesTheSameFile) {
    const std::vector<NoteRow> rows = crash_notes();
    const std::string file = db("shared.nsf");
    make_notes_db(file, rows);
    env["NOTES_DELAY"] = "note_delete=2000";

    std::atomic<bool> tool_done{false};
    std::vector<NoteRow> written;
    std::string writer_error;
    std::thread writer([&] {
        sqlite3* conn = nullptr;
        if (sqlite3_open_v2(file.c_str(), &conn, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            writer_error = "open failed";
            sqlite3_close(conn);
            return;
        }
        sqlite3_busy_timeout(conn, 20000);
        for (int i = 0; !tool_done.load() || i < 20; ++i) {
            const NoteRow row{10000 + i, 0x0001, utc_ms("2026-11-30T00:00:00Z") + i, i % 2};
            const std::string sql = "INSERT INTO notes VALUES (" + std::to_string(row.note_id) +
                                    ", 1, " + std::to_string(row.modified) + ", " +
                                    std::to_string(row.deleted) + ")";
            char* message = nullptr;
            if (sqlite3_exec(conn, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
                writer_error = message != nullptr ? message : "insert failed";
                sqlite3_free(message);
                break;
            }
            written.push_back(row);
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
        }
        sqlite3_close(conn);
    });
    ProcessResult r = run({"shared.nsf", "/r", "/l"});
    tool_done = true;
    writer.join();

    EXPECT_EQ(writer_error, "");
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out.find("Unable"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Error"), std::string::npos) << r.out;
    // Every stub in the table when the walk began was removed, and only those.
    const std::size_t found_at = r.out.rfind("\n", r.out.find(" stubs found\n"));
    const std::string found =
        r.out.substr(found_at + 1, r.out.find(" stubs found\n") - found_at - 1);
    EXPECT_NE(r.out.find("\n" + found + " stubs removed\n"), std::string::npos) << r.out;
    EXPECT_GE(std::stoi(found), 40);

    std::vector<NoteRow> all = rows;
    all.insert(all.end(), written.begin(), written.end());
    const int left = check_rows(file, all);
    EXPECT_EQ(left, 40 + static_cast<int>(written.size() / 2) - std::stoi(found));
    EXPECT_GE(written.size(), 20u);
    std::printf("[ writers  ] %zu rows written beside %s stubs removed\n", written.size(),
                found.c_str());
}

// A listing whose output is read slowly holds no read transaction while it
// waits to write: another process's write with a 2-second timeout, made
// while the tool is blocked on a full pipe, gets in, and the listing shows
// the file as it is when each stub is reached. (6,000 lines fill the pipe
// long before the last stub, which the writer changes into a form.)
TEST_F(CrashSafety, AListingReadSlowlyNeverKeepsAWriterOut) {
    constexpr int STUBS = 6000;
    std::vector<NoteRow> rows;
    for (int i = 1; i <= STUBS; ++i) {
        rows.push_back({i * 4, 1, utc_ms("2026-11-30T00:00:00Z"), 1});
    }
    make_notes_db(db("slow.nsf"), rows); // rollback journal: readers keep writers out
    int writer_rc = -1;
    std::string writer_error;
    ProcessOptions options;
    options.watch = [&](int, const std::string& out) {
        if (writer_rc != -1 || out.empty()) {
            return;
        }
        // Not reading for a while: the tool fills the pipe and blocks.
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        sqlite3* conn = nullptr;
        writer_rc = sqlite3_open_v2(db("slow.nsf").c_str(), &conn, SQLITE_OPEN_READWRITE, nullptr);
        if (writer_rc == SQLITE_OK) {
            sqlite3_busy_timeout(conn, 2000);
            const std::string sql =
                "UPDATE notes SET class = 4 WHERE note_id = " + std::to_string(STUBS * 4) +
                "; INSERT INTO notes VALUES (99999, 1, 0, 1)";
            writer_rc = sqlite3_exec(conn, sql.c_str(), nullptr, nullptr, nullptr);
            writer_error = sqlite3_errmsg(conn);
        }
        sqlite3_close(conn);
    };
    ProcessResult r = run({"slow.nsf", "/l", "/s:1000"}, options);
    EXPECT_EQ(writer_rc, SQLITE_OK) << writer_error;

    std::string expected = "NOTE ID\t\tDELETION DATE\t\tNOTE TYPE\n";
    char line[80];
    for (const NoteRow& row : rows) {
        std::snprintf(line, sizeof line, "ID: 0x%08llx\t2026-11-30 00:00:00 +0000\t%s\n",
                      static_cast<unsigned long long>(row.note_id),
                      row.note_id == STUBS * 4 ? "Form" : "Document");
        expected += line;
    }
    expected += "\n" + count_lines(STUBS);
    EXPECT_TRUE(r.out == expected) << r.out.substr(r.out.size() > 300 ? r.out.size() - 300 : 0);
    EXPECT_EQ(r.exit_code, 0);
}

} // namespace
