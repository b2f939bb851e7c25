// Every failure of every status-returning library operation, one at a time:
// for each operation and each N up to the number of calls a clean run makes
// (and one beyond), the Nth call fails. The built tool runs end to end on a
// real file with a listing, a removal and a day window, and each run is
// checked for its exact output and exit status, the file afterwards, and
// what the library's trace says was started, held and released.
#include "tests/e2e/e2e_fixture.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>

namespace {

constexpr const char* ENGINE_ERROR = "Database engine error"; // the text of 0x0119

// Operations that return a status, in the order a run first calls them.
const char* const status_ops[] = {
    "notes_init",  "notes_setup_args", "notes_program_begin", "build_db_path", "time_normalize",
    "time_adjust", "db_open",          "db_modified_ids",     "note_info",     "time_to_text",
    "note_delete", "idtable_free",     "db_version",          "db_close",
};

// The file: live notes, three stubs inside the window /s:10 /e:1, one newer
// than it (today) and one older than the query bound. E2E_NOW is
// 2026-12-01T12:00:00Z, in UTC.
struct Stub {
    std::int64_t id;
    int day; // deletion day relative to today
    const char* date_text;
    const char* class_name;
};
const Stub stubs[] = {
    {4, -2, "2026-11-29 08:00:00 +0000", "Document"},
    {8, -6, "2026-11-25 23:59:59 +0000", "View"},
    {10, 0, "2026-12-01 08:00:00 +0000", "Document"},
    {14, -10, "2026-11-21 00:00:00 +0000", "Help-About"},
    {18, -334, "2026-01-01 00:00:00 +0000", "Document"},
};
const std::vector<std::string> sweep_args = {"names.nsf", "/l", "/r", "/s:10", "/e:1"};

std::vector<NoteRow> sweep_notes() {
    return {
        {2, 0x0001, utc_ms("2026-11-30T09:00:00Z"), 0},
        {4, 0x0001, utc_ms("2026-11-29T08:00:00Z"), 1},
        {6, 0x0004, utc_ms("2026-11-20T10:00:00Z"), 0},
        {8, 0x0008, utc_ms("2026-11-25T23:59:59Z"), 1},
        {10, 0x0001, utc_ms("2026-12-01T08:00:00Z"), 1},
        {14, 0x0002, utc_ms("2026-11-21T00:00:00Z"), 1},
        {16, 0x0001, utc_ms("2025-06-01T00:00:00Z"), 0},
        {18, 0x0001, utc_ms("2026-01-01T00:00:00Z"), 1},
    };
}

std::string hex_id(std::int64_t id) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08llx", static_cast<unsigned long long>(id));
    return text;
}

// What one run must do.
struct Expected {
    std::string out;
    int exit_code = 0;
    std::set<std::int64_t> removed;
    bool runtime_started = true; // "init" and one "term" line in the trace
    int databases_held = 0;      // at notes_term, left by a failed release
    int tables_held = 0;
    bool program_ended = true; // notes_program_end follows a started runtime's set-up
};

// How a fault bends the walk; -1: no such fault.
struct Walk {
    int start_day = -10;      // the window's first day
    int end_day = -1;         // the window's last day
    int since_day = -11;      // the query returns notes modified since this day
    int info_fails = -1;      // among stubs in the table, in order
    int normalize_fails = -1; // the normalisation of a stub's time, likewise
    int text_fails = -1;      // among matching stubs, in order
    int delete_fails = -1;
    bool version_fails = false;
};

Expected walk_outcome(const Walk& w) {
    Expected e;
    e.out = "NOTE ID\t\tDELETION DATE\t\tNOTE TYPE\n";
    int in_table = 0;
    int matched = 0;
    int failures = 0;
    int unread = 0;
    for (const Stub& s : stubs) {
        if (s.day < w.since_day) {
            continue;
        }
        const int at = in_table++;
        if (at == w.info_fails || at == w.normalize_fails) {
            ++unread; // its date is unknown under the window
            continue;
        }
        if (s.day < w.start_day || s.day > w.end_day) {
            continue;
        }
        const bool text = matched != w.text_fails;
        const bool removed = matched != w.delete_fails;
        ++matched;
        e.out +=
            "ID: " + hex_id(s.id) + "\t" + (text ? s.date_text : "") + "\t" + s.class_name + "\n";
        if (removed) {
            e.removed.insert(s.id);
        } else {
            e.out += "Unable to remove deletion stub for note " + hex_id(s.id) +
                     "\n(Error: " + ENGINE_ERROR + ")\n";
            ++failures;
        }
    }
    e.out += "\n" + std::to_string(matched - failures) + " stubs removed\n";
    if (failures != 0) {
        e.out += "\n" + std::to_string(failures) + " deletion stubs could not be removed\n";
        e.exit_code = 255;
    }
    e.out += w.version_fails ? std::to_string(matched) +
                                   " stubs found\nTotal space used @ 0 bytes per stub = 0 bytes\n"
                             : count_lines(matched);
    if (unread != 0) {
        e.out +=
            std::to_string(unread) + " deletion stubs could not be read and were not counted\n";
        e.exit_code = 255;
    }
    return e;
}

// The outcome the tool's failure handling gives when call n of op fails
// with status (0x0119, or 0x8119 with the "already shown" bit).
Expected expected_for(const std::string& op, int n, std::uint16_t status) {
    const bool shown = (status & 0x8000) != 0;
    const std::string startup_text = shown ? "" : std::string("\r\n") + ENGINE_ERROR + "\r\n\r\n";
    const std::string status_line = std::string("(Error: ") + ENGINE_ERROR + ")\n";
    Expected e;
    e.exit_code = 255;
    Walk w;
    if (op == "notes_init") {
        e.out = startup_text;
        e.exit_code = 3;
        e.runtime_started = false;
    } else if (op == "notes_setup_args") {
        e.out = startup_text;
        e.exit_code = 3;
        e.program_ended = false;
    } else if (op == "notes_program_begin") {
        e.out = "";
    } else if (op == "build_db_path") {
        e.out = "Cannot create path to database names.nsf\n" + startup_text;
    } else if (op == "db_open") {
        e.out = "Unable to open database: names.nsf\n" + status_line;
    } else if (op == "db_modified_ids") {
        e.out = "\nError getting deletion stubs\n" + status_line;
    } else if ((op == "time_normalize" || op == "time_adjust") && n <= 2) {
        // The window's start (call 1) or end (call 2) cannot be computed.
        e.out = "Unable to compute the day window\n" + status_line;
    } else {
        // The rest never stop the run.
        if (op == "time_adjust") { // the query bound: the query takes every note
            w.since_day = INT32_MIN;
        } else if (op == "time_normalize") { // a stub's time, in table order
            w.normalize_fails = n - 3;
        } else if (op == "note_info") {
            w.info_fails = n - 1;
        } else if (op == "time_to_text") {
            w.text_fails = n - 1;
        } else if (op == "note_delete") {
            w.delete_fails = n - 1;
        } else if (op == "db_version") {
            w.version_fails = true;
        }
        e = walk_outcome(w);
        // The library refused to release: the tool does not try again.
        e.databases_held = op == "db_close" ? 1 : 0;
        e.tables_held = op == "idtable_free" ? 1 : 0;
    }
    return e;
}

class FaultSweep : public ToolTest {
  protected:
    std::string trace_file() const { return dir.file("trace.txt"); }

    ProcessResult run_fresh(const std::string& fault) {
        std::remove(db("names.nsf").c_str());
        std::remove(trace_file().c_str());
        make_notes_db(db("names.nsf"), sweep_notes());
        env["NOTES_TRACE"] = trace_file();
        env["NOTES_FAIL"] = fault;
        return run(sweep_args);
    }

    std::vector<std::string> trace_lines() const {
        std::vector<std::string> lines;
        std::istringstream in(read_file(trace_file()));
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    // Calls per operation, from the trace's "calls" line.
    std::map<std::string, int> call_counts() const {
        std::map<std::string, int> counts;
        for (const std::string& line : trace_lines()) {
            if (line.rfind("calls ", 0) == 0) {
                std::istringstream words(line.substr(6));
                for (std::string word; words >> word;) {
                    const std::size_t eq = word.find('=');
                    counts[word.substr(0, eq)] = std::stoi(word.substr(eq + 1));
                }
            }
        }
        return counts;
    }

    void check(const ProcessResult& r, const Expected& e) {
        EXPECT_EQ(r.term_signal, 0);
        EXPECT_EQ(r.out, e.out);
        EXPECT_EQ(r.exit_code, e.exit_code);

        // Every live note stays; every stub is gone only if reported removed.
        std::vector<NoteRow> left;
        for (const NoteRow& row : sweep_notes()) {
            if (e.removed.count(row.note_id) == 0) {
                left.push_back(row);
            }
        }
        EXPECT_EQ(read_notes(db("names.nsf")), left);
        EXPECT_EQ(integrity_check(db("names.nsf")), "ok");

        // The runtime was started and ended once, and nothing the tool
        // obtained was still held when it ended.
        std::vector<std::string> lines = trace_lines();
        if (!e.runtime_started) {
            EXPECT_TRUE(lines.empty());
            return;
        }
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_EQ(lines[0], "init");
        EXPECT_EQ(lines[1], "term databases=" + std::to_string(e.databases_held) +
                                " tables=" + std::to_string(e.tables_held) + " programs=0");
        const std::map<std::string, int> calls = call_counts();
        EXPECT_EQ(calls.at("notes_init"), 1);
        EXPECT_EQ(calls.at("notes_term"), 1);
        EXPECT_EQ(calls.at("notes_program_end"), e.program_ended ? 1 : 0);
        EXPECT_EQ(calls.at("db_close"),
                  calls.at("db_open") - (e.out.find("Unable to open") != std::string::npos));
        EXPECT_EQ(calls.at("idtable_free"), calls.at("idtable_count"));
    }
};

TEST_F(FaultSweep, EveryFailureOfEveryCallIsHandledAndLosesNothing) {
    // The clean run, which also says how often each operation is called.
    ProcessResult clean = run_fresh("");
    check(clean, walk_outcome(Walk{}));
    const std::map<std::string, int> calls = call_counts();

    int faults = 0;
    for (std::uint16_t status : {std::uint16_t{0x0119}, std::uint16_t{0x8119}}) {
        for (const char* op : status_ops) {
            const int made = calls.at(op);
            ASSERT_GE(made, 1) << op << " is never called; the sweep would not reach it";
            // One beyond the last call: the fault is never reached.
            for (int n = 1; n <= made + 1; ++n) {
                char fault[64];
                std::snprintf(fault, sizeof fault, "%s#%d=0x%04x", op, n, status);
                SCOPED_TRACE(fault);
                ProcessResult r = run_fresh(fault);
                check(r, n <= made ? expected_for(op, n, status) : walk_outcome(Walk{}));
                ++faults;
            }
        }
    }
    std::printf("[ sweep    ] %d runs with one injected fault each\n", faults);
}

// A failed normalisation of a stub's time must not give the stub a date that
// puts it inside an "older than" window: a stub deleted today stays, and the
// run says that it could not place it.
TEST_F(FaultSweep, AFailedTimeNormalisationNeverMovesAStubIntoTheWindow) {
    make_notes_db(db("today.nsf"), {{4, 1, utc_ms("2026-12-01T08:00:00Z"), 1}});
    // Call 1 normalises the window's end; call 2 the stub's time.
    env["NOTES_FAIL"] = "time_normalize#2=0x0119";
    ProcessResult r = run({"today.nsf", "/r", "/e:2"});
    EXPECT_EQ(r.out, "\n0 stubs removed\n" + count_lines(0) +
                         "1 deletion stubs could not be read and were not counted\n");
    EXPECT_EQ(r.exit_code, 255);
    EXPECT_EQ(read_notes(db("today.nsf")).size(), 1u);
}

// The fault first reproduced: the window's end could not be moved back, and
// today's stubs were removed as if they were a day old.
TEST_F(FaultSweep, AWindowThatCannotBeComputedRemovesNothing) {
    make_notes_db(db("today.nsf"), {{4, 1, utc_ms("2026-12-01T08:00:00Z"), 1}});
    env["NOTES_FAIL"] = "time_adjust=0x0119";
    ProcessResult r = run({"today.nsf", "/r", "/e:1"});
    EXPECT_EQ(r.out,
              std::string("Unable to compute the day window\n(Error: ") + ENGINE_ERROR + ")\n");
    EXPECT_EQ(r.exit_code, 255);
    EXPECT_EQ(read_notes(db("today.nsf")).size(), 1u);
}

} // namespace
