// libsecret, under QtKeychain, talks over GLib's shared session-bus connection, which ends the
// process with SIGTERM when the bus closes. The keyring tests stop their private bus while the
// process lives on, so that connection is told to let the bus go quietly. Kept apart from the
// tests because GLib's headers and Qt's keywords do not mix.
#include <gio/gio.h>

bool KeepRunningWhenSessionBusCloses()
{
    GError* error = nullptr;
    // The reference is kept for the process's life: dropping it would let GLib make a new
    // shared connection, with the default, for the next user.
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (bus == nullptr) {
        g_clear_error(&error);
        return false;
    }
    g_dbus_connection_set_exit_on_close(bus, FALSE);
    return true;
}
