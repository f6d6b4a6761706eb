"""The whole program as a screen reader sees it over the AT-SPI bus, on the
test X server: the top bar's buttons by name, the More menu's items while it
is open (opened with the mouse and with the button's Press action), Capture
turning into Stop, and the preview's button with its sharing menu.

Usage: atspi_tree_test.py FRAMELOOP WORK_FOLDER
Exits 0 when every check holds, 1 when one fails, 77 (skipped) when the
AT-SPI pieces are not installed.
"""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from atspi_driver import (check, check_open_menu, children, click, descendants,  # noqa: E402
                          find, menu_of, press, role, run_with_program, session_main, wait_for)

TOP_BAR_BUTTONS = ["Close", "Minimize", "Maximize", "Capture", "Subtitle", "GIF", "More"]
MORE_ITEMS = ["Change Capture Speed", "20 frame/sec", "Change GIF Speed", "Resize Image",
              "at 50% original size", "Image Quality", "High Quality but Large File",
              "Medium Quality but Small File", "On the Top", "Modify Existing GIF",
              "Why Created GIF is Blank", "About..."]
SAVE_ITEMS = ["Upload to Imgur", "Copy to Clipboard", "Save to Disk"]


def close_menu(app, name):
    subprocess.run(["xdotool", "key", "Escape"], check=True)
    check(wait_for(lambda: menu_of(app, name) is None, 10),
          f"the {name} menu stays in the tree after Escape")


def checks(app):
    bar = wait_for(lambda: next((w for w in children(app) if w.name == "Frameloop"), None), 10)
    if not check(bar is not None, "no top bar window named Frameloop"):
        return
    buttons = [b for b in descendants(bar) if role(b) == "push button"]
    check(sorted(b.name for b in buttons) == sorted(TOP_BAR_BUTTONS),
          f"top bar buttons: {[b.name for b in buttons]}")
    for button in buttons:
        check(button.description, f"the {button.name} button has no description")
    maximize = find(bar, "push button", "Maximize")
    check(maximize is not None and maximize.description.startswith("Inactive"),
          "the inert caption box does not say that it does nothing")
    # The edge windows show once the bar runs.
    edges = {"Capture frame left edge", "Capture frame right edge", "Capture frame status bar"}
    check(wait_for(lambda: edges <= {w.name for w in children(app)}, 10),
          f"edge windows missing: {edges - {w.name for w in children(app)}}")

    more = find(bar, "push button", "More")
    if check(more is not None, "no More button"):
        click(more)
        check_open_menu(app, "More", MORE_ITEMS)
        close_menu(app, "More")
        # The way a screen reader user opens it.
        press(more)
        check_open_menu(app, "More", MORE_ITEMS)
        close_menu(app, "More")

    capture = find(bar, "push button", "Capture")
    gif = find(bar, "push button", "GIF")
    if not check(capture is not None and gif is not None, "no Capture or GIF button"):
        return
    click(capture)
    check(wait_for(lambda: capture.name == "Stop", 10),
          f"while recording the Capture button is called {capture.name!r}")
    time.sleep(1.0)
    click(capture)
    check(wait_for(lambda: capture.name == "Capture", 10),
          f"after recording the button is called {capture.name!r}")
    time.sleep(0.5)
    click(gif)

    preview = wait_for(lambda: find(app, "dialog", "Preview"), 120, 0.5)
    if not check(preview is not None, "no Preview dialog after GIF"):
        return
    for button in (b for b in descendants(preview) if role(b) == "push button"):
        check(button.name and len(button.name) > 1, f"a preview button is {button.name!r}")
    # A label while empty, an animation while it plays.
    check(any(node.name == "GIF preview" for node in descendants(preview)),
          "the GIF view has no name")
    save = find(preview, "push button", "Save or Upload...")
    if check(save is not None, "no Save or Upload... button"):
        click(save)
        check_open_menu(app, "Save or Upload", SAVE_ITEMS)
        close_menu(app, "Save or Upload")


def run(program, work):
    run_with_program(program, work, checks)


if __name__ == "__main__":
    sys.exit(session_main(__file__, __doc__, run))
