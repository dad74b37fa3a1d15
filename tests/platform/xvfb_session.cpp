#include "xvfb_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <SDL2/SDL.h>
#include <xcb/xcb.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace aquarium_test {
namespace {

bool g_running = false;

}  // namespace

bool XvfbSession::start(std::string& error) {
    // Xvfb picks a free display number itself and writes it to the pipe
    // once it accepts connections.
    int ready[2];
    if (pipe(ready) != 0) {
        error = "pipe failed";
        return false;
    }
    const pid_t pid = fork();
    if (pid < 0) {
        error = "fork failed";
        return false;
    }
    if (pid == 0) {
        close(ready[0]);
        const int devnull = open("/dev/null", O_RDWR);
        if (devnull >= 0) {
            dup2(devnull, STDIN_FILENO);
            dup2(devnull, STDOUT_FILENO);
            dup2(devnull, STDERR_FILENO);
        }
        const std::string fd = std::to_string(ready[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-terminate",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ready[1]);
    pid_ = pid;
    std::string number;
    pollfd waiting{ready[0], POLLIN, 0};
    for (int waited = 0; waited < 200; ++waited) {  // up to 20 s
        if (poll(&waiting, 1, 100) > 0) {
            char buffer[16];
            const ssize_t got = read(ready[0], buffer, sizeof buffer);
            if (got <= 0) break;
            number.append(buffer, static_cast<size_t>(got));
            if (number.find('\n') != std::string::npos) break;
        }
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            break;
        }
    }
    close(ready[0]);
    while (!number.empty() && (number.back() == '\n' || number.back() == '\r')) number.pop_back();
    if (number.empty()) {
        error = "Xvfb did not start";
        stop();
        return false;
    }
    display_ = ":" + number;
    setenv("DISPLAY", display_.c_str(), 1);
    // With -terminate the server ends when its last client leaves; this
    // connection is held until stop(), so the server lives exactly as long
    // as the test program, however that ends.
    keeper_ = xcb_connect(display_.c_str(), nullptr);
    unsetenv("WAYLAND_DISPLAY");
    setenv("SDL_VIDEODRIVER", "x11", 1);
    setenv("AQUARIUM_MESSAGE_BOXES", "stderr", 1);
    return true;
}

void XvfbSession::stop() {
    if (keeper_ != nullptr) {
        xcb_disconnect(static_cast<xcb_connection_t*>(keeper_));
        keeper_ = nullptr;
    }
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        for (int i = 0; i < 50 && waitpid(pid_, &status, WNOHANG) == 0; ++i) usleep(100 * 1000);
        if (waitpid(pid_, &status, WNOHANG) == 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        }
    }
    pid_ = -1;
}

void XvfbEnvironment::SetUp() {
    std::string error;
    g_running = session_.start(error);
    if (!g_running) ADD_FAILURE() << "cannot start Xvfb: " << error;
}

void XvfbEnvironment::TearDown() {
    // Everything on the server lets go of it first; a client whose server
    // vanishes under it ends the program.
    SDL_Quit();
    session_.stop();
    g_running = false;
}

bool XvfbEnvironment::running() { return g_running; }

int run_command(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace aquarium_test
