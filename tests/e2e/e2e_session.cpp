#include "e2e_session.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#ifndef AQUARIUM_BINARY
#error "AQUARIUM_BINARY must name the program under test"
#endif

extern char** environ;

namespace e2e {
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
        // A later change of the same name wins.
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

// In a fresh child: die with the harness, take the given descriptors as
// standard input, output and error, close the rest.
void prepare_child(pid_t parent, int in, int out, int err) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    if (in >= 0) dup2(in, STDIN_FILENO);
    if (out >= 0) dup2(out, STDOUT_FILENO);
    if (err >= 0) dup2(err, STDERR_FILENO);
    close_range(3, ~0u, 0);
}

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

// ---- Process ----

Process::~Process() {
    if (pid_ > 0 && !status_) stop(SIGKILL);
}

Process::Process(Process&& other) noexcept { *this = std::move(other); }

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        if (pid_ > 0 && !status_) stop(SIGKILL);
        pid_ = other.pid_;
        status_ = other.status_;
        out_path_ = std::move(other.out_path_);
        err_path_ = std::move(other.err_path_);
        other.forget();
    }
    return *this;
}

void Process::forget() {
    pid_ = -1;
    status_.reset();
}

bool Process::start(const std::vector<std::string>& argv, const EnvChanges& env, const std::string& output_stem) {
    out_path_ = output_stem + ".out";
    err_path_ = output_stem + ".err";
    ExecPlan plan(argv, env);
    const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int out = open(out_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int err = open(err_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const pid_t parent = getpid();
    const pid_t pid = (in >= 0 && out >= 0 && err >= 0) ? fork() : -1;
    if (pid == 0) {
        prepare_child(parent, in, out, err);
        execvpe(plan.argv[0], plan.argv.data(), plan.env.data());
        _exit(127);
    }
    for (int fd : {in, out, err}) {
        if (fd >= 0) close(fd);
    }
    if (pid < 0) return false;
    pid_ = pid;
    status_.reset();
    return true;
}

bool Process::reap(bool block) {
    if (pid_ <= 0 || status_) return status_.has_value();
    int status = 0;
    pid_t got;
    do {
        got = waitpid(pid_, &status, block ? 0 : WNOHANG);
    } while (got < 0 && errno == EINTR);
    if (got == pid_) status_ = decode_status(status);
    return status_.has_value();
}

bool Process::running() { return pid_ > 0 && !reap(false); }

std::optional<ExitStatus> Process::wait_for_exit(Milliseconds limit) {
    wait_until([&] { return !running(); }, limit, 10ms);
    return status_;
}

ExitStatus Process::stop(int sig) {
    if (running()) {
        kill(pid_, sig);
        if (!wait_for_exit(5s)) {
            kill(pid_, SIGKILL);
            reap(true);
        }
    }
    return status_.value_or(ExitStatus{});
}

std::string Process::output() const { return read_file(out_path_); }
std::string Process::errors() const { return read_file(err_path_); }

// ---- helper programs ----

ToolResult run_tool(const std::vector<std::string>& argv, Milliseconds limit) {
    ToolResult result;
    int pipe_fds[2];
    if (pipe2(pipe_fds, O_CLOEXEC) != 0) return result;
    ExecPlan plan(argv, {});
    const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        prepare_child(parent, in, pipe_fds[1], -1);
        execvp(plan.argv[0], plan.argv.data());
        _exit(127);
    }
    close(pipe_fds[1]);
    if (in >= 0) close(in);
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

void write_file(const std::string& path, const std::string& content) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

// ---- X server ----

bool XServer::start(const std::string& log_path, std::string& error) {
    // Xvfb chooses a free display number and writes it to this pipe once it
    // accepts connections.
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) {
        error = "pipe failed";
        return false;
    }
    const int log = open(log_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const std::string fd_text = std::to_string(ready[1]);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
        dup2(in, STDIN_FILENO);
        dup2(log, STDOUT_FILENO);
        dup2(log, STDERR_FILENO);
        fcntl(ready[1], F_SETFD, 0);  // the one descriptor Xvfb keeps
        execlp("Xvfb", "Xvfb", "-displayfd", fd_text.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
               "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ready[1]);
    if (log >= 0) close(log);
    if (in >= 0) close(in);
    if (pid < 0) {
        close(ready[0]);
        error = "fork failed";
        return false;
    }
    pid_ = pid;
    std::string number;
    const auto deadline = Clock::now() + 20s;
    pollfd readable{ready[0], POLLIN, 0};
    while (number.find('\n') == std::string::npos && Clock::now() < deadline) {
        if (poll(&readable, 1, 100) > 0) {
            char buffer[16];
            const ssize_t got = read(ready[0], buffer, sizeof buffer);
            if (got <= 0) break;
            number.append(buffer, static_cast<size_t>(got));
        }
    }
    close(ready[0]);
    while (!number.empty() && (number.back() == '\n' || number.back() == '\r')) number.pop_back();
    if (number.empty()) {
        error = "Xvfb reported no display; its log: " + read_file(log_path);
        stop();
        return false;
    }
    display_ = ":" + number;
    return true;
}

void XServer::stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    if (!wait_until([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, 5s, 20ms)) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
    }
    pid_ = -1;
}

std::ostream& operator<<(std::ostream& out, const WindowGeometry& g) {
    return out << g.width << "x" << g.height << "+" << g.x << "+" << g.y;
}

// ---- X connection ----

bool XConnection::open(const std::string& display) {
    close();
    connection_ = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(connection_) != 0) {
        xcb_disconnect(connection_);
        connection_ = nullptr;
        return false;
    }
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    return true;
}

void XConnection::close() {
    if (connection_ != nullptr) xcb_disconnect(connection_);
    connection_ = nullptr;
}

uint32_t XConnection::atom(const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection_, xcb_intern_atom(connection_, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    if (reply == nullptr) return XCB_ATOM_NONE;
    const uint32_t value = reply->atom;
    std::free(reply);
    return value;
}

std::string XConnection::string_property(uint32_t window, uint32_t property, uint32_t type) {
    xcb_get_property_reply_t* reply =
        xcb_get_property_reply(connection_, xcb_get_property(connection_, 0, window, property, type, 0, 1024), nullptr);
    if (reply == nullptr) return {};
    std::string text(static_cast<const char*>(xcb_get_property_value(reply)),
                     static_cast<size_t>(xcb_get_property_value_length(reply)));
    std::free(reply);
    return text;
}

std::vector<uint32_t> XConnection::children(uint32_t window) {
    std::vector<uint32_t> result;
    if (connection_ == nullptr) return result;
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(connection_, xcb_query_tree(connection_, window), nullptr);
    if (tree == nullptr) return result;
    const xcb_window_t* list = xcb_query_tree_children(tree);
    result.assign(list, list + xcb_query_tree_children_length(tree));
    std::free(tree);
    return result;
}

std::vector<uint32_t> XConnection::top_level_windows() { return children(root_); }

std::vector<uint32_t> XConnection::windows_of(pid_t pid) {
    std::vector<uint32_t> result;
    if (connection_ == nullptr) return result;
    const uint32_t pid_atom = atom("_NET_WM_PID");
    for (const uint32_t window : top_level_windows()) {
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            connection_, xcb_get_property(connection_, 0, window, pid_atom, XCB_ATOM_CARDINAL, 0, 1), nullptr);
        if (reply == nullptr) continue;
        if (xcb_get_property_value_length(reply) == 4 &&
            *static_cast<const uint32_t*>(xcb_get_property_value(reply)) == static_cast<uint32_t>(pid)) {
            result.push_back(window);
        }
        std::free(reply);
    }
    return result;
}

bool XConnection::viewable(uint32_t window) {
    if (connection_ == nullptr) return false;
    xcb_get_window_attributes_reply_t* reply =
        xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, window), nullptr);
    if (reply == nullptr) return false;
    const bool result = reply->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(reply);
    return result;
}

std::optional<WindowGeometry> XConnection::geometry(uint32_t window) {
    if (connection_ == nullptr) return std::nullopt;
    xcb_get_geometry_reply_t* size = xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window), nullptr);
    if (size == nullptr) return std::nullopt;
    WindowGeometry result{0, 0, size->width, size->height};
    std::free(size);
    xcb_translate_coordinates_reply_t* origin = xcb_translate_coordinates_reply(
        connection_, xcb_translate_coordinates(connection_, window, root_, 0, 0), nullptr);
    if (origin == nullptr) return std::nullopt;
    result.x = origin->dst_x;
    result.y = origin->dst_y;
    std::free(origin);
    return result;
}

std::string XConnection::title(uint32_t window) {
    if (connection_ == nullptr) return {};
    std::string name = string_property(window, atom("_NET_WM_NAME"), atom("UTF8_STRING"));
    if (name.empty()) name = string_property(window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING);
    return name;
}

std::optional<uint32_t> XConnection::titled_window_of(pid_t pid) {
    for (const uint32_t window : windows_of(pid)) {
        if (viewable(window) && title(window) == kTitle) return window;
    }
    return std::nullopt;
}

uint32_t XConnection::create_host_window(int x, int y, int width, int height) {
    if (connection_ == nullptr) return 0;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    const uint32_t window = xcb_generate_id(connection_);
    const uint32_t values[] = {screen->white_pixel};
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, root_, static_cast<int16_t>(x), static_cast<int16_t>(y),
                      static_cast<uint16_t>(width), static_cast<uint16_t>(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, XCB_CW_BACK_PIXEL, values);
    const char name[] = "preview host";
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        sizeof name - 1, name);
    xcb_map_window(connection_, window);
    // A round trip: the window exists before anyone hears of its id.
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    return window;
}

void XConnection::destroy_window(uint32_t window) {
    if (connection_ == nullptr) return;
    xcb_destroy_window(connection_, window);
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

// ---- fixture ----

void AquariumTest::SetUp() {
    const char* temp = std::getenv("TMPDIR");
    std::string pattern = std::string(temp != nullptr && temp[0] == '/' ? temp : "/tmp") + "/aquarium-e2e-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr) << "cannot make a folder for the test";
    dir_ = pattern;
    std::filesystem::create_directories(dir_ + "/config");
    std::filesystem::create_directories(dir_ + "/runtime");
    std::filesystem::permissions(dir_ + "/runtime", std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);

    std::string error;
    ASSERT_TRUE(server_.start(dir_ + "/xvfb.log", error)) << error;
    ASSERT_TRUE(x_.open(server_.display())) << "cannot connect to " << server_.display();
    // The helper programs (xdotool, import) use this server.
    setenv("DISPLAY", server_.display().c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
}

void AquariumTest::TearDown() {
    x_.close();
    server_.stop();
    if (dir_.empty()) return;
    if (HasFailure() || std::getenv("AQUARIUM_E2E_KEEP") != nullptr) {
        std::printf("[ e2e ] logs and pictures kept in %s\n", dir_.c_str());
    } else {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
}

EnvChanges AquariumTest::program_environment(bool with_display) const {
    return {
        {"DISPLAY", with_display ? std::optional<std::string>(server_.display()) : std::nullopt},
        {"WAYLAND_DISPLAY", std::nullopt},
        {"SDL_VIDEODRIVER", std::string("x11")},
        {"XDG_CONFIG_HOME", dir_ + "/config"},
        {"XDG_RUNTIME_DIR", dir_ + "/runtime"},
        {"AQUARIUM_SEED", std::string("3")},
        // Error texts on standard error: nobody is there to press OK.
        {"AQUARIUM_MESSAGE_BOXES", std::string("stderr")},
    };
}

Process AquariumTest::launch(const std::vector<std::string>& args, const EnvChanges& extra) {
    std::vector<std::string> argv{AQUARIUM_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    EnvChanges env = program_environment(true);
    env.insert(env.end(), extra.begin(), extra.end());
    Process process;
    const std::string stem = dir_ + "/aquarium-" + std::to_string(++launches_);
    EXPECT_TRUE(process.start(argv, env, stem)) << "cannot start " << AQUARIUM_BINARY;
    return process;
}

std::optional<uint32_t> AquariumTest::wait_for_window(Process& process, Milliseconds limit) {
    std::optional<uint32_t> found;
    wait_until(
        [&] {
            found = x_.titled_window_of(process.pid());
            return found.has_value() || !process.running();
        },
        limit);
    return found;
}

std::optional<uint32_t> AquariumTest::wait_for_full_screen_picture(Process& process, Milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    const std::optional<uint32_t> window = wait_for_window(process, limit);
    if (!window) return std::nullopt;
    const WindowGeometry screen{0, 0, kScreenWidth, kScreenHeight};
    const auto left = [&] {
        return std::chrono::duration_cast<Milliseconds>(deadline - std::chrono::steady_clock::now());
    };
    if (!wait_until([&] { return x_.geometry(*window) == screen || !process.running(); }, left())) return std::nullopt;
    // Background, tank lines, the shaded fish and the text: many colours.
    // Until the first frame the window shows its plain background.
    const bool drawn = wait_until(
        [&] {
            if (!process.running()) return false;
            return image_facts(screenshot(std::to_string(*window), "first-picture")).colours > 16;
        },
        left(), 200ms);
    return drawn && process.running() ? window : std::nullopt;
}

void AquariumTest::xdotool(const std::vector<std::string>& args) {
    std::vector<std::string> argv{"xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    const ToolResult result = run_tool(argv);
    EXPECT_TRUE(result.status.clean()) << "xdotool " << args.front() << ": " << result.status.describe();
}

std::string AquariumTest::screenshot(const std::string& window, const std::string& name) {
    const std::string path = dir_ + "/" + name + ".png";
    const ToolResult result = run_tool({"import", "-silent", "-window", window, path});
    if (!result.status.clean()) {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
    }
    return path;
}

ImageFacts AquariumTest::image_facts(const std::string& png, const std::string& crop) {
    ImageFacts facts;
    if (!std::filesystem::exists(png)) return facts;
    std::vector<std::string> argv{"convert", png};
    if (!crop.empty()) argv.insert(argv.end(), {"-crop", crop, "+repage"});
    argv.insert(argv.end(), {"-format", "%k %#", "info:"});
    const ToolResult result = run_tool(argv);
    std::istringstream words(result.output);
    words >> facts.colours >> facts.signature;
    return facts;
}

std::string AquariumTest::settings_path() const { return dir_ + "/config/aquarium/settings.ini"; }

bool AquariumTest::settings_exist() const { return std::filesystem::exists(settings_path()); }

std::map<std::string, std::string> AquariumTest::settings_values() const {
    std::map<std::string, std::string> values;
    std::istringstream lines(read_file(settings_path()));
    std::string line;
    bool ours = false;
    const auto trim = [](std::string text) {
        const char* blanks = " \t\r";
        text.erase(0, text.find_first_not_of(blanks));
        text.erase(text.find_last_not_of(blanks) + 1);
        return text;
    };
    while (std::getline(lines, line)) {
        line = trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line.front() == '[') {
            ours = line == std::string("[") + kSettingsSection + "]";
            continue;
        }
        const size_t equals = line.find('=');
        if (ours && equals != std::string::npos) values[trim(line.substr(0, equals))] = trim(line.substr(equals + 1));
    }
    return values;
}

void AquariumTest::write_settings(const std::string& content) { write_file(settings_path(), content); }

}  // namespace e2e
