"""Panning in the real program, driven through AT-SPI: the picture moves
down slowly when "Starts AutoScrolling" is pressed and stands still at once
after "Stops AutoScrolling"; then panning is started again for the quit."""
import sys
import time

import pyatspi


def wait(pred, timeout=10.0, step=0.05):
    end = time.time() + timeout
    while time.time() < end:
        try:
            value = pred()
        except Exception:
            value = None
        if value:
            return value
        time.sleep(step)
    return None


def walk(acc, depth=0):
    if acc is None or depth > 40:
        return
    yield acc
    for i in range(min(acc.childCount, 5000)):
        yield from walk(acc.getChildAtIndex(i), depth + 1)


def find(root, role, name=None):
    for acc in walk(root):
        if acc.getRoleName() == role and (name is None or acc.name == name):
            return acc
    return None


def press(root, name):
    button = wait(lambda: find(root, "push button", name))
    if not button:
        fail(f'no button "{name}"')
    actions = button.queryAction()
    for i in range(actions.nActions):
        if actions.getName(i).lower() == "press":
            actions.doAction(i)
            return
    fail(f'"{name}" cannot be pressed')


def fail(line):
    print("FAIL: " + line)
    sys.exit(1)


def main():
    def the_app():
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            acc = desktop.getChildAtIndex(i)
            if acc is not None and acc.name == "Vistrel":
                return acc
    app = wait(the_app, 20) or fail("the program is not on the accessibility bus")
    # The vertical bar of the image window is the one with the larger range:
    # the picture is 3000 x 4000.
    def vertical():
        bars = [b for b in walk(app) if b.getRoleName() == "scroll bar"]
        bars = [b for b in bars if b.queryValue().maximumValue > 0]
        return max(bars, key=lambda b: b.queryValue().maximumValue) if bars else None
    bar = wait(vertical) or fail("no image window with scroll bars")
    value = lambda: bar.queryValue().currentValue

    press(app, "Starts AutoScrolling")
    start = time.time()
    if not wait(lambda: value() >= 30):
        fail(f"the picture did not move down (at {value()})")
    moved, elapsed = value(), time.time() - start
    # One step a frame at most, 120 a second.
    if moved > 120 * elapsed + 5:
        fail(f"{moved} pixels in {elapsed:.2f} s is faster than one step a frame")
    print(f"moved {moved:.0f} pixels in {elapsed:.2f} s")

    press(app, "Stops AutoScrolling")
    time.sleep(0.15)
    stopped = value()
    time.sleep(0.5)
    if value() != stopped:
        fail(f"the picture went on moving after the stop ({stopped} -> {value()})")

    press(app, "Starts AutoScrolling")
    if not wait(lambda: value() > stopped + 5):
        fail("panning did not start again")
    print("PASS: panning moves and stops; it runs again for the quit")


main()
