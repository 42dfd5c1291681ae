#!/usr/bin/env python3
# claim-later.py TEXT
# A copy made on an earlier key press: takes a server timestamp, prints
# "ready", and on a line from standard input claims CLIPBOARD with that older
# time, prints "claimed" and serves TEXT (UTF8_STRING) until killed.
# Through the libX11 that xclip brings, as selection-owner.py does.
import ctypes
import struct
import sys

x = ctypes.CDLL("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
for name, args in {"XInternAtom": [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int],
                   "XCreateSimpleWindow": [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_int] * 4 + [ctypes.c_ulong] * 3,
                   "XDefaultRootWindow": [ctypes.c_void_p]}.items():
    getattr(x, name).argtypes, getattr(x, name).restype = args, ctypes.c_ulong
x.XChangeProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_int,
                              ctypes.c_int, ctypes.c_char_p, ctypes.c_int]
x.XSetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_ulong]
x.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
x.XFlush.argtypes = [ctypes.c_void_p]
x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]

d = x.XOpenDisplay(None)
if len(sys.argv) != 2 or not d:
    sys.exit("usage: claim-later.py TEXT, with a DISPLAY to reach")
text = sys.argv[1].encode()
atom = lambda n: x.XInternAtom(d, n.encode(), 0)
clipboard, targets, utf8 = atom("CLIPBOARD"), atom("TARGETS"), atom("UTF8_STRING")
w = x.XCreateSimpleWindow(d, x.XDefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0)
x.XSelectInput(d, w, 1 << 22)  # PropertyChangeMask
event = (ctypes.c_long * 24)()
raw = ctypes.cast(event, ctypes.POINTER(ctypes.c_char * 192)).contents
x.XChangeProperty(d, w, atom("CLAIM_LATER_TIME"), 31, 8, 2, b"", 0)  # appends nothing: the server stamps it
while True:
    x.XNextEvent(d, event)
    if struct.unpack_from("i", raw, 0)[0] == 28:  # PropertyNotify
        when = struct.unpack_from("L", raw, 48)[0]
        break
print("ready", flush=True)
sys.stdin.readline()
x.XSetSelectionOwner(d, clipboard, w, when)
x.XSync(d, 0)  # the server has taken the claim before anyone hears of it
print("claimed", flush=True)
while True:
    x.XNextEvent(d, event)
    if struct.unpack_from("i", raw, 0)[0] != 30:  # SelectionRequest
        continue
    requestor, selection, target, prop, t = struct.unpack_from("5L", raw, 40)
    if target == targets:
        data = struct.pack("2L", targets, utf8)
        x.XChangeProperty(d, requestor, prop, 4, 32, 0, data, 2)  # XA_ATOM
    elif target == utf8:
        x.XChangeProperty(d, requestor, prop, utf8, 8, 0, text, len(text))
    else:
        prop = 0
    reply = (ctypes.c_long * 24)()
    struct.pack_into("i", reply, 0, 31)  # SelectionNotify
    struct.pack_into("5L", reply, 32, requestor, selection, target, prop, t)
    x.XSendEvent(d, requestor, 0, 0, reply)
    x.XFlush(d)
