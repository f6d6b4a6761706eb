"""What the AT-SPI checks of the running program share: the accessibility bus
in a private session, the program started on the test X server with its own
settings and folders, finding nodes by role and name, clicking them with
xdotool, and a main that skips (77) where the AT-SPI pieces are missing.
"""
import glob
import importlib.util
import os
import shutil
import subprocess
import sys
import tempfile
import time

SKIP = 77
SESSION_MARK = "FRAMELOOP_ATSPI_SESSION"
BUS_LAUNCHERS = ["/usr/libexec/at-spi-bus-launcher", "/usr/lib/at-spi2-core/at-spi-bus-launcher"]

failures = []

# Quick recordings at full size.
DEFAULT_INI = "[Param]\nRate1=10\nRate2=10\nRatio=100\nFile=1\nTopWnd=1\n"


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAILED:", message, flush=True)
    return condition


def wait_for(probe, timeout, interval=0.1):
    """The first true value of probe() within timeout seconds, or None."""
    end = time.monotonic() + timeout
    while True:
        try:
            value = probe()
        except Exception:  # the tree changes under our feet while windows come and go
            value = None
        if value:
            return value
        if time.monotonic() > end:
            return None
        time.sleep(interval)


def missing_pieces():
    missing = []
    # Looked up only: importing it here would reach for a bus that is not
    # there yet.
    if importlib.util.find_spec("pyatspi") is None:
        missing.append("python3-pyatspi (import pyatspi)")
    if not any(os.access(p, os.X_OK) for p in BUS_LAUNCHERS):
        missing.append("at-spi2-core (at-spi-bus-launcher)")
    if shutil.which("dbus-run-session") is None:
        missing.append("dbus (dbus-run-session)")
    return missing


# --- The tree ------------------------------------------------------------------


def children(node):
    out = []
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            out.append(child)
    return out


def descendants(node, depth=10):
    out = [node]
    if depth > 0:
        for child in children(node):
            out.extend(descendants(child, depth - 1))
    return out


def role(node):
    return node.getRoleName()


def find(root, role_name, name):
    for node in descendants(root):
        if role(node) == role_name and node.name == name:
            return node
    return None


def menu_of(app, name):
    """The open popup menu `name` among the application's children."""
    for child in children(app):
        if role(child) == "popup menu" and child.name == name:
            return child
    return None


def click(node):
    import pyatspi
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    subprocess.run(["xdotool", "mousemove", str(box.x + box.width // 2),
                    str(box.y + box.height // 2), "click", "1"], check=True)


def press(node):
    action = node.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    if not check("Press" in names, f"{node.name} has no Press action: {names}"):
        return
    action.doAction(names.index("Press"))


def check_open_menu(app, name, expected_items):
    menu = wait_for(lambda: menu_of(app, name), 10)
    if not check(menu is not None, f"no open '{name}' menu among the application's children"):
        return
    # The same tree upwards: the menu names the application as its parent.
    check(menu.parent is not None and menu.parent.getRoleName() == "application",
          f"the {name} menu's parent is not the application")
    index = menu.getIndexInParent()
    check(index >= 0 and app.getChildAtIndex(index).name == name,
          f"the {name} menu's index in the application is wrong: {index}")
    items = [node for node in descendants(menu) if role(node) == "menu item"]
    names = [item.name for item in items]
    for expected in expected_items:
        check(expected in names, f"'{expected}' is not among the {name} menu's items: {names}")
    for item in items:
        check(item.name is not None and len(item.name) > 1,
              f"a {name} menu item is called {item.name!r}")
    print(f"{name} menu: {len(items)} items", flush=True)


# --- The run ---------------------------------------------------------------------


def start_bus():
    """Starts the accessibility bus and returns (launcher, address)."""
    from gi.repository import Gio, GLib
    launcher = subprocess.Popen([next(p for p in BUS_LAUNCHERS if os.access(p, os.X_OK)),
                                 "--launch-immediately"])
    session = Gio.bus_get_sync(Gio.BusType.SESSION, None)

    def address():
        reply = session.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress",
                                  None, GLib.VariantType("(s)"), Gio.DBusCallFlags.NONE, 2000,
                                  None)
        return reply.unpack()[0]

    return launcher, wait_for(address, 20, 0.2)


def start_program(program, work, ini=DEFAULT_INI, args=()):
    for sub in ("appdata", "tmp", "cache", "config", "runtime"):
        os.makedirs(os.path.join(work, sub), exist_ok=True)
    os.chmod(os.path.join(work, "runtime"), 0o700)
    with open(os.path.join(work, "appdata", "didoro.ini"), "w") as settings:
        settings.write(ini)
    env = dict(os.environ)
    env.update({
        "APPDATA": os.path.join(work, "appdata"),
        "TMPDIR": os.path.join(work, "tmp"),
        "XDG_CACHE_HOME": os.path.join(work, "cache"),
        "XDG_CONFIG_HOME": os.path.join(work, "config"),
        "XDG_RUNTIME_DIR": os.path.join(work, "runtime"),
        "QT_QPA_PLATFORM": "xcb",
        # No desktop here switches assistive technology on.
        "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
    })
    # Given the address this way, Qt 6.4 never shows up on the bus; it finds
    # the same bus through the session bus.
    env.pop("AT_SPI_BUS_ADDRESS", None)
    return subprocess.Popen([program, *args], env=env)


def stop_program(process):
    """Asks the program to end, and makes it end if it does not."""
    process.terminate()
    try:
        process.wait(20)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def find_application(pid):
    import pyatspi

    def probe():
        desktop = pyatspi.Registry.getDesktop(0)
        for app in children(desktop):
            if app.get_process_id() == pid and app.childCount > 0:
                return app
        return None

    return wait_for(probe, 30, 0.25)


def run_with_program(program, work, body, ini=DEFAULT_INI, args=()):
    """Starts the accessibility bus and the program (with `args` on its command
    line), waits for the program on the bus and calls body(application); stops
    both afterwards."""
    launcher, bus = start_bus()
    if not check(bus, "the accessibility bus did not start"):
        launcher.terminate()
        return
    # Read by libatspi before it looks anywhere else (such as a stale root
    # window property of the shared X server).
    os.environ["AT_SPI_BUS_ADDRESS"] = bus
    import pyatspi  # noqa: F401  (connects to the bus above)

    app_process = start_program(program, work, ini, args)
    try:
        app = find_application(app_process.pid)
        if not check(app is not None, "Frameloop did not appear on the accessibility bus"):
            return
        check(app.name == "Frameloop", f"the application is called {app.name!r}")
        body(app)
    finally:
        stop_program(app_process)
        launcher.terminate()
        launcher.wait(10)


def session_main(script, doc, run):
    if len(sys.argv) < 3:
        print(doc)
        return 1
    program, work = sys.argv[1], sys.argv[2]
    missing = missing_pieces()
    if missing:
        print("SKIPPED: the AT-SPI check needs " + ", ".join(missing))
        return SKIP
    display = os.environ.get("FRAMELOOP_TEST_DISPLAY")
    if not display:
        print("FRAMELOOP_TEST_DISPLAY is not set: run the tests through scripts/test, which "
              "starts the test X server")
        return 1
    if shutil.which("xdotool") is None:
        print("xdotool is required (scripts/deps.sh installs it)")
        return 1

    if os.environ.get(SESSION_MARK) != "1":
        # A private session bus, so neither the program nor the check talks to
        # a desktop's accessibility bus.
        env = dict(os.environ, DISPLAY=display, **{SESSION_MARK: "1"})
        env.pop("AT_SPI_BUS_ADDRESS", None)
        return subprocess.run(["dbus-run-session", "--", sys.executable, script] + sys.argv[1:],
                              env=env).returncode

    os.makedirs(work, exist_ok=True)
    with tempfile.TemporaryDirectory(dir=work) as run_folder:
        run(program, run_folder)
    if failures:
        print(f"{len(failures)} check(s) failed")
        return 1
    print("all checks passed")
    return 0



# --- Recording with the running program ------------------------------------------


def start_card_client(work, x, y, title="cards"):
    """ImageMagick's `animate` playing six numbered colour cards (120 x 90) at
    (x, y) on the test X server, in a window titled `title`."""
    cards = []
    for i, colour in enumerate(["red", "lime", "blue", "magenta", "cyan", "orange"]):
        cards += ["(", "-size", "120x90", f"xc:{colour}", "-gravity", "center", "-font",
                  "DejaVu-Sans", "-pointsize", "48", "-fill", "black", "-annotate", "+0+0",
                  str(i), ")"]
    gif = os.path.join(work, f"{title}.gif")
    subprocess.run(["convert", "-delay", "15", *cards, gif], check=True, capture_output=True)
    client = subprocess.Popen(["animate", "-geometry", f"+{x}+{y}", gif])
    check(wait_for(lambda: subprocess.run(["xdotool", "search", "--onlyvisible", "--name", title],
                                          capture_output=True).returncode == 0, 20),
          "the animate client did not show")
    return client


def top_bar(app):
    return wait_for(lambda: next((w for w in children(app) if w.name == "Frameloop"), None), 10)


def record(capture, seconds):
    """Presses Capture, lets it record for `seconds`, presses it again."""
    click(capture)
    check(wait_for(lambda: capture.name == "Stop", 10), "the recording did not start")
    time.sleep(seconds)
    click(capture)
    check(wait_for(lambda: capture.name == "Capture", 10), "the recording did not stop")
    time.sleep(0.5)


def wait_for_gif(folder, previous=None):
    """The next GIF the program builds into `folder` (its temporary folder),
    other than `previous`, once it is complete; None when none comes."""
    def newest():
        gifs = [g for g in glob.glob(os.path.join(folder, "*.gif")) if g != previous]
        gifs = [g for g in gifs if os.path.getsize(g) > 0]
        return max(gifs, key=os.path.getmtime) if gifs else None
    path = wait_for(newest, 120, 0.5)
    if not path:
        return None
    # Complete once its size stops changing and it decodes.
    last = -1
    for _ in range(100):
        size = os.path.getsize(path)
        if size == last and subprocess.run(["identify", path], capture_output=True).returncode == 0:
            break
        last = size
        time.sleep(0.3)
    return path
