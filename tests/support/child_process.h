// Child processes for tests that run programs: the program under test, the
// X server, and helper tools (xdotool, ImageMagick). Every child dies with
// the test program (parent-death signal) and inherits no descriptors beyond
// its standard input, output and error.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace test_support {

using namespace std::chrono_literals;
using Milliseconds = std::chrono::milliseconds;

// Polls `ready` until it holds or `limit` has passed; its last answer.
bool wait_until(const std::function<bool()>& ready, Milliseconds limit, Milliseconds interval = 50ms);

// How a child process ended.
struct ExitStatus {
    bool exited = false;  // by exit(); otherwise by a signal
    int code = -1;
    int signal = 0;
    bool clean() const { return exited && code == 0; }
    std::string describe() const;
};

// Environment changes for a child: a value, or nullopt to remove the name.
// A later change of the same name wins.
using EnvChanges = std::vector<std::pair<std::string, std::optional<std::string>>>;

// What a child gets as its standard streams. -1: /dev/null for `in`, the
// test program's own for `out` and `err`. `keep` is one more descriptor the
// child keeps open under the same number.
struct ChildFds {
    int in = -1;
    int out = -1;
    int err = -1;
    int keep = -1;
};

// Forks and runs argv[0] (looked up on PATH); the child's id, or -1.
pid_t spawn(const std::vector<std::string>& argv, const EnvChanges& env, const ChildFds& fds);

// A program started by a test. A process still running when the object goes
// away is killed.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;

    // Standard input /dev/null; output and error shared with the test.
    bool start(const std::vector<std::string>& argv, const EnvChanges& env);
    // Standard output and error into `output_stem`.out and .err.
    bool start(const std::vector<std::string>& argv, const EnvChanges& env, const std::string& output_stem);
    // Standard input and output connected to us, for read_line and write_line.
    bool start_piped(const std::vector<std::string>& argv, const EnvChanges& env);

    pid_t pid() const { return pid_; }
    bool running();
    void signal(int number) const;
    std::optional<ExitStatus> wait_for_exit(Milliseconds limit);
    // Sends `sig` and waits for the end (SIGKILL after five seconds).
    ExitStatus stop(int sig = SIGKILL);
    std::optional<ExitStatus> status() const { return status_; }
    std::string output() const;  // standard output, when it went to a file
    std::string errors() const;  // standard error, when it went to a file

    // Through the pipes: one line without its line feed (empty after
    // `limit`), and one line written.
    std::string read_line(Milliseconds limit);
    bool write_line(const std::string& line);

private:
    bool reap(bool block);
    void close_pipes();

    pid_t pid_ = -1;
    std::optional<ExitStatus> status_;
    std::string out_path_;
    std::string err_path_;
    int to_child_ = -1;
    int from_child_ = -1;
    std::string buffered_;
};

// A helper program run to its end: exit status and standard output.
struct ToolResult {
    ExitStatus status;
    std::string output;
};
// Killed when it runs longer than `limit`.
ToolResult run_tool(const std::vector<std::string>& argv, Milliseconds limit = 20s);

std::string read_file(const std::string& path);

}  // namespace test_support
