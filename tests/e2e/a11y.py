"""Helpers that drive the running program the way assistive technology does
(AT-SPI): find widgets by role and accessible name, click them with xdotool,
read their texts. Run with Debian's /usr/bin/python3 (python3-pyatspi) while
the program runs with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 on a session bus.
"""
import os, subprocess, time
import pyatspi

APP_NAME = "Vistrel"


def wait(pred, timeout=10.0, step=0.2):
    end = time.time() + timeout
    while time.time() < end:
        try:
            v = pred()
        except Exception:
            v = None
        if v:
            return v
        time.sleep(step)
    return None


def app(timeout=20):
    def find():
        desk = pyatspi.Registry.getDesktop(0)
        for i in range(desk.childCount):
            a = desk.getChildAtIndex(i)
            if a is not None and a.name == APP_NAME:
                return a
    return wait(find, timeout)


def walk(acc, depth=0, maxdepth=40):
    if acc is None or depth > maxdepth:
        return
    yield acc
    try:
        n = acc.childCount
    except Exception:
        return
    if n > 5000:
        n = 5000
    for i in range(n):
        try:
            c = acc.getChildAtIndex(i)
        except Exception:
            continue
        yield from walk(c, depth + 1, maxdepth)


def role(acc):
    try:
        return acc.getRoleName()
    except Exception:
        return ""


def name(acc):
    try:
        return acc.name or ""
    except Exception:
        return ""


def find_all(root, roles=None, name_is=None, name_has=None, showing=False):
    out = []
    for a in walk(root):
        if roles and role(a) not in roles:
            continue
        n = name(a)
        if name_is is not None and n != name_is:
            continue
        if name_has is not None and name_has.lower() not in n.lower():
            continue
        if showing and not is_showing(a):
            continue
        out.append(a)
    return out


def find(root, timeout=10, **kw):
    r = wait(lambda: find_all(root, **kw), timeout)
    return r[0] if r else None


def need(root, failure, timeout=10, **kw):
    """find(), or the flow fails with the line `failure`."""
    found = find(root, timeout, **kw)
    if not found:
        done(False, failure)
    return found


def is_showing(acc):
    try:
        return acc.getState().contains(pyatspi.STATE_SHOWING)
    except Exception:
        return False


def center(acc):
    e = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return e.x + e.width // 2, e.y + e.height // 2


def click(acc, double=False, button=1):
    x, y = center(acc)
    args = ["xdotool", "mousemove", "--sync", str(x), str(y), "click"]
    if double:
        args += ["--repeat", "2", "--delay", "80"]
    subprocess.run(args + [str(button)], check=False)
    time.sleep(0.3)


def action(acc, *names):
    """Run the first of the named actions the object offers; True when one ran."""
    try:
        ai = acc.queryAction()
    except Exception:
        return False
    have = {ai.getName(i).lower(): i for i in range(ai.nActions)}
    for n in names:
        if n.lower() in have:
            ai.doAction(have[n.lower()])
            time.sleep(0.3)
            return True
    return False


def key(*keys):
    subprocess.run(["xdotool", "key", "--clearmodifiers", *keys], check=False)
    time.sleep(0.3)


def type_text(text):
    subprocess.run(["xdotool", "type", "--delay", "30", text], check=False)
    time.sleep(0.2)


def shot(path):
    subprocess.run(["import", "-window", "root", path], check=False)


def frames(root):
    """Names of the image windows inside the main window's MDI area."""
    out = []
    for pane in find_all(root, roles=("layered pane",)):
        for i in range(pane.childCount):
            c = pane.getChildAtIndex(i)
            if role(c) in ("frame", "internal frame", "window"):
                out.append((name(c), is_showing(c)))
    return out


def menu_path(root, *labels):
    """Choose a menu item by its labels (mnemonics ignored), from the menu bar down."""
    cur = find(root, roles=("menu bar",))
    for i, lab in enumerate(labels):
        want = lab.replace("&", "").lower()
        hit = None
        for a in walk(cur, maxdepth=3):
            if role(a) in ("menu item", "menu", "check menu item", "radio menu item") and name(a).replace("&", "").split("\t")[0].lower().startswith(want):
                hit = a
                break
        if hit is None:
            return False
        if not action(hit, "click", "press", "activate", "toggle"):
            return False
        cur = hit
    return True


def done(ok, line):
    print(line)
    raise SystemExit(0 if ok else 1)


ITEM = ("tree item", "table cell", "list item")


def open_folder(a, *path):
    """Desktop tab, then expand and select each folder of path in turn; True when the last is selected."""
    tab = find(a, roles=("page tab",), name_is="Desktop")
    if tab:
        click(tab)
    for i, part in enumerate(path):
        it = find(a, roles=ITEM, name_is=part, showing=True, timeout=8)
        if not it:
            return False
        if i < len(path) - 1:
            if not action(it, "expand", "toggle"):
                click(it, double=True)
        else:
            click(it)
    return True


def showing_frames(a):
    return [f[0] for f in frames(a) if f[1]]
