#!/usr/bin/python3
# selection-owner.py SELECTION
# Prints the window that owns the X selection SELECTION (e.g. CLIPBOARD,
# _NET_SYSTEM_TRAY_S0) as 0x..., or 0x0 when it has no owner; exit 1 when the
# display cannot be opened.
import sys

from Xlib import display

if len(sys.argv) != 2:
    sys.exit("usage: selection-owner.py SELECTION, with a DISPLAY to reach")
d = display.Display()
owner = d.get_selection_owner(d.intern_atom(sys.argv[1]))  # the number 0 when there is none
print(hex(getattr(owner, "id", owner)))
