#include "tests/support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

extern char** environ;

namespace test_support {
namespace {

using Clock = std::chrono::steady_clock;

ExitStatus decode_status(int status) {
    ExitStatus result;
    if (WIFEXITED(status)) {
        result.exited = true;
        result.code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}

// Everything a child needs, prepared before fork so that the child only
// calls what is safe there.
struct ExecPlan {
    std::vector<std::string> argv_text;
    std::vector<std::string> env_text;
    std::vector<char*> argv;
    std::vector<char*> env;

    ExecPlan(const std::vector<std::string>& args, const EnvChanges& changes) : argv_text(args) {
        std::map<std::string, std::optional<std::string>> final_changes;
        for (const auto& [name, value] : changes) final_changes[name] = value;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string text = *entry;
            if (final_changes.count(text.substr(0, text.find('='))) == 0) env_text.push_back(text);
        }
        for (const auto& [name, value] : final_changes) {
            if (value) env_text.push_back(name + "=" + *value);
        }
        for (auto& a : argv_text) argv.push_back(a.data());
        argv.push_back(nullptr);
        for (auto& e : env_text) env.push_back(e.data());
        env.push_back(nullptr);
    }
};

}  // namespace

bool wait_until(const std::function<bool()>& ready, Milliseconds limit, Milliseconds interval) {
    const auto deadline = Clock::now() + limit;
    for (;;) {
        if (ready()) return true;
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(interval);
    }
}

std::string ExitStatus::describe() const {
    if (exited) return "exit code " + std::to_string(code);
    if (signal != 0) return std::string("signal ") + std::to_string(signal) + " (" + strsignal(signal) + ")";
    return "unknown end";
}

pid_t spawn(const std::vector<std::string>& argv, const EnvChanges& env, const ChildFds& fds) {
    if (argv.empty()) return -1;
    const ExecPlan plan(argv, env);
    const int null_in = fds.in < 0 ? open("/dev/null", O_RDONLY | O_CLOEXEC) : -1;
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
        const int in = fds.in >= 0 ? fds.in : null_in;
        if (in >= 0) dup2(in, STDIN_FILENO);
        if (fds.out >= 0) dup2(fds.out, STDOUT_FILENO);
        if (fds.err >= 0) dup2(fds.err, STDERR_FILENO);
        if (fds.keep > STDERR_FILENO) {
            close_range(3, static_cast<unsigned>(fds.keep) - 1, 0);
            close_range(static_cast<unsigned>(fds.keep) + 1, ~0u, 0);
            fcntl(fds.keep, F_SETFD, 0);
        } else {
            close_range(3, ~0u, 0);
        }
        execvpe(plan.argv[0], plan.argv.data(), plan.env.data());
        _exit(127);
    }
    if (null_in >= 0) close(null_in);
    return pid;
}

// ---- ChildProcess ----

ChildProcess::~ChildProcess() {
    close_pipes();
    if (pid_ > 0 && !status_) stop(SIGKILL);
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept { *this = std::move(other); }

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        close_pipes();
        if (pid_ > 0 && !status_) stop(SIGKILL);
        pid_ = std::exchange(other.pid_, -1);
        status_ = std::exchange(other.status_, std::nullopt);
        out_path_ = std::move(other.out_path_);
        err_path_ = std::move(other.err_path_);
        to_child_ = std::exchange(other.to_child_, -1);
        from_child_ = std::exchange(other.from_child_, -1);
        buffered_ = std::move(other.buffered_);
    }
    return *this;
}

void ChildProcess::close_pipes() {
    if (to_child_ >= 0) close(to_child_);
    if (from_child_ >= 0) close(from_child_);
    to_child_ = from_child_ = -1;
}

bool ChildProcess::start(const std::vector<std::string>& argv, const EnvChanges& env) {
    pid_ = spawn(argv, env, {});
    status_.reset();
    return pid_ > 0;
}

bool ChildProcess::start(const std::vector<std::string>& argv, const EnvChanges& env, const std::string& output_stem) {
    out_path_ = output_stem + ".out";
    err_path_ = output_stem + ".err";
    const int out = open(out_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int err = open(err_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    pid_ = out >= 0 && err >= 0 ? spawn(argv, env, {-1, out, err, -1}) : -1;
    for (int fd : {out, err}) {
        if (fd >= 0) close(fd);
    }
    status_.reset();
    return pid_ > 0;
}

bool ChildProcess::start_piped(const std::vector<std::string>& argv, const EnvChanges& env) {
    int in[2] = {-1, -1};
    int out[2] = {-1, -1};
    if (pipe2(in, O_CLOEXEC) != 0) return false;
    if (pipe2(out, O_CLOEXEC) != 0) {
        close(in[0]);
        close(in[1]);
        return false;
    }
    pid_ = spawn(argv, env, {in[0], out[1], -1, -1});
    close(in[0]);
    close(out[1]);
    to_child_ = in[1];
    from_child_ = out[0];
    status_.reset();
    if (pid_ <= 0) close_pipes();
    return pid_ > 0;
}

bool ChildProcess::reap(bool block) {
    if (pid_ <= 0 || status_) return status_.has_value();
    int status = 0;
    pid_t got;
    do {
        got = waitpid(pid_, &status, block ? 0 : WNOHANG);
    } while (got < 0 && errno == EINTR);
    if (got == pid_) status_ = decode_status(status);
    return status_.has_value();
}

bool ChildProcess::running() { return pid_ > 0 && !reap(false); }

void ChildProcess::signal(int number) const {
    if (pid_ > 0 && !status_) kill(pid_, number);
}

std::optional<ExitStatus> ChildProcess::wait_for_exit(Milliseconds limit) {
    wait_until([&] { return !running(); }, limit, 10ms);
    return status_;
}

ExitStatus ChildProcess::stop(int sig) {
    if (running()) {
        kill(pid_, sig);
        if (!wait_for_exit(5s)) {
            kill(pid_, SIGKILL);
            reap(true);
        }
    }
    return status_.value_or(ExitStatus{});
}

std::string ChildProcess::output() const { return read_file(out_path_); }
std::string ChildProcess::errors() const { return read_file(err_path_); }

std::string ChildProcess::read_line(Milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (buffered_.find('\n') == std::string::npos && from_child_ >= 0) {
        const auto left = std::chrono::duration_cast<Milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return std::string();
        pollfd waiting{from_child_, POLLIN, 0};
        if (poll(&waiting, 1, static_cast<int>(left) + 1) <= 0) continue;
        char buffer[256];
        const ssize_t got = read(from_child_, buffer, sizeof buffer);
        if (got <= 0) return std::string();
        buffered_.append(buffer, static_cast<size_t>(got));
    }
    const size_t end = buffered_.find('\n');
    if (end == std::string::npos) return std::string();
    std::string line = buffered_.substr(0, end);
    buffered_.erase(0, end + 1);
    return line;
}

bool ChildProcess::write_line(const std::string& line) {
    if (to_child_ < 0) return false;
    const std::string text = line + "\n";
    return write(to_child_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

// ---- helper programs ----

ToolResult run_tool(const std::vector<std::string>& argv, Milliseconds limit) {
    ToolResult result;
    int pipe_fds[2];
    if (pipe2(pipe_fds, O_CLOEXEC) != 0) return result;
    const pid_t pid = spawn(argv, {}, {-1, pipe_fds[1], -1, -1});
    close(pipe_fds[1]);
    if (pid < 0) {
        close(pipe_fds[0]);
        return result;
    }
    const auto deadline = Clock::now() + limit;
    pollfd readable{pipe_fds[0], POLLIN, 0};
    for (;;) {
        const auto left = std::chrono::duration_cast<Milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) break;
        if (poll(&readable, 1, static_cast<int>(left)) <= 0) continue;
        char buffer[4096];
        const ssize_t got = read(pipe_fds[0], buffer, sizeof buffer);
        if (got <= 0) break;
        result.output.append(buffer, static_cast<size_t>(got));
    }
    close(pipe_fds[0]);
    // Output closed: the tool is ending. Past the time limit it is stopped.
    if (Clock::now() >= deadline) kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.status = decode_status(status);
    return result;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace test_support
