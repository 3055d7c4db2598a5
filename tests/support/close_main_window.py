#!/usr/bin/python3
"""Starts a program on the X display, waits until it shows a top-level window
whose title starts with a given text, sends that window the close request a
window manager sends (WM_DELETE_WINDOW) and waits for the program to end.

    close_main_window.py TITLE PROGRAM [ARGS...]

Prints "shown: <title>" once the window is viewable; exits with the program's
exit code, 124 when no such window came within the deadline, 125 when the
program did not end after the close request.
"""
import subprocess
import sys
import time

from Xlib import X, display, protocol

DEADLINE = 120


def titled_windows(d):
    for window in d.screen().root.query_tree().children:
        try:
            if window.get_attributes().map_state != X.IsViewable:
                continue
            name = window.get_full_text_property(d.intern_atom("_NET_WM_NAME")) or window.get_wm_name()
        except Exception:
            continue
        if name:
            yield window, str(name)


def main():
    title, command = sys.argv[1], sys.argv[2:]
    program = subprocess.Popen(command)
    d = display.Display()
    found = None
    end = time.monotonic() + DEADLINE
    while found is None and time.monotonic() < end and program.poll() is None:
        for window, name in titled_windows(d):
            if name.startswith(title):
                found = (window, name)
                break
        else:
            time.sleep(0.2)
    if found is None:
        print("no window titled %r (program %s)" % (title, "running" if program.poll() is None else "ended"))
        if program.poll() is None:
            program.kill()
        return 124
    window, name = found
    print("shown: " + name, flush=True)
    protocols = d.intern_atom("WM_PROTOCOLS")
    delete = d.intern_atom("WM_DELETE_WINDOW")
    event = protocol.event.ClientMessage(window=window, client_type=protocols,
                                         data=(32, [delete, X.CurrentTime, 0, 0, 0]))
    window.send_event(event, event_mask=X.NoEventMask)
    d.flush()
    try:
        return program.wait(timeout=DEADLINE)
    except subprocess.TimeoutExpired:
        program.kill()
        return 125


if __name__ == "__main__":
    sys.exit(main())
