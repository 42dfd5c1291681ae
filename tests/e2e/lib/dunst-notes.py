#!/usr/bin/env python3
# Reads `dunstctl history` on standard input and prints "summary|body" of
# every notification, oldest first, the body as it was sent.
import json
import sys

for n in reversed(json.load(sys.stdin)["data"][0]):
    print(n["summary"]["data"] + "|" + n["body"]["data"])
