#!/usr/bin/python3
# Gives a headless mutter's seat a keyboard: one key through its
# remote-desktop interface (which the caller has waited for). wl-copy and
# wl-paste refuse a seat without one. Prints "ready" once the key is in, then
# keeps the session (and with it the keyboard) until it is killed.
# With a FIFO's path as $1, it then reads lines of evdev key codes from it and
# presses each line as a chord (down in order, up in reverse), on the same
# keyboard: a new one may still be on its way to the seat when its first
# keys arrive. "move DX DY" moves the pointer, "click" clicks its left button.
import sys

from gi.repository import Gio, GLib

RD = "org.gnome.Mutter.RemoteDesktop"
bus = Gio.bus_get_sync(Gio.BusType.SESSION)


def call(path, iface, method, args=None):
    return bus.call_sync(RD, path, RD + iface, method, args, None, 0, -1, None)


session = call("/org/gnome/Mutter/RemoteDesktop", "", "CreateSession").unpack()[0]
call(session, ".Session", "Start")


def chord(keys):
    for code, pressed in [(k, True) for k in keys] + [(k, False) for k in reversed(keys)]:
        call(session, ".Session", "NotifyKeyboardKeycode", GLib.Variant("(ub)", (code, pressed)))


chord([42])
print("ready", flush=True)
if len(sys.argv) < 2:
    GLib.MainLoop().run()
while True:
    with open(sys.argv[1]) as fifo:
        for line in fifo:
            words = line.split()
            if words[0] == "move":  # the pointer, by DX DY pixels
                call(session, ".Session", "NotifyPointerMotionRelative",
                     GLib.Variant("(dd)", (float(words[1]), float(words[2]))))
            elif words[0] == "click":  # the left button
                for pressed in (True, False):
                    call(session, ".Session", "NotifyPointerButton", GLib.Variant("(ib)", (0x110, pressed)))
            else:
                chord([int(k) for k in words])
            print("done", line.strip(), flush=True)
