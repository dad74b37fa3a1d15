// A stand-in for the login manager on a private system bus, for the
// XScreenSaver daemon's D-Bus helper: it takes the login manager's name and
// answers the one call the helper needs at start-up, the request for a
// sleep inhibitor lock, with one end of a pipe. Every other call gets an
// error. Prints "ready" once it owns the name; ends when the bus goes away.
#include <dbus/dbus.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kName = "org.freedesktop.login1";
constexpr const char* kManager = "org.freedesktop.login1.Manager";

DBusHandlerResult answer(DBusConnection* bus, DBusMessage* call, void*) {
    if (dbus_message_get_type(call) != DBUS_MESSAGE_TYPE_METHOD_CALL) return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
    DBusMessage* reply = nullptr;
    int lock[2] = {-1, -1};
    if (dbus_message_is_method_call(call, kManager, "Inhibit") && pipe(lock) == 0) {
        reply = dbus_message_new_method_return(call);
        dbus_message_append_args(reply, DBUS_TYPE_UNIX_FD, &lock[0], DBUS_TYPE_INVALID);
    } else {
        reply = dbus_message_new_error(call, DBUS_ERROR_UNKNOWN_METHOD, "not offered by this stand-in");
    }
    dbus_connection_send(bus, reply, nullptr);
    dbus_message_unref(reply);
    // The pipe's ends are kept: the lock holds while the read end is open.
    return DBUS_HANDLER_RESULT_HANDLED;
}

}  // namespace

int main() {
    DBusError error;
    dbus_error_init(&error);
    DBusConnection* bus = dbus_bus_get_private(DBUS_BUS_SYSTEM, &error);
    if (bus == nullptr) {
        std::fprintf(stderr, "login_manager_stub: %s\n", error.message);
        return 1;
    }
    if (dbus_bus_request_name(bus, kName, DBUS_NAME_FLAG_DO_NOT_QUEUE, &error) !=
        DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER) {
        std::fprintf(stderr, "login_manager_stub: cannot own %s\n", kName);
        return 1;
    }
    dbus_connection_add_filter(bus, answer, nullptr, nullptr);
    std::printf("ready\n");
    std::fflush(stdout);
    while (dbus_connection_read_write_dispatch(bus, -1)) {
    }
    return 0;
}
