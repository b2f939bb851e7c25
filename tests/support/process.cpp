#include "tests/support/process.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#ifndef TARNWICK_BIN
#error "TARNWICK_BIN must name the built tool"
#endif

std::vector<std::string> tool_command() {
    const char* override_command = std::getenv("TARNWICK_E2E_COMMAND");
    if (override_command == nullptr || *override_command == '\0') {
        return {TARNWICK_BIN};
    }
    std::vector<std::string> words;
    std::istringstream in(override_command);
    for (std::string w; in >> w;) {
        words.push_back(w);
    }
    return words;
}

bool tool_is_windows() {
    const char* windows = std::getenv("TARNWICK_E2E_WINDOWS");
    return windows != nullptr && std::strcmp(windows, "1") == 0;
}

std::string from_text_mode(const std::string& printed) {
    std::string text;
    text.reserve(printed.size());
    for (std::size_t i = 0; i < printed.size(); ++i) {
        if (!(printed[i] == '\r' && i + 1 < printed.size() && printed[i + 1] == '\n')) {
            text += printed[i];
        }
    }
    return text;
}

ProcessResult run_process(const std::vector<std::string>& argv, const ProcessOptions& options) {
    int out_pipe[2];
    int err_pipe[2];
    if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0) {
        std::abort();
    }
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out_pipe[1], 1);
        dup2(err_pipe[1], 2);
        close(out_pipe[0]);
        close(err_pipe[0]);
        close(out_pipe[1]);
        close(err_pipe[1]);
        int null_in = open("/dev/null", O_RDONLY);
        dup2(null_in, 0);
        // A clean signal state: nothing blocked or ignored from the test runner.
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        for (int s : {SIGINT, SIGQUIT, SIGHUP, SIGTERM, SIGPIPE}) {
            signal(s, SIG_DFL);
        }
        for (const auto& [k, v] : options.env) {
            setenv(k.c_str(), v.c_str(), 1);
        }
        if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) {
            _exit(126);
        }
        std::vector<char*> args;
        for (const std::string& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(out_pipe[1]);
    close(err_pipe[1]);

    // The child is reaped only after the flood has stopped, so no signal can
    // reach another process that took its number.
    std::atomic<bool> flooding{options.flood_signal != 0};
    std::thread flooder;
    if (flooding) {
        flooder = std::thread([&flooding, &options, pid] {
            while (flooding && options.flood_from && !options.flood_from()) {
                usleep(100);
            }
            while (flooding) {
                kill(pid, options.flood_signal);
                usleep(100);
            }
        });
    }

    ProcessResult result;
    pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
    bool open_fds[2] = {true, true};
    bool out_closed_early = false;
    auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(options.timeout_ms);
    bool killed = false;
    while (open_fds[0] || open_fds[1]) {
        int ready = poll(fds, 2, 10);
        if (ready < 0 && errno != EINTR) {
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (open_fds[i] && (fds[i].revents & (POLLIN | POLLHUP)) != 0) {
                char buffer[65536];
                ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
                if (n <= 0) {
                    open_fds[i] = false;
                    fds[i].fd = -1;
                } else {
                    (i == 0 ? result.out : result.err).append(buffer, static_cast<size_t>(n));
                }
                if (i == 0 && open_fds[0] && options.close_out_after_lines > 0 &&
                    std::count(result.out.begin(), result.out.end(), '\n') >=
                        options.close_out_after_lines) {
                    close(fds[0].fd); // the reader has gone
                    out_closed_early = true;
                    open_fds[0] = false;
                    fds[0].fd = -1;
                }
            }
        }
        if (options.watch) {
            options.watch(pid, result.out);
        }
        if (!killed && std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            killed = true;
        }
    }
    flooding = false;
    if (flooder.joinable()) {
        flooder.join();
    }
    if (!out_closed_early) {
        close(out_pipe[0]);
    }
    close(err_pipe[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) {
        result.exit_code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.term_signal = WTERMSIG(status);
    }
    return result;
}
