#!/usr/bin/env python3
# selection-owner.py SELECTION
# Prints the window that owns the X selection SELECTION (e.g. CLIPBOARD,
# _NET_SYSTEM_TRAY_S0) as 0x..., or 0x0 when it has no owner; exit 1 when the
# display cannot be opened. Through the libX11 that xclip and xdotool bring,
# so the test world needs nothing more for this one question.
import ctypes
import sys

x = ctypes.CDLL("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XInternAtom.argtypes, x.XInternAtom.restype = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int], ctypes.c_ulong
x.XGetSelectionOwner.argtypes, x.XGetSelectionOwner.restype = [ctypes.c_void_p, ctypes.c_ulong], ctypes.c_ulong
display = x.XOpenDisplay(None)
if len(sys.argv) != 2 or not display:
    sys.exit("usage: selection-owner.py SELECTION, with a DISPLAY to reach")
print(hex(x.XGetSelectionOwner(display, x.XInternAtom(display, sys.argv[1].encode(), 0))))
