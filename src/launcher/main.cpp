// purlo: what the user and the desktop start. `purlo --clean` runs from a key
// binding at every press, so it is answered here, over libdbus, without
// loading Qt and the desktop libraries the tray program needs (they cost
// more than the request itself); everything else starts the tray program.

#include <dbus/dbus.h>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#ifndef PURLO_VERSION
#error "PURLO_VERSION must be defined by the build"
#endif

namespace {

constexpr const char* kUsage =
    "Usage: purlo [--clean | --help | --version]\n"
    "Puts Purlo's icon in the tray. Super+Shift+V cleans the clipboard: rich\n"
    "formatting is dropped, tracking parameters leave http/https addresses,\n"
    "and white space collapses to single spaces.\n"
    "  --clean    ask the running Purlo (started if need be) to clean the\n"
    "             clipboard once; bind this to Super+Shift+V where the desktop\n"
    "             does not let Purlo register the shortcut itself\n";

constexpr const char* kBusName = "app.purlo.Purlo";
// For the bus itself, which answers at once whatever state Purlo is in.
constexpr int kBusMs = 500;
// Long enough for the bus to start Purlo and for Purlo to claim its name,
// on a busy machine; only a Purlo that is not running yet is waited for so.
constexpr int kStartMs = 15000;
// How long a running Purlo has to answer.
constexpr int kAnswerMs = 2000;
// How long the failure's notification is waited for: with kAnswerMs, a
// Purlo that does not answer costs under 3 s.
constexpr int kFailureNoteMs = 800;

struct Failure {
    std::string reason;  // a few words, for the notification
    std::string detail;  // the bus's own message, for the terminal
};

using Message = std::unique_ptr<DBusMessage, decltype(&dbus_message_unref)>;

struct Error {
    DBusError e;
    Error() { dbus_error_init(&e); }
    ~Error() { dbus_error_free(&e); }
    std::string text() const { return dbus_error_is_set(&e) ? e.message : ""; }
    bool named(const char* name) const { return dbus_error_has_name(&e, name); }
};

Message call(DBusConnection* bus, DBusMessage* m, int timeoutMs, Error& error) {
    Message reply(dbus_connection_send_with_reply_and_block(bus, m, timeoutMs, &error.e), dbus_message_unref);
    dbus_message_unref(m);
    return reply;
}

DBusMessage* busMethod(const char* member) {
    return dbus_message_new_method_call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                        member);
}

// An empty array of the given element signature.
void appendEmpty(DBusMessageIter* args, const char* signature) {
    DBusMessageIter array;
    dbus_message_iter_open_container(args, DBUS_TYPE_ARRAY, signature, &array);
    dbus_message_iter_close_container(args, &array);
}

// Asks the running Purlo for one cleaning (the bus starts one first when
// none runs) and returns once it has the request.
std::optional<Failure> requestClean(DBusConnection* bus) {
    Error error;
    DBusMessage* owned = busMethod("NameHasOwner");
    dbus_message_append_args(owned, DBUS_TYPE_STRING, &kBusName, DBUS_TYPE_INVALID);
    const Message hasOwner = call(bus, owned, kBusMs, error);
    dbus_bool_t running = false;
    if (!hasOwner || !dbus_message_get_args(hasOwner.get(), &error.e, DBUS_TYPE_BOOLEAN, &running, DBUS_TYPE_INVALID))
        return Failure{"the D-Bus session bus did not answer", error.text()};
    if (!running) {
        DBusMessage* start = busMethod("StartServiceByName");
        const dbus_uint32_t flags = 0;
        dbus_message_append_args(start, DBUS_TYPE_STRING, &kBusName, DBUS_TYPE_UINT32, &flags, DBUS_TYPE_INVALID);
        if (!call(bus, start, kStartMs, error)) return Failure{"Purlo could not be started", error.text()};
    }

    DBusMessage* m =
        dbus_message_new_method_call(kBusName, "/app/purlo/Purlo", "org.freedesktop.Application", "ActivateAction");
    const char* action = "clean";
    DBusMessageIter args;
    dbus_message_iter_init_append(m, &args);
    dbus_message_iter_append_basic(&args, DBUS_TYPE_STRING, &action);
    appendEmpty(&args, "v");
    appendEmpty(&args, "{sv}");
    if (call(bus, m, kAnswerMs, error)) return std::nullopt;
    const bool silent = error.named(DBUS_ERROR_NO_REPLY) || error.named(DBUS_ERROR_TIMEOUT);
    return Failure{silent ? "Purlo did not answer" : "Purlo refused the request", error.text()};
}

// One notification, waited for at most kFailureNoteMs. `body` holds no markup
// characters, so the server's capabilities need not be asked.
void notify(DBusConnection* bus, const std::string& body) {
    DBusMessage* m = dbus_message_new_method_call("org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                                                  "org.freedesktop.Notifications", "Notify");
    const char *app = "Purlo", *icon = "", *text = body.c_str();
    const dbus_uint32_t replaces = 0;
    const dbus_int32_t expires = -1;
    DBusMessageIter args;
    dbus_message_iter_init_append(m, &args);
    dbus_message_iter_append_basic(&args, DBUS_TYPE_STRING, &app);
    dbus_message_iter_append_basic(&args, DBUS_TYPE_UINT32, &replaces);
    dbus_message_iter_append_basic(&args, DBUS_TYPE_STRING, &icon);
    dbus_message_iter_append_basic(&args, DBUS_TYPE_STRING, &app);
    dbus_message_iter_append_basic(&args, DBUS_TYPE_STRING, &text);
    appendEmpty(&args, "s");
    appendEmpty(&args, "{sv}");
    dbus_message_iter_append_basic(&args, DBUS_TYPE_INT32, &expires);
    Error error;
    call(bus, m, kFailureNoteMs, error);
}

// `purlo --clean` runs from a key binding, where nobody reads its standard
// error: a failure is said in a notification as well.
int cleanOnce() {
    Error error;
    DBusConnection* bus = dbus_bus_get_private(DBUS_BUS_SESSION, &error.e);
    std::optional<Failure> failure;
    if (!bus) {
        failure = Failure{"there is no D-Bus session bus", error.text()};
    } else {
        dbus_connection_set_exit_on_disconnect(bus, false);
        failure = requestClean(bus);
    }
    if (failure) {
        std::fprintf(stderr, "purlo: %s (%s)\n", failure->reason.c_str(), failure->detail.c_str());
        if (bus) notify(bus, "The clipboard was not cleaned: " + failure->reason);
    }
    if (bus) {
        dbus_connection_close(bus);
        dbus_connection_unref(bus);
    }
    return failure ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("purlo %s\n", PURLO_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--clean") == 0) return cleanOnce();
    }
    // The tray program lives in libexec beside this one's bin (installed, and
    // in the build tree alike). It is told this program's path in argv[0]:
    // that is the command a desktop's binding runs.
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe", ec);
    const std::filesystem::path tray = self.parent_path().parent_path() / "libexec/purlo/purlo";
    std::string argv0 = ec ? std::string(argv[0]) : self.string();
    argv[0] = argv0.data();
    execv(tray.c_str(), argv);
    std::fprintf(stderr, "purlo: cannot start the tray program %s: %s\n", tray.c_str(), std::strerror(errno));
    return 127;
}
