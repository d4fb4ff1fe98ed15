#!/usr/bin/env python3
"""Shows a plug-in's web editor in Ardour's own plug-in window and checks its pixels.

Ardour 7 (Debian's, built on GTK 2) runs with its GUI under an Xvfb server this script starts,
with the dummy audio backend, in a private, empty HOME. A headless Ardour (ardour7-lua) first
makes a session with one MIDI track holding the plug-in; the session's window state then marks
the plug-in's window as open, so the GUI opens it when it loads the session, as it does for a
user who left it open. The checks:
  - the plug-in window shows the editor page, not Ardour's generic controls: each --colour
    RRGGBB:SHARE covers at least that share of the window (the page's own colours, some of which
    it paints only once the controller has answered it);
  - the web view runs in the helper process, a child of Ardour, and Ardour's own process maps no
    GTK 3 or WebKit;
  - closing the session (Session > Close, clicked with xdotool) closes the plug-in window: the
    helper ends and Ardour carries on.
A screenshot of the whole screen is written to SCREENSHOT.

Usage: ardour_editor_check.py BUNDLE PLUGIN_NAME SCREENSHOT --colour RRGGBB:SHARE [...]
Needs the Debian packages ardour, xvfb, xdotool and imagemagick."""
import argparse
import collections
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SCANNER = "/usr/lib/ardour7/ardour-vst3-scanner"
LIBRARY_DIR = "/usr/lib/ardour7"
LUA_SESSION = "/usr/bin/ardour7-lua"
ARDOUR = "/usr/bin/ardour"
XVFB = "/usr/bin/Xvfb"
XDOTOOL = "/usr/bin/xdotool"
IMPORT = "/usr/bin/import"

HELPER_NAME = "norvo-webview-h"   # as the kernel shortens norvo-webview-host
WINDOW_TIMEOUT = 150
PAGE_TIMEOUT = 60
CLOSE_TIMEOUT = 30
# Where the plug-in window opens (clear of the main window's menu bar), and where Ardour 7's
# Session menu and its Close item are.
PLUGIN_WINDOW_AT = (600, 400)
SESSION_MENU_AT = (29, 11)
CLOSE_ITEM_AT = (43, 87)

# The dummy backend, started without asking, and no first-run wizard.
RC_CONFIG = """<?xml version="1.0" encoding="UTF-8"?>
<Ardour>
  <Config>
    <Option name="try-autostart-engine" value="1"/>
    <Option name="hide-dummy-backend" value="0"/>
  </Config>
  <Extra>
    <AudioMIDISetup>
      <EngineStates>
        <State backend="None (Dummy)" driver="Normal Speed" device="Silence" input-device=""
               output-device="" sample-rate="48000" buffer-size="1024" n-periods="0"
               input-latency="0" output-latency="0" lm-input="" lm-output="" active="1"
               use-buffered-io="0" midi-option="1 in, 1 out, Silence" lru="1">
          <MIDIDevices/>
        </State>
      </EngineStates>
    </AudioMIDISetup>
  </Extra>
</Ardour>
"""

SESSION_SCRIPT = r"""
AudioEngine:set_backend("None (Dummy)", "", "")
AudioEngine:set_sample_rate(48000)
AudioEngine:set_buffer_size(1024)
assert(AudioEngine:start(false) == 0, "the dummy audio engine did not start")
local s = create_session(SESSION_DIR, "editor", 48000)
assert(s, "no session")
local midi = ARDOUR.ChanCount(ARDOUR.DataType("midi"), 1)
local track = s:new_midi_track(midi, midi, true, ARDOUR.PluginInfo(), nil, nil, 1, "midi",
                               ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true):front()
local plugin = ARDOUR.LuaAPI.new_plugin(s, PLUGIN_NAME, ARDOUR.PluginType.VST3, "")
assert(not plugin:isnil(), "Ardour could not create the plug-in")
assert(track:add_processor_by_index(plugin, 0, nil, true) == 0)
print("ids " .. track:to_stateful():id():to_s() .. " " .. plugin:to_stateful():id():to_s())
s:save_state("", false, false, false, false, false)
close_session()
print("done")
"""


def fail(message, log=None):
    if log:
        print(log)
    print("ardour editor: FAILED: " + message)
    sys.exit(1)


def start_xvfb():
    read_end, write_end = os.pipe()
    server = subprocess.Popen([XVFB, "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
                               "-nolisten", "tcp", "-noreset"], pass_fds=(write_end,),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    number = b""
    with os.fdopen(read_end, "rb") as pipe:
        while not number.endswith(b"\n"):
            byte = pipe.read(1)
            if not byte:
                break
            number += byte
    if not number.strip():
        server.kill()
        fail("Xvfb reported no display")
    return server, ":" + number.decode().strip()


def window_ids(env, pattern):
    found = subprocess.run([XDOTOOL, "search", "--onlyvisible", "--name", pattern], env=env,
                           capture_output=True, text=True)
    return [line for line in found.stdout.split() if line.isdigit()]


def window_pixels(env, window):
    """(width, height, RGB bytes) of what the screen shows where the window is. Read from the
    whole screen: a capture of the window itself leaves out children of another depth, and the
    editor's window (made by the helper's GTK) may have one."""
    geometry = subprocess.run([XDOTOOL, "getwindowgeometry", "--shell", window], env=env,
                              capture_output=True, text=True).stdout
    values = dict(line.split("=", 1) for line in geometry.split() if "=" in line)
    try:
        x, y = int(values["X"]), int(values["Y"])
        width, height = int(values["WIDTH"]), int(values["HEIGHT"])
    except (KeyError, ValueError):
        return 0, 0, b""
    shot = subprocess.run([IMPORT, "-window", "root", "-depth", "8", "ppm:-"], env=env, capture_output=True)
    data = shot.stdout
    match = re.match(rb"P6\s+(\d+)\s+(\d+)\s+(\d+)\s", data)
    if shot.returncode != 0 or not match:
        return 0, 0, b""
    screen_width, screen_height = int(match.group(1)), int(match.group(2))
    screen = data[match.end():]
    x0, y0 = max(x, 0), max(y, 0)
    x1, y1 = min(x + width, screen_width), min(y + height, screen_height)
    rows = [screen[(row * screen_width + x0) * 3:(row * screen_width + x1) * 3]
            for row in range(y0, y1)]
    return max(x1 - x0, 0), max(y1 - y0, 0), b"".join(rows)


def colour_shares(pixels, colours):
    """The share of the pixels that has each colour."""
    count = len(pixels) // 3
    if count == 0:
        return [0.0] * len(colours)
    counts = collections.Counter(pixels[i:i + 3] for i in range(0, count * 3, 3))
    return [counts[bytes(colour)] / count for colour in colours]


def children(parent, name):
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry, encoding="utf-8", errors="replace") as f:
                stat = f.read()
        except OSError:
            continue
        command = stat[stat.find("(") + 1:stat.rfind(")")]
        fields = stat[stat.rfind(")") + 2:].split()
        if int(fields[1]) == parent and command == name and fields[0] != "Z":
            found.append(int(entry))
    return found


def process_alive(pid):
    """False once the process has ended (gone, or a zombie its new parent has not collected)."""
    try:
        with open("/proc/%d/stat" % pid, encoding="utf-8", errors="replace") as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


def maps_of(pid):
    try:
        with open("/proc/%d/maps" % pid, encoding="utf-8", errors="replace") as f:
            return f.read()
    except OSError:
        return ""


def colour_share(text):
    colour, _, share = text.partition(":")
    if not re.fullmatch(r"[0-9a-fA-F]{6}", colour):
        raise argparse.ArgumentTypeError("not RRGGBB:SHARE: " + text)
    return tuple(bytes.fromhex(colour)), float(share)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("bundle")
    parser.add_argument("plugin_name")
    parser.add_argument("screenshot")
    parser.add_argument("--colour", type=colour_share, action="append", required=True)
    args = parser.parse_args()
    bundle = os.path.abspath(args.bundle)
    plugin_name = args.plugin_name
    screenshot = os.path.abspath(args.screenshot)
    expected = args.colour
    for tool in (SCANNER, LUA_SESSION, ARDOUR, XVFB, XDOTOOL, IMPORT):
        if not os.access(tool, os.X_OK):
            fail(tool + " is missing (scripts/install-test-deps installs it)")

    with tempfile.TemporaryDirectory(prefix="norvo-ardour-editor-") as home:
        env = dict(os.environ)
        env.update(HOME=home, XDG_CACHE_HOME=os.path.join(home, ".cache"),
                   XDG_CONFIG_HOME=os.path.join(home, ".config"),
                   XDG_DATA_HOME=os.path.join(home, ".local", "share"))
        env.pop("WAYLAND_DISPLAY", None)
        config = os.path.join(home, ".config", "ardour7")
        os.makedirs(config)
        with open(os.path.join(config, "config"), "w", encoding="utf-8") as f:
            f.write(RC_CONFIG)
        open(os.path.join(config, ".a7"), "w").close()  # Ardour has run here before: no wizard
        installed = os.path.join(home, ".vst3", os.path.basename(bundle))
        shutil.copytree(bundle, installed)

        scan_env = dict(env, LD_LIBRARY_PATH=LIBRARY_DIR)
        scan = subprocess.run([SCANNER, "--force", installed], env=scan_env, cwd=home,
                              stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=90)
        if scan.returncode != 0:
            fail("the scanner exited with status %d" % scan.returncode, scan.stdout + scan.stderr)

        session_dir = os.path.join(home, "session")
        script = os.path.join(home, "make_session.lua")
        with open(script, "w", encoding="utf-8") as f:
            f.write('SESSION_DIR = "%s"\nPLUGIN_NAME = "%s"\n' % (session_dir, plugin_name))
            f.write(SESSION_SCRIPT)
        made = subprocess.run([LUA_SESSION, script], env=env, cwd=home, stdin=subprocess.DEVNULL,
                              capture_output=True, text=True, timeout=90)
        ids = re.search(r"^ids (\d+) (\d+)$", made.stdout, re.MULTILINE)
        if made.returncode != 0 or not ids:
            fail("the session could not be made", made.stdout + made.stderr)

        # The plug-in's window is open in the session's window state; the device is the one
        # the GUI's dummy backend opens, so that Ardour does not stop to warn about a change.
        session_file = os.path.join(session_dir, "editor.ardour")
        with open(session_file, encoding="utf-8") as f:
            text = f.read()
        text = re.sub(r"<EngineHints [^>]*/>",
                      '<EngineHints backend="Dummy" input-device="Silence" '
                      'output-device="Silence"/>', text)
        window = ('  <Extra>\n    <UI>\n      <Window name="P-%s-%s" visible="1" x-off="%d" '
                  'y-off="%d" x-size="-1" y-size="-1" custom-ui="1"/>\n    </UI>\n  </Extra>\n'
                  % (ids.group(1), ids.group(2), PLUGIN_WINDOW_AT[0], PLUGIN_WINDOW_AT[1]))
        text = text.replace("</Session>", window + "</Session>")
        with open(session_file, "w", encoding="utf-8") as f:
            f.write(text)

        xvfb, display = start_xvfb()
        env["DISPLAY"] = display
        log_path = os.path.join(home, "ardour.log")
        ardour = None
        try:
            with open(log_path, "w", encoding="utf-8") as log:
                ardour = subprocess.Popen([ARDOUR, "-a", "-n", session_file], env=env, cwd=home,
                                          stdin=subprocess.DEVNULL, stdout=log, stderr=log)

            def log_text():
                with open(log_path, encoding="utf-8", errors="replace") as f:
                    return f.read()

            # Ardour's plug-in window is named after the track and the plug-in.
            deadline = time.monotonic() + WINDOW_TIMEOUT
            windows = []
            while not windows and time.monotonic() < deadline:
                if ardour.poll() is not None:
                    fail("Ardour ended with status %d" % ardour.returncode, log_text())
                time.sleep(1)
                windows = window_ids(env, re.escape(plugin_name))
            if not windows:
                fail("no window of the plug-in within %d s" % WINDOW_TIMEOUT, log_text())

            def page_shows(shares):
                return all(share >= minimum for share, (_, minimum) in zip(shares, expected))

            deadline = time.monotonic() + PAGE_TIMEOUT
            shares, size = [0.0] * len(expected), (0, 0)
            while time.monotonic() < deadline:
                windows = window_ids(env, re.escape(plugin_name)) or windows
                if ardour.poll() is not None:
                    fail("Ardour ended with status %d" % ardour.returncode, log_text())
                # The plug-in's name may title more than one window: the best one counts.
                for window in windows:
                    width, height, pixels = window_pixels(env, window)
                    seen = colour_shares(pixels, [colour for colour, _ in expected])
                    if page_shows(seen) or sum(seen) > sum(shares):
                        shares, size = seen, (width, height)
                    if page_shows(seen):
                        break
                if page_shows(shares):
                    break
                time.sleep(1)
            subprocess.run([IMPORT, "-window", "root", screenshot], env=env)
            report = ", ".join("#%s on %.1f%% (at least %.1f%%)" %
                               (bytes(colour).hex(), share * 100, minimum * 100)
                               for share, (colour, minimum) in zip(shares, expected))
            if not page_shows(shares):
                geometry = [subprocess.run([XDOTOOL, "getwindowgeometry", w], env=env,
                                           capture_output=True, text=True).stdout
                            for w in windows]
                fail("the %dx%d plug-in window does not show the page: %s (windows: %s)" %
                     (size[0], size[1], report, " ".join(geometry)), log_text())

            helpers = children(ardour.pid, HELPER_NAME)
            if len(helpers) != 1:
                fail("expected one helper process under Ardour, found %s" % helpers, log_text())
            own_maps = maps_of(ardour.pid)
            for library in ("libwebkit2gtk", "libgtk-3.so", "libjavascriptcoregtk"):
                if library in own_maps:
                    fail("Ardour's own process maps " + library)
            if "libwebkit2gtk" not in maps_of(helpers[0]):
                fail("the helper maps no WebKit: not the web view it should be")

            # Session > Close: the plug-in window goes, and with it the editor view.
            for x, y in (SESSION_MENU_AT, CLOSE_ITEM_AT):
                subprocess.run([XDOTOOL, "mousemove", str(x), str(y), "click", "1"], env=env)
                time.sleep(2)
            deadline = time.monotonic() + CLOSE_TIMEOUT
            while any(process_alive(pid) for pid in helpers):
                if ardour.poll() is not None:
                    fail("Ardour ended when the session closed", log_text())
                if time.monotonic() > deadline:
                    fail("closing the session left the editor's helper running", log_text())
                time.sleep(0.5)
            time.sleep(1)
            if ardour.poll() is not None:
                fail("Ardour ended after the session closed", log_text())

            ardour.send_signal(signal.SIGTERM)
            try:
                ardour.wait(timeout=20)
            except subprocess.TimeoutExpired:
                ardour.kill()
                ardour.wait()
        finally:
            if ardour is not None and ardour.poll() is None:
                ardour.kill()
                ardour.wait()
            xvfb.terminate()
            xvfb.wait()
    print("ardour editor: %s shows its page in Ardour's %dx%d plug-in window (%s), and the editor "
          "closed with the session; screenshot in %s"
          % (plugin_name, size[0], size[1], report, screenshot))


if __name__ == "__main__":
    main()
