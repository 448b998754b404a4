"""A new project through the wizard in the real program: New Project, the
name Trip on page 1, Next, Finish, the message that the project was made,
and the bold root "Trip" in the Project tab. Leaves wizard.png (page 2) and
project.png (the Project tab) in SHOT_DIR."""
import os

import a11y

SHOTS = os.environ.get("SHOT_DIR", ".")


def button(root, label):
    return a11y.find(root, roles=("push button",), name_has=label, showing=True)


def main():
    app = a11y.app()
    if not app:
        a11y.done(False, "FAIL: the program is not on the accessibility bus")
    tab = a11y.need(app, 'FAIL: no "Project" tab', roles=("page tab",), name_is="Project")
    a11y.click(tab)
    a11y.need(app, 'FAIL: the Project tab does not say "No Open Project"',
              roles=a11y.ITEM, name_is="No Open Project", showing=True)

    # New Project by its key, Ctrl+N (a press through the bus would wait for
    # the wizard to end).
    a11y.click(a11y.find(app, roles=a11y.ITEM, name_is="No Open Project", showing=True))
    a11y.key("ctrl+n")
    wizard = a11y.need(app, "FAIL: the wizard did not open",
                       roles=("dialog", "frame", "window"), name_is="Wizard", timeout=10)
    name = a11y.need(wizard, "FAIL: no name box on page 1",
                     roles=("text",), name_is="Name (will be projects main directory)")
    a11y.click(name)
    a11y.type_text("Trip")
    a11y.click(button(wizard, "Next"))
    path = a11y.need(wizard, "FAIL: page 2 does not show the project file's path",
                     roles=("label",), name_has="Trip/Trip.vrp", showing=True)
    a11y.shot(os.path.join(SHOTS, "wizard.png"))
    a11y.click(button(wizard, "Finish"))

    made = a11y.need(app, "FAIL: no message that the project was made",
                     name_has="Trip project directory successfully created.", timeout=10)
    ok = a11y.wait(lambda: button(app, "OK"), timeout=5)
    a11y.click(ok)

    root = a11y.need(app, 'FAIL: no root "Trip" in the Project tab',
                     roles=a11y.ITEM, name_is="Trip", showing=True, timeout=10)
    a11y.click(root)
    a11y.shot(os.path.join(SHOTS, "project.png"))
    a11y.done(True, "PASS: project Trip made; its root shows in the Project tab")


if __name__ == "__main__":
    main()
