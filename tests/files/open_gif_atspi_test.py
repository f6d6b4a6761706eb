"""Opening a GIF for editing in the real program on the test X server, as a
user does it: record an X client, build the GIF and keep it, start
`frameloop SAVED.gif`, delete frame 2 in the editor that opens, close it and
build again. The new GIF shows the same pictures without frame 2.

Usage: open_gif_atspi_test.py FRAMELOOP WORK_FOLDER [ARTIFACTS]
Exits 0 when every check holds, 1 when one fails, 77 (skipped) when the
AT-SPI pieces are not installed.
"""
import math
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from atspi_driver import (check, children, click, find, find_application,  # noqa: E402
                          record, run_with_program, session_main, start_card_client,
                          start_program, stop_program, top_bar, wait_for, wait_for_gif)

EDITOR = "Insert subtitles or Delete unwanted frames"
# Ten frames a second, full size, high quality (dithered), like most users.
INI = "[Param]\nRate1=10\nRate2=10\nRatio=100\nFile=1\nTopWnd=1\n"
FRAME_CENTISECONDS = 10
WIDTH, HEIGHT = 300, 250
ARTIFACTS = sys.argv[3] if len(sys.argv) > 3 else None


def run_tool(*args, binary=False):
    return subprocess.run(list(args), check=True, capture_output=True,
                          text=not binary).stdout


def timeline(gif):
    """The GIF as ImageMagick plays it: one RGB picture per tenth of a second."""
    delays = [int(t) for t in run_tool("identify", "-format", "%T\n", gif).split()]
    raw = run_tool("convert", gif, "-coalesce", "-depth", "8", "rgb:-", binary=True)
    size = WIDTH * HEIGHT * 3
    pictures = [raw[i * size:(i + 1) * size] for i in range(len(delays))]
    out = []
    for picture, delay in zip(pictures, delays):
        out += [picture] * max(1, round(delay / FRAME_CENTISECONDS))
    return pictures, out


def psnr(a, b):
    mse = sum((x - y) ** 2 for x, y in zip(a, b)) / len(a)
    return 99.0 if mse == 0 else 10 * math.log10(255 * 255 / mse)


def record_and_build(app, work):
    """Records the client with the running program and returns its GIF."""
    bar = top_bar(app)
    if not check(bar is not None, "no top bar"):
        return None
    capture = find(bar, "push button", "Capture")
    gif = find(bar, "push button", "GIF")
    import pyatspi
    box = bar.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    client = start_card_client(work, box.x + 25, box.y + box.height + 20)
    try:
        record(capture, 2.0)
        click(gif)
        built = wait_for_gif(os.path.join(work, "tmp"))
    finally:
        client.terminate()
        client.wait(10)
    if not check(built, "no GIF was built from the recording"):
        return None
    saved = os.path.join(work, "saved.gif")
    shutil.copy(built, saved)
    return saved


def edit_saved(program, work, saved):
    """`frameloop SAVED.gif`: deletes frame 2 in the editor, builds again."""
    second = os.path.join(work, "second")
    os.makedirs(second, exist_ok=True)
    process = start_program(program, second, INI, [saved])
    try:
        app = find_application(process.pid)
        if not check(app is not None, "frameloop SAVED.gif did not come up"):
            return None
        editor = wait_for(lambda: next((w for w in children(app) if w.name == EDITOR), None), 60)
        if not check(editor is not None, "the editor did not open on the GIF"):
            return None
        frame2 = find(editor, "list item", "Frame 2")
        delete = find(editor, "push button", "Delete / Undo")
        if not check(frame2 and delete, "no thumbnail 'Frame 2' or no Delete / Undo"):
            return None
        click(frame2)
        click(delete)
        check(wait_for(lambda: find(editor, "list item", "Frame 2, deleted"), 10),
              "frame 2 was not deleted")
        subprocess.run(["xdotool", "key", "Escape"], check=True)
        check(wait_for(lambda: next((w for w in children(app) if w.name == EDITOR), None) is None,
                       10), "Escape did not close the editor")
        bar = next((w for w in children(app) if w.name == "Frameloop"), None)
        gif = find(bar, "push button", "GIF") if bar else None
        if not check(gif is not None, "no GIF button in the second program"):
            return None
        time.sleep(0.5)
        click(gif)
        rebuilt = wait_for_gif(os.path.join(second, "tmp"))
        if rebuilt:
            kept = os.path.join(work, "rebuilt.gif")
            shutil.copy(rebuilt, kept)
            return kept
        check(False, "no GIF was built after editing")
        return None
    finally:
        stop_program(process)


def checks(app, program, work):
    saved = record_and_build(app, work)
    if not saved:
        return
    rebuilt = edit_saved(program, work, saved)
    if not rebuilt:
        return
    if ARTIFACTS:
        os.makedirs(ARTIFACTS, exist_ok=True)
        shutil.copy(saved, os.path.join(ARTIFACTS, "saved.gif"))
        shutil.copy(rebuilt, os.path.join(ARTIFACTS, "rebuilt.gif"))
    # Opening made one frame of every image of the saved GIF; the rebuilt GIF
    # plays them at the GIF rate without the second.
    images, _ = timeline(saved)
    expected = images[:1] + images[2:]
    _, played = timeline(rebuilt)
    if not check(len(played) == len(expected),
                 f"the rebuilt GIF plays {len(played)} frames, not {len(expected)}"):
        return
    worst = min(psnr(a, b) for a, b in zip(expected, played))
    print(f"{len(expected)} frames, lowest PSNR {worst:.1f} dB", flush=True)
    check(worst >= 30.0, f"a rebuilt frame differs from the saved one: {worst:.1f} dB")


def run(program, work):
    run_with_program(program, work, lambda app: checks(app, program, work), INI)


if __name__ == "__main__":
    sys.exit(session_main(__file__, __doc__, run))
