#!/usr/bin/python3
# What accessibility costs a reader and what a screen reader receives from it: each program
# given, in its port 3 sandbox with the sensor's frames at the line's pace, is read through the
# AT-SPI bus of a private D-Bus session by a listener subscribed as a screen reader is, to the
# text changes and caret moves. Prints the reader's CPU and the events a second from the value
# box and the echo box. Figures only, nothing asserted.
#
#   bench/accessibility.sh PROGRAM...      e.g. build/apps/Quorin build/apps/Quorind

import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "apps"))
from tst_accessibility import (Atspi, enable_accessibility, find, named, press,  # noqa: E402
                               start_reader, stop_reader, wait_for)

WARM_UP = 2.0  # seconds past the start of the run, past Quorind's priming reads
WINDOW = 10.0


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def measure(sandbox, program):
    name = os.path.basename(program)
    line, reader, frame = start_reader(sandbox, program)
    try:
        boxes = {label: find(frame, lambda a, n=caption: a.get_name() == n
                             and a.get_role() != Atspi.Role.LABEL)
                 for label, caption in (("value box", "Valore sensore"), ("echo box", "Dati ricevuti"))}
        events = {label: 0 for label in boxes}
        characters = {label: 0 for label in boxes}
        counting = [False]

        def count(event):
            if not counting[0]:
                return
            for label, box in boxes.items():
                if box is not None and event.source == box:
                    events[label] += 1
                    if event.type.startswith("object:text-changed"):
                        characters[label] += event.detail2

        listener = Atspi.EventListener.new(count)
        for kind in ("object:text-changed", "object:text-caret-moved"):
            listener.register(kind)
        line.thread.start()
        press(find(frame, named("Ricevi i dati", Atspi.Role.PUSH_BUTTON)))
        start = time.monotonic()
        wait_for(lambda: time.monotonic() - start >= WARM_UP, "the warm-up")
        pid = frame.get_process_id()
        cpu, wall = cpu_seconds(pid), time.monotonic()
        counting[0] = True
        wait_for(lambda: time.monotonic() - wall >= WINDOW, "the window")
        counting[0] = False
        seconds = time.monotonic() - wall
        share = (cpu_seconds(pid) - cpu) / seconds
        print(f"{name:8} CPU at line pace, bus active    {share * 100:5.1f} % of a core ({seconds:.1f} s)")
        for label, box in boxes.items():
            if box is not None:
                print(f"{name:8} {label} events              {events[label] / seconds:7.1f} a second "
                      f"({characters[label] / seconds:.0f} characters a second changed)")
        press(find(frame, named("Esci", Atspi.Role.PUSH_BUTTON)))
        wait_for(lambda: reader.poll() is not None, name + " to end")
    finally:
        stop_reader(line, reader)


def main():
    sandbox = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools", "port3-sandbox.sh")
    enable_accessibility()
    for program in sys.argv[1:]:
        measure(sandbox, os.path.abspath(program))
    return 0


if __name__ == "__main__":
    sys.exit(main())
