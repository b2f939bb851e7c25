// Output that cannot be written: the walk stops as on an interrupt, nothing
// more is removed, everything is released and the run fails.
#include <gtest/gtest.h>

#include <cstdio>

#include "app/exit_status.h"
#include "tests/unit/fake_notes.h"
#include "tests/unit/run_tool.h"

namespace {

// A stream on which every flush fails (the device is always full).
struct FullDevice {
    std::FILE* file = std::fopen("/dev/full", "w");
    ~FullDevice() {
        if (file != nullptr) {
            std::fclose(file);
        }
    }
};

FakeScript& many_stubs(std::uint32_t stubs) {
    FakeScript& f = fake_notes_install();
    f.synthetic_count = stubs;
    f.synthetic_stubs = true;
    for (std::uint32_t i = 1; i <= stubs; ++i) {
        f.info[i * 4] = {549, f.today, 0x0001};
    }
    return f;
}

void expect_released(const FakeScript& f) {
    EXPECT_EQ(f.table_frees, f.table_allocs);
    EXPECT_EQ(f.close_calls, f.open_calls);
    EXPECT_EQ(f.term_calls, 1);
    EXPECT_EQ(f.program_ends, 1);
}

// With /r each stub's line is pushed out before its removal; when that
// fails, the stub stays and the walk ends after it.
TEST(OutputFailure, ARemovalStopsAtTheFirstLineThatCannotBeWritten) {
    FullDevice full;
    ASSERT_NE(full.file, nullptr);
    FakeScript& f = many_stubs(1000);
    ToolRun run = run_startup({"db.nsf", "/l", "/r"}, full.file);
    EXPECT_EQ(run.exit_status, EXIT_FAILED);
    EXPECT_TRUE(f.deleted.empty());
    EXPECT_EQ(f.ids_delivered, 1u);
    expect_released(f);
}

// Without a listing a successful removal prints nothing; a failed one
// prints its report, and once that cannot be written no stub is removed.
TEST(OutputFailure, AFailureReportThatCannotBeWrittenStopsTheRemoval) {
    FullDevice full;
    FakeScript& f = many_stubs(1000);
    f.delete_status[8] = 0x011E;
    ToolRun run = run_startup({"db.nsf", "/r"}, full.file);
    EXPECT_EQ(run.exit_status, EXIT_FAILED);
    EXPECT_EQ(f.deleted, (std::vector<NoteId>{4}));
    EXPECT_EQ(f.ids_delivered, 2u);
    expect_released(f);
}

// A buffered listing fails when its buffer is written: the walk stops there.
TEST(OutputFailure, AListingStopsWhenItsBufferCannotBeWritten) {
    FullDevice full;
    FakeScript& f = many_stubs(100000);
    ToolRun run = run_startup({"db.nsf", "/l"}, full.file);
    EXPECT_EQ(run.exit_status, EXIT_FAILED);
    EXPECT_LT(f.ids_delivered, 100000u);
    expect_released(f);
}

// Output lost only at the last flush still fails the run.
TEST(OutputFailure, AReportLostAtTheEndFailsTheRun) {
    for (const char* args : {"", "/l", "/r", "/d"}) {
        SCOPED_TRACE(args);
        FullDevice full;
        FakeScript& f = many_stubs(3);
        std::vector<std::string> argv = {"db.nsf"};
        if (*args != '\0') {
            argv.push_back(args);
        }
        ToolRun run = run_startup(argv, full.file);
        EXPECT_EQ(run.exit_status, EXIT_FAILED);
        expect_released(f);
    }
    // The usage text alone, too.
    FullDevice full;
    fake_notes_install();
    EXPECT_EQ(run_startup({"/?"}, full.file).exit_status, EXIT_FAILED);
}

} // namespace
