// The stand-in's configuration, read from the environment when the runtime
// starts: the data directory, a fixed current time, the fault and delay
// hooks and the trace file.
#include <filesystem>
#include <fstream>
#include <string>

#include "standin/faults.h"
#include "standin/settings.h"
#include "standin/status.h"
#include "standin/time.h"

namespace nn {

namespace {

Settings g_settings;

bool digits_at(const std::string& s, std::size_t at, std::size_t n, int* out) {
    int value = 0;
    for (std::size_t i = at; i < at + n; ++i) {
        if (s[i] < '0' || s[i] > '9') {
            return false;
        }
        value = value * 10 + (s[i] - '0');
    }
    *out = value;
    return true;
}

// YYYY-MM-DDTHH:MM:SSZ, a valid UTC date and time.
bool parse_now(const std::string& s, std::int64_t* ms) {
    int y, mo, d, h, mi, se;
    if (s.size() != 20 || s[4] != '-' || s[7] != '-' || s[10] != 'T' || s[13] != ':' ||
        s[16] != ':' || s[19] != 'Z' || !digits_at(s, 0, 4, &y) || !digits_at(s, 5, 2, &mo) ||
        !digits_at(s, 8, 2, &d) || !digits_at(s, 11, 2, &h) || !digits_at(s, 14, 2, &mi) ||
        !digits_at(s, 17, 2, &se)) {
        return false;
    }
    static const int month_days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (mo < 1 || mo > 12 || d < 1 || d > month_days[mo - 1] || (mo == 2 && d == 29 && !leap) ||
        h > 23 || mi > 59 || se > 59) {
        return false;
    }
    std::int64_t days = days_from_civil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d));
    *ms = days * MS_PER_DAY + ((h * 60 + mi) * 60 + se) * std::int64_t{1000};
    return true;
}

const char* env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

} // namespace

const Settings& settings() {
    return g_settings;
}

NotesStatus load_settings() {
    g_settings = Settings{};
    reset_hooks();

    std::error_code ec;
    std::string data = env("NOTES_DATA");
    std::filesystem::path dir = std::filesystem::absolute(data.empty() ? "." : data, ec);
    if (ec || !std::filesystem::is_directory(dir, ec)) {
        return ST_BAD_SETTING_DATA;
    }
    g_settings.data_dir = dir.lexically_normal().string();

    std::string now = env("NOTES_NOW");
    if (!now.empty()) {
        if (!parse_now(now, &g_settings.now_ms)) {
            return ST_BAD_SETTING_NOW;
        }
        g_settings.fixed_now = true;
    }
    std::string fail = env("NOTES_FAIL");
    if (!fail.empty() && !parse_faults(fail)) {
        return ST_BAD_SETTING_FAIL;
    }
    std::string delay = env("NOTES_DELAY");
    if (!delay.empty() && !parse_delays(delay)) {
        return ST_BAD_SETTING_DELAY;
    }
    g_settings.trace_path = env("NOTES_TRACE");
    if (!g_settings.trace_path.empty()) {
        std::ofstream probe(g_settings.trace_path, std::ios::app);
        if (!probe) {
            return ST_BAD_SETTING_TRACE;
        }
    }
    return ST_OK;
}

} // namespace nn
