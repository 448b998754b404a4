"""Dragging inside the project tree with the real pointer (xdotool, through
the X server, so the tree's mouse grab is what sees the moves and the
release): x.bmp goes from Day1 onto Day2, the disk and the tree say so, and
clicks reach the program afterwards. Leaves drag.png in SHOT_DIR."""
import os
import subprocess
import time

import a11y

SHOTS = os.environ.get("SHOT_DIR", ".")
TRIP = os.environ["TRIP_DIR"]


def xdo(*args):
    subprocess.run(["xdotool", *map(str, args)], check=False)


def expand(item):
    # A click selects the folder, Right opens it, as a keyboard user does.
    a11y.click(item)
    a11y.key("Right")


def selected(acc):
    try:
        return acc.getState().contains(a11y.pyatspi.STATE_SELECTED)
    except Exception:
        return False


def main():
    app = a11y.app()
    if not app:
        a11y.done(False, "FAIL: the program is not on the accessibility bus")
    a11y.click(a11y.need(app, 'FAIL: no "Project" tab', roles=("page tab",), name_is="Project"))
    tree = a11y.need(app, "FAIL: the project tree is not showing", name_is="Project",
                     roles=("tree", "tree table"), showing=True)
    root = a11y.need(tree, 'FAIL: the project "Trip" did not reopen',
                     roles=a11y.ITEM, name_is="Trip", showing=True)
    expand(root)
    day1 = a11y.need(tree, "FAIL: no Day1", roles=a11y.ITEM, name_is="Day1", showing=True)
    expand(day1)
    item = a11y.need(tree, "FAIL: no x.bmp in Day1", roles=a11y.ITEM, name_is="x.bmp",
                     showing=True)
    day2 = a11y.need(tree, "FAIL: no Day2", roles=a11y.ITEM, name_is="Day2", showing=True)

    # Press, wait past the tree's 80 ms click time, move in steps, release.
    (x0, y0), (x1, y1) = a11y.center(item), a11y.center(day2)
    xdo("mousemove", "--sync", x0, y0)
    xdo("mousedown", 1)
    time.sleep(0.3)
    steps = 12
    for i in range(1, steps + 1):
        xdo("mousemove", "--sync", x0 + (x1 - x0) * i // steps, y0 + (y1 - y0) * i // steps)
        time.sleep(0.05)
    time.sleep(0.3)
    xdo("mouseup", 1)

    moved = a11y.wait(lambda: os.path.exists(os.path.join(TRIP, "Day2", "x.bmp")) and
                      not os.path.exists(os.path.join(TRIP, "Day1", "x.bmp")), timeout=10)
    a11y.shot(os.path.join(SHOTS, "drag.png"))
    if not moved:
        xdo("key", "Escape")
        a11y.done(False, "FAIL: the drop did not move x.bmp into Day2 (Day1: %r, Day2: %r)" %
                  (os.listdir(os.path.join(TRIP, "Day1")), os.listdir(os.path.join(TRIP, "Day2"))))

    # The tree shows the file once, selected, in the rows below Day2 (the
    # last folder), so no longer in Day1.
    def shown():
        items = a11y.find_all(tree, roles=a11y.ITEM, name_is="x.bmp", showing=True)
        return items[0] if len(items) == 1 else None
    item = a11y.wait(shown, timeout=5)
    if not item or not a11y.wait(lambda: selected(item), timeout=5):
        a11y.done(False, "FAIL: the tree does not show x.bmp once, selected, after the drop")
    day2 = a11y.need(tree, "FAIL: no Day2 after the drop", roles=a11y.ITEM, name_is="Day2",
                     showing=True)
    if a11y.center(item)[1] <= a11y.center(day2)[1]:
        a11y.done(False, "FAIL: the tree shows x.bmp above Day2")

    # Clicks reach the program again: one selects Day1, one switches tabs.
    day1 = a11y.need(tree, "FAIL: no Day1 after the drop", roles=a11y.ITEM, name_is="Day1",
                     showing=True)
    a11y.click(day1)
    if not a11y.wait(lambda: selected(day1), timeout=5):
        a11y.done(False, "FAIL: a click after the drag does not select Day1")
    a11y.click(a11y.need(app, 'FAIL: no "Desktop" tab', roles=("page tab",), name_is="Desktop"))
    a11y.need(app, "FAIL: a click after the drag does not switch to the Desktop tab",
              name_is="Desktop folders", showing=True, timeout=5)
    a11y.done(True, "PASS: dragged x.bmp onto Day2; clicks work afterwards")


if __name__ == "__main__":
    main()
