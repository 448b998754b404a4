"""Browsing in the real program: the Desktop tab shows the home folder,
selecting Pictures lists its entries (folders first, in natural order), and a
double-click on a picture opens it in an image window."""
import os
import sys

import a11y


def main():
    app = a11y.app()
    if not app:
        a11y.done(False, "FAIL: the program is not on the accessibility bus")
    tab = a11y.need(app, 'FAIL: no "Desktop" tab', roles=("page tab",), name_is="Desktop")
    a11y.click(tab)
    tree = a11y.need(app, "FAIL: the folder tree is not showing",
                     name_is="Desktop folders", showing=True)
    a11y.need(tree, "FAIL: no Home folder in the tree",
              roles=a11y.ITEM, name_is="Home", showing=True)
    folder = a11y.need(tree, "FAIL: no Pictures folder under Home",
                       roles=a11y.ITEM, name_is="Pictures", showing=True)
    a11y.click(folder)

    files = a11y.need(app, "FAIL: no file list", name_is="File List", showing=True)
    want = ["Trip", "img2.bmp", "img10.bmp", "notes.txt", "red-blue.bmp"]

    def names():
        got = [a11y.name(c) for c in a11y.find_all(files, roles=a11y.ITEM)]
        return [n for n in got if n in want]

    listed = a11y.wait(lambda: names() if names() == want else None, timeout=10)
    if not listed:
        a11y.done(False, "FAIL: the list shows %r, not %r" % (names(), want))

    cell = a11y.find(files, roles=a11y.ITEM, name_is="red-blue.bmp", showing=True)
    a11y.click(cell, double=True)
    shown = a11y.wait(lambda: [f for f in a11y.showing_frames(app) if "red-blue" in f], timeout=10)
    if not shown:
        a11y.done(False, "FAIL: no image window opened; frames: %r" % a11y.frames(app))
    a11y.shot(os.path.join(os.environ.get("SHOT_DIR", "."), "browse.png"))
    a11y.done(True, "PASS: listed %r and opened %r" % (listed, shown))


if __name__ == "__main__":
    main()
