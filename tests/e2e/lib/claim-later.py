#!/usr/bin/python3
# claim-later.py TEXT
# A copy made on an earlier key press: takes a server timestamp, prints
# "ready", and on a line from standard input claims CLIPBOARD with that older
# time, prints "claimed" and serves TEXT (UTF8_STRING) until killed.
import sys

from Xlib import X, Xatom, display
from Xlib.protocol import event

if len(sys.argv) != 2:
    sys.exit("usage: claim-later.py TEXT, with a DISPLAY to reach")
d = display.Display()
text = sys.argv[1].encode()
clipboard, targets, utf8 = (d.intern_atom(n) for n in ("CLIPBOARD", "TARGETS", "UTF8_STRING"))
w = d.screen().root.create_window(0, 0, 1, 1, 0, X.CopyFromParent, event_mask=X.PropertyChangeMask)
# Appending nothing still makes the server say when it did.
w.change_property(d.intern_atom("CLAIM_LATER_TIME"), Xatom.STRING, 8, b"", X.PropModeAppend)
while (e := d.next_event()).type != X.PropertyNotify:
    pass
when = e.time
print("ready", flush=True)
sys.stdin.readline()
w.set_selection_owner(clipboard, when)
d.sync()  # the server has taken the claim before anyone hears of it
print("claimed", flush=True)
while True:
    e = d.next_event()
    if e.type != X.SelectionRequest:
        continue
    prop = e.property
    if e.target == targets:
        e.requestor.change_property(prop, Xatom.ATOM, 32, [targets, utf8])
    elif e.target == utf8:
        e.requestor.change_property(prop, utf8, 8, text)
    else:
        prop = X.NONE
    e.requestor.send_event(event.SelectionNotify(time=e.time, requestor=e.requestor, selection=e.selection,
                                                 target=e.target, property=prop))
    d.flush()
