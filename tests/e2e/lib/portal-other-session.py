#!/usr/bin/python3
# Another program's shortcut session on the portal, with a shortcut of the
# same id as Purlo's on Meta+Shift+O. Prints "bound CODE" once the portal has
# answered the binding, and "activated ID" for each press of its own session.
# As Purlo, it binds through BindShortcuts only when the session does not
# come with the shortcut already (Plasma 5.27 binds CreateSession's list;
# xdg-desktop-portal 1.20 drops that list).
import os

from gi.repository import Gio, GLib

bus, v = Gio.bus_get_sync(Gio.BusType.SESSION), GLib.Variant
portal = "org.freedesktop.portal.Desktop"
session = "/org/freedesktop/portal/desktop/session/%s/other" % bus.get_unique_name()[1:].replace(".", "_")


def heard(bus, sender, path, iface, name, args):
    if name == "Response":
        code, results = args
        if code == 0 and "session_handle" in results and "shortcuts" not in results:
            bind = (session, [shortcut], "", {"handle_token": v("s", "other_bind")})
            bus.call(portal, "/org/freedesktop/portal/desktop", "org.freedesktop.portal.GlobalShortcuts",
                     "BindShortcuts", v("(oa(sa{sv})sa{sv})", bind), None, 0, -1, None, None)
        else:
            print("bound", code, flush=True)
    elif args[0] == session:
        print("activated", args[1], flush=True)


for iface, name in (("Request", "Response"), ("GlobalShortcuts", "Activated")):
    bus.signal_subscribe(None, "org.freedesktop.portal." + iface, name, None, None, 0, heard)
# xdg-desktop-portal 1.22 binds nothing for a program without an app id,
# which an unsandboxed one gives with its desktop entry; older portals have
# no registry, which is fine.
apps = os.path.join(os.environ["XDG_DATA_HOME"], "applications")
os.makedirs(apps, exist_ok=True)
with open(os.path.join(apps, "purlo.test.Other.desktop"), "w") as entry:
    entry.write("[Desktop Entry]\nType=Application\nName=Other\nExec=python3\n")
try:
    bus.call_sync("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
                  "org.freedesktop.host.portal.Registry", "Register", v("(sa{sv})", ("purlo.test.Other", {})),
                  None, 0, -1, None)
except GLib.Error:
    pass
shortcut = ("clean", {"description": v("s", "Other"), "preferred_trigger": v("s", "LOGO+SHIFT+o")})
options = {"handle_token": v("s", "other"), "session_handle_token": v("s", "other"),
           "shortcuts": v("a(sa{sv})", [shortcut])}
bus.call_sync(portal, "/org/freedesktop/portal/desktop",
              "org.freedesktop.portal.GlobalShortcuts", "CreateSession", v("(a{sv})", (options,)), None, 0, -1, None)
GLib.MainLoop().run()
