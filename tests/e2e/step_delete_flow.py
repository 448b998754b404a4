"""Stepping and deleting in the real program, checked on disk: Space onto a
damaged picture names it and keeps the window, the next Space goes past it;
Delete in the picture trashes it and the window shows the next picture;
Delete in the list trashes the list's selection; a copy from the list pastes
into a folder of the folder tree."""
import os
import subprocess
import time

import a11y

PICS = os.environ["PICS"]
TRASH = os.path.join(os.environ["HOME"], ".local/share/Trash/files")


def on_disk(*names):
    return all(os.path.exists(os.path.join(PICS, n)) for n in names)


def box(text_has):
    """The message box whose text holds text_has, or None."""
    for label in a11y.find_all(a11y.app(), roles=("label",), name_has=text_has, showing=True):
        return label
    return None


def answer(text_has, button, failure):
    if not a11y.wait(lambda: box(text_has), timeout=10):
        a11y.done(False, failure)
    push = a11y.need(a11y.app(), "FAIL: no %s button in the box" % button,
                     roles=("push button",), name_is=button, showing=True)
    a11y.action(push, "press", "click") or a11y.click(push)
    if not a11y.wait(lambda: not box(text_has), timeout=5):
        a11y.done(False, "FAIL: the box about %r stayed" % text_has)
    focus_main()


def focus_main():
    """Without a window manager nothing gives the main window the keyboard
    back, after a message box least of all."""
    subprocess.run("xdotool search --onlyvisible --name '^Vistrel$' windowfocus --sync",
                   shell=True, check=False)
    time.sleep(0.3)


def shown(app, name):
    return a11y.wait(lambda: a11y.showing_frames(app) == [name], timeout=10)


def main():
    app = a11y.app()
    if not app:
        a11y.done(False, "FAIL: the program is not on the accessibility bus")
    if not a11y.open_folder(app, "Home", "Pictures"):
        a11y.done(False, "FAIL: cannot list the Pictures folder")
    files = a11y.need(app, "FAIL: no file list", name_is="File List", showing=True)
    cell = a11y.need(files, "FAIL: 1.bmp is not listed", roles=a11y.ITEM, name_is="1.bmp",
                     showing=True)
    a11y.click(cell, double=True)
    if not shown(app, "1.bmp"):
        a11y.done(False, "FAIL: 1.bmp did not open; frames %r" % a11y.frames(app))

    focus_main()
    # In the picture: Space onto the damaged file.
    view = a11y.need(app, "FAIL: no image view", name_is="1.bmp", showing=True)
    a11y.click(view)
    a11y.key("space")
    answer("2bad.bmp", "OK", "FAIL: no message naming 2bad.bmp")
    if not shown(app, "1.bmp"):
        a11y.done(False, "FAIL: the window left 1.bmp: %r" % a11y.frames(app))
    a11y.key("space")
    if not shown(app, "3.bmp"):
        a11y.done(False, "FAIL: the next Space did not step past 2bad.bmp: %r" % a11y.frames(app))

    # Delete in the picture: 3.bmp goes to the trash, 4.bmp shows.
    a11y.key("Delete")
    answer("3.bmp", "Yes", "FAIL: no question before trashing 3.bmp")
    if not shown(app, "4.bmp"):
        a11y.done(False, "FAIL: after the delete the window shows %r" % a11y.frames(app))
    if on_disk("3.bmp") or not os.path.exists(os.path.join(TRASH, "3.bmp")):
        a11y.done(False, "FAIL: 3.bmp is not in the trash")

    # Delete in the list: the list's selection (notes.txt) goes, the picture stays.
    note = a11y.need(files, "FAIL: notes.txt is not listed", roles=a11y.ITEM,
                     name_is="notes.txt", showing=True)
    a11y.click(note)
    a11y.key("Delete")
    answer("notes.txt", "Yes", "FAIL: no question before trashing notes.txt")
    if on_disk("notes.txt") or not on_disk("1.bmp", "2bad.bmp", "4.bmp"):
        a11y.done(False, "FAIL: the list's delete left %r" % sorted(os.listdir(PICS)))
    if a11y.showing_frames(app) != ["4.bmp"]:
        a11y.done(False, "FAIL: the list's delete changed the window: %r" % a11y.frames(app))

    # Copy in the list, paste into the folder tree's Dest.
    one = a11y.need(files, "FAIL: 1.bmp is not listed", roles=a11y.ITEM, name_is="1.bmp",
                    showing=True)
    a11y.click(one, button=3)
    # The menu's own window takes the mnemonic of "&Copy".
    time.sleep(0.5)
    a11y.key("c")
    dest = a11y.need(app, "FAIL: no Dest folder in the tree", roles=a11y.ITEM, name_is="Dest",
                     showing=True)
    a11y.click(dest)
    a11y.key("ctrl+v")
    if not a11y.wait(lambda: on_disk("Dest/1.bmp"), timeout=10):
        a11y.done(False, "FAIL: the paste did not copy 1.bmp into Dest")
    if not on_disk("1.bmp"):
        a11y.done(False, "FAIL: the copy took 1.bmp away")
    time.sleep(0.5)
    a11y.shot(os.path.join(os.environ.get("SHOT_DIR", "."), "step_delete.png"))
    a11y.done(True, "PASS: stepped past 2bad.bmp, deleted 3.bmp and notes.txt, pasted 1.bmp")


if __name__ == "__main__":
    main()
