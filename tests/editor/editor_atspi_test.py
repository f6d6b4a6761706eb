"""The editor in the real program on the test X server, driven as a user
drives it and found as a screen reader finds it: record an X client, build a
GIF, open Subtitle, add a subtitle and type its text, delete frame 2, close
with Escape, build again. The second GIF lasts exactly one frame less and
carries the subtitle's text; a screenshot of the editor is kept.

Usage: editor_atspi_test.py FRAMELOOP WORK_FOLDER [ARTIFACTS]
Exits 0 when every check holds, 1 when one fails, 77 (skipped) when the
AT-SPI pieces are not installed.
"""
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from atspi_driver import (check, children, click, find, record,  # noqa: E402
                          run_with_program, session_main, start_card_client, top_bar,
                          wait_for, wait_for_gif)

EDITOR = "Insert subtitles or Delete unwanted frames"
TEXT = "Frameloop e2e"
# Ten frames a second, full size, medium quality: plain colours stay plain.
INI = "[Param]\nRate1=10\nRate2=10\nRatio=100\nFile=0\nTopWnd=1\n"
FRAME_CENTISECONDS = 10
ARTIFACTS = sys.argv[3] if len(sys.argv) > 3 else None


def run_tool(*args):
    return subprocess.run(list(args), check=True, capture_output=True, text=True).stdout


def extents(node):
    import pyatspi
    return node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)


def wait_for_build(work, previous=None):
    """The next GIF built into the temporary folder (not `previous`), copied
    aside, as (its temporary path, the copy)."""
    path = wait_for_gif(os.path.join(work, "tmp"), previous)
    if not path:
        return None, None
    kept = os.path.join(work, os.path.basename(path) + ".kept")
    shutil.copy(path, kept)
    return path, kept


def duration(gif):
    """The GIF's playing time in hundredths, as ImageMagick reads it."""
    return sum(int(t) for t in run_tool("identify", "-format", "%T\n", gif).split())


def yellow_share(gif, crop):
    """The share of clearly yellow pixels of the first frame inside `crop`."""
    value = run_tool("convert", f"{gif}[0]", "-crop", crop, "+repage", "-fx",
                     "r>0.7&&g>0.7&&b<0.4", "-format", "%[fx:mean]", "info:")
    return float(value)


def editor_window(app):
    for window in children(app):
        if window.name == EDITOR:
            return window
    return None


def checks(app, work):
    bar = top_bar(app)
    if not check(bar is not None, "no top bar"):
        return
    capture = find(bar, "push button", "Capture")
    subtitle = find(bar, "push button", "Subtitle")
    gif = find(bar, "push button", "GIF")
    if not check(capture and subtitle and gif, "the top bar lacks Capture, Subtitle or GIF"):
        return
    box = extents(bar)
    client = start_card_client(work, box.x + 5 + 20, box.y + box.height + 20)
    try:
        record(capture, 2.5)
        click(gif)
        first_path, before = wait_for_build(work)
        if not check(before, "no GIF was built from the recording"):
            return

        click(subtitle)
        editor = wait_for(lambda: editor_window(app), 20)
        if not check(editor is not None, "Subtitle did not open the editor"):
            return
        add = find(editor, "push button", "Add Subtitle")
        if not check(add is not None, "no Add Subtitle button"):
            return
        click(add)
        time.sleep(0.5)
        # The text cell is open with its text selected: typing replaces it.
        subprocess.run(["xdotool", "type", "--delay", "30", TEXT], check=True)
        subprocess.run(["xdotool", "key", "Return"], check=True)
        check(wait_for(lambda: find(editor, "table cell", TEXT), 10),
              f"the subtitle list shows no '{TEXT}'")

        second = find(editor, "list item", "Frame 2")
        delete = find(editor, "push button", "Delete / Undo")
        if not check(second and delete, "no thumbnail 'Frame 2' or no Delete / Undo"):
            return
        click(second)
        click(delete)
        check(wait_for(lambda: find(editor, "list item", "Frame 2, deleted"), 10),
              "frame 2 was not deleted")
        if ARTIFACTS:
            os.makedirs(ARTIFACTS, exist_ok=True)
            e = extents(editor)
            shot = os.path.join(work, "screen.png")
            run_tool("import", "-window", "root", shot)
            run_tool("convert", shot, "-crop", f"{e.width}x{e.height}+{e.x}+{e.y}", "+repage",
                     os.path.join(ARTIFACTS, "editor_x11.png"))

        subprocess.run(["xdotool", "key", "Escape"], check=True)
        check(wait_for(lambda: editor_window(app) is None, 10), "Escape did not close the editor")
        time.sleep(0.5)
        click(gif)
        _, after = wait_for_build(work, first_path)
        if not check(after, "no GIF was built after editing"):
            return
        if ARTIFACTS:
            shutil.copy(before, os.path.join(ARTIFACTS, "before_editing.gif"))
            shutil.copy(after, os.path.join(ARTIFACTS, "after_editing.gif"))

        lost = duration(before) - duration(after)
        check(lost == FRAME_CENTISECONDS,
              f"the edited GIF lasts {lost} hundredths less, not one frame "
              f"({FRAME_CENTISECONDS})")
        # The subtitle sits above the bottom edge of the 300 x 250 frames, on
        # the black root window below the client.
        crop = "300x50+0+195"
        check(yellow_share(before, crop) < 0.001, "the first GIF already has yellow text")
        share = yellow_share(after, crop)
        check(share > 0.02, f"the subtitle's text is not in the GIF ({share:.4f} yellow)")
    finally:
        client.terminate()
        client.wait(10)


def run(program, work):
    # Every build replaces the last temporary GIF, so each is kept as it comes.
    run_with_program(program, work, lambda app: checks(app, work), INI)


if __name__ == "__main__":
    sys.exit(session_main(__file__, __doc__, run))
