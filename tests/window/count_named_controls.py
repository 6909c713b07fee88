#!/usr/bin/python3
"""Counts the controls of Kalvora's windows that a screen reader hears with a name, over the accessibility bus.

Runs the window program in an X display of its own with Qt's accessibility bridge on, walks the main window's
accessibility tree (AT-SPI) and then that of each dialog the main window opens (COM Port Settings, Parameters, Read
Memory: their buttons pressed through the bus, message boxes answered OK, each dialog closed with its OK button), and
prints, per window, the operable controls (buttons, edits, drop-downs and their edit fields, lists, spins, progress
bars and the lamps, visible ones only) and those among them that a screen reader can call by a name, as Orca does: by
the labels a control is labelled by, else by its name. A drop-down without a label whose name is one of its own
entries counts as unnamed: it says what it shows, not what it is. Each drop-down is listed with what Orca reads as its
entry (its edit field's text, else its name), so that both its label and its value show.

The program runs from a copy of its directory, so that what its dialogs save stays there. Debian packages: xvfb,
dbus-x11, at-spi2-core, gir1.2-atspi-2.0 and python3-gi (the system's Python). The command:

    xvfb-run -a dbus-run-session -- /usr/bin/python3 tests/window/count_named_controls.py build/bin/kalvora

It prints a line "named N of M" at the end and leaves with 0; a program that never shows its window leaves it with 1.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

R = Atspi.Role
OPERABLE = {
    R.PUSH_BUTTON, R.TEXT, R.ENTRY, R.COMBO_BOX, R.LIST, R.LIST_BOX, R.TABLE, R.TREE, R.TREE_TABLE,
    R.SPIN_BUTTON, R.PROGRESS_BAR, R.IMAGE,
}
DIALOGS = [  # the main window's button, the dialog's title
    ("Port Settings", "COM Port Settings"),
    ("Configure Parameters", "Parameters Dialog"),
    ("Read Memory", "Read Memory Dialog"),
]
MAIN_TITLE = "Kalvora v1.4"
WAIT_SECONDS = 20


def children(accessible):
    try:
        count = accessible.get_child_count()
    except GLib.Error:
        return []
    found = []
    for i in range(count):
        try:
            child = accessible.get_child_at_index(i)
        except GLib.Error:
            continue
        if child is not None:
            found.append(child)
    return found


def visible(accessible):
    return accessible.get_state_set().contains(Atspi.StateType.VISIBLE)


def entries(combo):
    """The texts of a drop-down's entries: the items of its list."""
    texts = set()
    for part in children(combo):
        if part.get_role() in (R.LIST, R.LIST_BOX, R.MENU):
            texts.update(item.get_name() for item in children(part))
    return texts


def labels(accessible):
    """The names of the objects the accessible is labelled by, joined."""
    names = []
    for relation in accessible.get_relation_set():
        if relation.get_relation_type() == Atspi.RelationType.LABELLED_BY:
            names += [relation.get_target(i).get_name() or "" for i in range(relation.get_n_targets())]
    return " ".join(name.strip() for name in names if name.strip())


def whole_text(accessible):
    text = accessible.get_text_iface() if "Text" in accessible.get_interfaces() else None
    return text.get_text(0, text.get_character_count()) if text else None


def edit_field(combo):
    return next((part for part in children(combo) if part.get_role() in (R.TEXT, R.ENTRY)), None)


def operable_controls(window, dropdowns):
    """(role, name, named) of every visible operable control under the window; their parts are theirs, but for a
    drop-down's edit field. Each drop-down goes into dropdowns as (what it is called, its entry)."""
    found = []
    for child in children(window):
        role = child.get_role()
        if role not in OPERABLE:
            found.extend(operable_controls(child, dropdowns))
            continue
        if not visible(child):
            continue
        name = (child.get_name() or "").strip()
        label = labels(child)
        named = bool(label) or (bool(name) and not (role == R.COMBO_BOX and name in entries(child)))
        found.append((child.get_role_name(), label or name, named))
        if role == R.COMBO_BOX:
            field = edit_field(child)
            dropdowns.append((label or name, whole_text(field) if field is not None else child.get_name() or ""))
            if field is not None:
                field_name = (field.get_name() or "").strip()
                found.append(("edit field of a drop-down", field_name, bool(field_name)))
    return found


def find(accessible, role, name):
    for child in children(accessible):
        if child.get_role() == role and child.get_name() == name:
            return child
        deeper = find(child, role, name)
        if deeper is not None:
            return deeper
    return None


def windows(application):
    return {window.get_name(): window for window in children(application)}


def wait_for(condition, seconds=WAIT_SECONDS):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        result = condition()
        if result:
            return result
        time.sleep(0.2)
    return None


def press(button):
    """Presses a button through the bus. A button that opens a modal window answers only when that window closes:
    the call's time-out is no failure."""
    try:
        Atspi.Action.do_action(button, 0)
    except GLib.Error:
        pass


def answer_message_boxes(application, program_name):
    for title, window in windows(application).items():
        if title == program_name:
            ok = find(window, R.PUSH_BUTTON, "OK")
            if ok is not None:
                press(ok)


def report(title, window):
    dropdowns = []
    controls = operable_controls(window, dropdowns)
    named = sum(1 for _, _, is_named in controls if is_named)
    print(f"{title}: named {named} of {len(controls)}")
    for role, name, is_named in controls:
        if not is_named:
            print(f"    unnamed {role}" + (f' (says "{name}")' if name else ""))
    for label, entry in dropdowns:
        print(f'    drop-down "{label}" holds "{entry}"')
    return named, len(controls)


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    program = os.path.abspath(sys.argv[1])
    program_name = os.path.basename(program)
    Atspi.set_timeout(800, 15000)
    desktop = Atspi.get_desktop(0)  # starts the accessibility bus before the program looks for it

    with tempfile.TemporaryDirectory() as directory:
        for name in os.listdir(os.path.dirname(program)):
            source = os.path.join(os.path.dirname(program), name)
            if name == program_name or name.endswith(".ini"):
                shutil.copy2(source, directory)
        environment = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1",
                           QT_QPA_PLATFORM="xcb")
        process = subprocess.Popen([os.path.join(directory, program_name)], cwd=directory, env=environment,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            application = wait_for(lambda: next((a for a in children(desktop) if a.get_name() == program_name), None))
            main_window = application and wait_for(lambda: windows(application).get(MAIN_TITLE))
            if main_window is None:
                print("the program's main window never showed on the accessibility bus")
                return 1
            totals = [report(MAIN_TITLE, main_window)]
            for button_name, title in DIALOGS:
                button = find(main_window, R.PUSH_BUTTON, button_name)
                if button is None:
                    print(f"{title}: no button {button_name!r} in the main window")
                    continue
                press(button)

                def opened():
                    answer_message_boxes(application, program_name)
                    return windows(application).get(title)

                dialog = wait_for(opened)
                if dialog is None:
                    print(f"{title}: never opened")
                    continue
                time.sleep(0.5)  # the dialog's initialisation fills its lists
                answer_message_boxes(application, program_name)
                totals.append(report(title, dialog))
                ok = find(dialog, R.PUSH_BUTTON, "OK")
                if ok is not None:
                    press(ok)
                wait_for(lambda: title not in windows(application))
            named = sum(n for n, _ in totals)
            total = sum(t for _, t in totals)
            print(f"all windows: named {named} of {total}")
            return 0
        finally:
            process.terminate()
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()


if __name__ == "__main__":
    sys.exit(main())
