#!/usr/bin/python3
# Both readers as a screen reader meets them: through the real AT-SPI bus, each program started
# in its port 3 sandbox on a pseudo-terminal that this test fills with the sensor's frames at the
# line's pace. Checks the names, the range and the port's state in words, the value on demand,
# that the boxes, written on every pass, tell the bus at a human pace, and that what the user
# types or selects in them is heard at once, as in any text box. Run under Xvfb and a private
# D-Bus session: tests/apps/CMakeLists.txt starts it so.
#
#   tst_accessibility.py SANDBOX QUORIN QUORIND

import os
import random
import re
import subprocess
import sys
import termios
import threading
import time
import tty

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

PATIENCE = int(os.environ.get("QUORIN_PATIENCE", "120"))  # seconds: bounds a hang only
LINE_BYTES_PER_SECOND = 960  # 9600 8N1
failures = []


def check(condition, what):
    print(("PASS   " if condition else "FAIL!  ") + what, flush=True)
    if not condition:
        failures.append(what)


def wait_for(predicate, what):
    """Runs the bus's events until predicate() holds; a failure after PATIENCE seconds."""
    context = GLib.MainContext.default()
    end = time.monotonic() + PATIENCE
    while time.monotonic() < end:
        while context.pending():
            context.iteration(False)
        result = predicate()
        if result:
            return result
        time.sleep(0.02)
    raise AssertionError("timed out waiting for " + what)


class Line:
    """The sensor's line: sync and code pairs written into a pty's master at the line's pace."""

    def __init__(self):
        self.master, slave = os.openpty()
        tty.setraw(slave)
        attributes = termios.tcgetattr(slave)
        attributes[4] = attributes[5] = termios.B9600
        termios.tcsetattr(slave, termios.TCSANOW, attributes)
        self.slave_path = os.ttyname(slave)
        self.slave = slave  # held open, so that the master never sees a hang-up
        self.written = 0
        self.stop = False
        self.thread = threading.Thread(target=self.run, daemon=True)

    def run(self):
        noise = random.Random(25)
        start = time.monotonic()
        while not self.stop:
            due = int((time.monotonic() - start) * LINE_BYTES_PER_SECOND) // 2 * 2
            frames = bytes(b for _ in range((due - self.written) // 2)
                           for b in (255, noise.randint(1, 254)))
            if frames:
                os.write(self.master, frames)
                self.written += len(frames)
            time.sleep(0.01)


def find(root, predicate):
    if predicate(root):
        return root
    for i in range(root.get_child_count()):
        found = find(root.get_child_at_index(i), predicate)
        if found:
            return found
    return None


def named(name, role=None):
    return lambda a: a.get_name() == name and (role is None or a.get_role() == role)


def text_of(accessible):
    """The whole text, in one request: a box may change between two."""
    return Atspi.Text.get_text(accessible, 0, -1)


def press(button):
    Atspi.Action.do_action(button, 0)


def window_of(name):
    """The window of the application `name` on the bus, or None."""
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app and app.get_name() == name:
            window = find(app, named("Lettura sensore"))
            if window:
                return window
    return None


def enable_accessibility():
    """What a desktop does when a screen reader starts: the bus tells applications to take part."""
    subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus",
                    "/org/a11y/bus", "org.freedesktop.DBus.Properties.Set",
                    "string:org.a11y.Status", "string:IsEnabled", "variant:boolean:true"],
                   check=True, stdout=subprocess.DEVNULL)
    Atspi.init()


def start_reader(sandbox, program):
    """The program in its sandbox on a new line, and its window on the bus."""
    name = os.path.basename(program)
    line = Line()
    reader = subprocess.Popen([sandbox, line.slave_path, program])
    try:
        frame = wait_for(lambda: window_of(name), name + "'s window on the bus")
    except AssertionError:
        stop_reader(line, reader)
        raise
    return line, reader, frame


def stop_reader(line, reader):
    line.stop = True
    if reader.poll() is None:
        reader.kill()
        reader.wait()


def click(accessible):
    """A click in the middle of a control, as a user gives a box the keyboard."""
    extents = Atspi.Component.get_extents(accessible, Atspi.CoordType.SCREEN)
    subprocess.run(["xdotool", "mousemove", "--sync", str(extents.x + extents.width // 2),
                    str(extents.y + extents.height // 2), "click", "1"], check=True)


def editable(accessible):
    states = accessible.get_state_set()
    return states.contains(Atspi.StateType.EDITABLE) and not states.contains(Atspi.StateType.READ_ONLY)


def run_reader(sandbox, program, didactic):
    name = os.path.basename(program)
    line, reader, frame = start_reader(sandbox, program)
    try:
        value_box = find(frame, lambda a: a.get_name() == "Valore sensore"
                         and a.get_role() != Atspi.Role.LABEL)
        lamp = find(frame, lambda a: a.get_role() == Atspi.Role.NOTIFICATION)
        buttons = {n: find(frame, named(n, Atspi.Role.PUSH_BUTTON))
                   for n in ("Blocca la ricezione", "Ricevi i dati", "Esci")}
        echo_box = find(frame, lambda a: a.get_name() == "Dati ricevuti"
                        and a.get_role() != Atspi.Role.LABEL) if didactic else None
        boxes = {"value": value_box, "echo": echo_box} if didactic else {"value": value_box}

        check(value_box is not None and lamp is not None and all(buttons.values())
              and (echo_box is not None) == didactic,
              f"{name}: the value box, the lamp, the buttons and the echo box have names")
        check(all(editable(box) for box in boxes.values()),
              f"{name}: the boxes are editable, as on screen")
        check(value_box.get_description() == "vuoto, scala da 0 a 100" and text_of(value_box) == "",
              f"{name}: an empty value box says so, and the range")
        check(lamp.get_name() == "Porta aperta" and lamp.get_description() == "Stato della porta",
              f"{name}: the lamp says that the port is open")

        events = {}
        inserted = {}
        selections = {}

        def count(event):
            for key, accessible in list(boxes.items()) + [("lamp", lamp)]:
                if event.source == accessible:
                    events[key] = events.get(key, 0) + 1
                    if event.type == "object:text-changed:insert":
                        inserted.setdefault(key, []).append(event.any_data)
                    if event.type == "object:text-selection-changed":
                        selections[key] = selections.get(key, 0) + 1

        listener = Atspi.EventListener.new(count)
        for kind in ("object:text-changed", "object:text-caret-moved",
                     "object:text-selection-changed", "object:state-changed:showing"):
            listener.register(kind)

        # Counted over what the line brought, not over time: the values received are at most
        # one a read, and a read takes at least ten bytes (Quorin) or a hundred (Quorind).
        read_size, frames = (100, 12000) if didactic else (10, 4000)
        line.thread.start()
        press(buttons["Ricevi i dati"])
        wait_for(lambda: line.written >= frames and all(events.get(box, 0) for box in boxes),
                 f"{frames} bytes on the line, and each box told")
        seen, written = dict(events), line.written
        values = written // read_size
        # A box told on every pass sends two or three events a value; told at a human pace, a
        # few a second whatever the values. One event for every four values (Quorin) or for
        # every value (Quorind, whose reads are ten times longer) holds, with room, for the
        # second even on a loaded machine, and never for the first.
        allowed = values // 4 if not didactic else values
        for box in boxes:
            check(0 < seen[box] <= allowed, f"{name}: {seen[box]} {box} box events for at most "
                  f"{values} values (allowed {allowed})")

        shown = text_of(value_box)
        check(re.fullmatch(r"\d{1,3},\d", shown) is not None and 0 <= float(shown.replace(",", ".")) <= 100
              and value_box.get_name() == "Valore sensore"
              and value_box.get_description() == "scala da 0 a 100",
              f"{name}: the value on demand: {value_box.get_name()}, {shown}, "
              f"{value_box.get_description()}")
        if didactic:
            codes = text_of(echo_box).split(" ")
            check(len(codes) == 8 and all(0 <= int(code) <= 255 for code in codes)
                  and "255" in codes and echo_box.get_description()
                  == "Byte ricevuti, dal più recente; qui i codici degli ultimi 8",
                  f"{name}: the echo box is described and reads the codes of its newest 8 bytes "
                  f"only: {' '.join(codes)}")
            # A character typed into the box while it receives, heard as it is typed; the box
            # then reads its code among the newest.
            click(echo_box)
            subprocess.run(["xdotool", "type", "Q"], check=True)
            check(wait_for(lambda: "Q" in inserted.get("echo", []), "the typed Q heard"),
                  f"{name}: a character typed into the echo box is heard at once")

        showings = events.get("lamp", 0)
        press(buttons["Blocca la ricezione"])
        check(wait_for(lambda: lamp.get_name() == "Porta chiusa" and events.get("lamp", 0) > showings,
                       "the lamp to say the port is closed, shown anew"),
              f"{name}: after Blocca la ricezione the lamp says Porta chiusa, shown anew")

        # Stopped, the value stays: the user selects it, as to copy it, and hears the selection.
        click(value_box)
        subprocess.run(["xdotool", "key", "ctrl+a"], check=True)
        value = text_of(value_box)
        check(wait_for(lambda: selections.get("value", 0)
                       and Atspi.Text.get_selection(value_box, 0).end_offset == len(value),
                       "the value selected")
              and Atspi.Text.get_selection(value_box, 0).start_offset == 0,
              f"{name}: the value selected, {value}, is heard as the selection")
    finally:
        stop_reader(line, reader)


def main():
    sandbox, quorin, quorind = sys.argv[1:4]
    enable_accessibility()
    for program, didactic in ((quorin, False), (quorind, True)):
        try:
            run_reader(sandbox, program, didactic)
        except AssertionError as error:
            check(False, f"{os.path.basename(program)}: {error}")
    print(f"{len(failures)} failed", flush=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
