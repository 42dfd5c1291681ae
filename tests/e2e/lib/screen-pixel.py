#!/usr/bin/python3
# Prints the colour of one pixel of GNOME Shell's screen as "R G B":
#   screen-pixel.py X Y
# The shell takes screenshots only for the connection that owns
# org.gnome.Screenshot.
import os
import sys
import tempfile

import gi

gi.require_version("GdkPixbuf", "2.0")
from gi.repository import GdkPixbuf, Gio, GLib

x, y = int(sys.argv[1]), int(sys.argv[2])
bus = Gio.bus_get_sync(Gio.BusType.SESSION)
bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
              GLib.Variant("(su)", ("org.gnome.Screenshot", 0)), None, 0, -1, None)
with tempfile.TemporaryDirectory() as folder:
    path = os.path.join(folder, "screen.png")
    bus.call_sync("org.gnome.Shell.Screenshot", "/org/gnome/Shell/Screenshot", "org.gnome.Shell.Screenshot",
                  "Screenshot", GLib.Variant("(bbs)", (False, False, path)), None, 0, -1, None)
    image = GdkPixbuf.Pixbuf.new_from_file(path)
pixels, stride, n = image.get_pixels(), image.get_rowstride(), image.get_n_channels()
at = y * stride + x * n
print(pixels[at], pixels[at + 1], pixels[at + 2])
