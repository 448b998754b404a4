"""The slideshow in the real program, driven through AT-SPI: over a folder of
three pictures and a text file, in sequential order with a one-second delay,
the image windows follow each other in list order, the text file is skipped,
and "Stop Slideshow" ends the show with the last picture on screen. Then a
second show is started for the quit."""
import os
import time

import a11y

PICTURES = ["1-red.jpg", "2-green.png", "3-blue.bmp"]


PANE = None


def shown(app):
    """The image window on screen, or None. Only the client area's children
    are read, so that a poll is quick."""
    global PANE
    if PANE is None:
        panes = a11y.find_all(app, roles=("layered pane",))
        if not panes:
            return None
        PANE = panes[0]
    names = []
    for i in range(PANE.childCount):
        child = PANE.getChildAtIndex(i)
        if a11y.role(child) in ("frame", "internal frame", "window") and a11y.is_showing(child):
            names.append(a11y.name(child))
    names = [n for n in names if n]
    return names[-1] if len(names) == 1 else (tuple(names) or None)


def press(app, *names):
    for n in names:
        button = a11y.find(app, roles=("push button",), name_is=n, timeout=3)
        if button and a11y.action(button, "press", "click"):
            return True
    a11y.done(False, "FAIL: no button %r to press" % (names,))


def watch(app, seconds, until=None):
    """The windows on screen over time: [(seconds since the start, names)], one entry per change."""
    changes, start = [], time.time()
    while time.time() - start < seconds:
        now = shown(app)
        if now and (not changes or changes[-1][1] != now):
            changes.append((time.time() - start, now))
            if until and until(changes):
                break
        time.sleep(0.04)
    return changes


def main():
    app = a11y.app()
    if not app:
        a11y.done(False, "FAIL: the program is not on the accessibility bus")
    if not a11y.open_folder(app, "Home", "Slides"):
        a11y.done(False, "FAIL: cannot open the Slides folder in the Desktop tab")
    files = a11y.find(app, name_is="File List", showing=True)
    want = PICTURES + ["notes.txt"]
    listed = a11y.wait(
        lambda: [a11y.name(c) for c in a11y.find_all(files, roles=a11y.ITEM) if a11y.name(c) in want]
        == want, timeout=10)
    if not listed:
        a11y.done(False, "FAIL: the list does not show %r" % want)

    press(app, "Slideshow", "Slidesho&w")
    changes = watch(app, 12, until=lambda c: len(c) >= 5)
    names = [c[1] for c in changes]
    print("slides: " + ", ".join("%s at %.2f s" % (n, t) for t, n in changes))
    if any(not isinstance(n, str) for n in names):
        a11y.done(False, "FAIL: more than one image window on screen: %r" % names)
    if "notes.txt" in names:
        a11y.done(False, "FAIL: the text file was shown")
    expect = [PICTURES[i % 3] for i in range(len(names))]
    if len(names) < 5 or names != expect:
        a11y.done(False, "FAIL: slides %r, expected %r" % (names, expect))
    gaps = [b[0] - a[0] for a, b in zip(changes, changes[1:])]
    print("times on screen: " + ", ".join("%.2f s" % g for g in gaps))
    # AT-SPI is polled, so allow for its latency around the one-second delay.
    # The first slide may be up before the watch begins (pressing waits a
    # little afterwards), so its time is not judged.
    if any(not 0.8 <= g <= 1.35 for g in gaps[1:]):
        a11y.done(False, "FAIL: a slide stayed %r seconds, not one" % gaps)
    a11y.shot(os.path.join(os.environ.get("SHOT_DIR", "."), "slideshow.png"))

    press(app, "Stop Slideshow")
    last = shown(app)
    after = watch(app, 2.5)
    if len(after) > 2 or after[-1][1] != shown(app) or not shown(app):
        a11y.done(False, "FAIL: the show went on after the stop: %r" % after)
    print("stopped with %s on screen" % shown(app))

    press(app, "Slideshow", "Slidesho&w")
    if not watch(app, 5, until=lambda c: len(c) >= 2):
        a11y.done(False, "FAIL: the second show did not start")
    a11y.done(True, "PASS: %d slides in list order, the text file skipped, stop ended the show"
              % len(names) + (" (last: %s)" % last))


if __name__ == "__main__":
    main()
