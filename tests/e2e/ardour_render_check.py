#!/usr/bin/env python3
"""Plays a note through Chord.vst3 inside Ardour itself: a headless Ardour session (ardour7-lua
with the dummy audio backend) gets a MIDI track whose processors are a note source, the Chord
plug-in with chord mode 2 (major) and Ardour's own MIDI monitor. The check is what the monitor
saw: the C major chord for note 60 (root at its velocity, the added notes at the scaled one),
then note-offs for exactly those three notes.

A second track asks Ardour's MIDI mapping: its Chord loads a user preset (a .vstpreset written
here, as Ardour itself writes them) whose states carry chord mode 2 and a CC map binding
controller 20 on MIDI channel 3 to "chord.mode". Ardour turns every incoming controller into a
parameter change through the controller's getMidiControllerAssignment, so when the source sends
controller 20 = 127 on channel 3 and then 0 on channel 1 before note 60, the chord is the
dominant seventh of mode 5 (C E G B-flat) only if the mapping was answered from the CC map,
channel included.

Usage: ardour_render_check.py BUNDLE NOTE_SOURCE_SCRIPT CC_SOURCE_SCRIPT
The bundle is copied into a private, empty HOME's ~/.vst3 and scanned there first with
Ardour's scanner, so no earlier cache or installed copy can stand in for it."""
import json
import os
import struct
import shutil
import subprocess
import sys
import tempfile

SCANNER = "/usr/lib/ardour7/ardour-vst3-scanner"
LIBRARY_DIR = "/usr/lib/ardour7"
LUA_SESSION = "/usr/bin/ardour7-lua"

# Status, note, velocity byte: note 60 at velocity 64; mode 2 adds 64 and 67 at
# round(64/127 * 127 * 0.8) = 51; the note-off releases the same three notes.
EXPECTED = [
    (0x90, 60, 64), (0x90, 64, 51), (0x90, 67, 51),
    (0x80, 60, 0), (0x80, 64, 0), (0x80, 67, 0),
]
# Mode 5 (dominant seventh) for the same note on the mapped track.
EXPECTED_MAPPED = [
    (0x90, 60, 64), (0x90, 64, 51), (0x90, 67, 51), (0x90, 70, 51),
    (0x80, 60, 0), (0x80, 64, 0), (0x80, 67, 0), (0x80, 70, 0),
]
CC_MAP = {"version": 1, "bindings": [{"cc": 20, "path": "chord.mode", "channel": 3}]}

SESSION_SCRIPT = r"""
AudioEngine:set_backend("None (Dummy)", "", "")
AudioEngine:set_sample_rate(48000)
AudioEngine:set_buffer_size(512)
assert(AudioEngine:start(false) == 0, "the dummy audio engine did not start")
local s = create_session(SESSION_DIR, "check", 48000)
assert(s, "no session")
local midi = ARDOUR.ChanCount(ARDOUR.DataType("midi"), 1)
local track = s:new_midi_track(midi, midi, true, ARDOUR.PluginInfo(), nil, nil, 1, "chord",
                               ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true):front()
local monitor = ARDOUR.LuaAPI.new_luaproc(s, "ACE MIDI Monitor")
local chord = ARDOUR.LuaAPI.new_plugin(s, "Chord", ARDOUR.PluginType.VST3, "")
assert(not monitor:isnil(), "no MIDI monitor")
assert(not chord:isnil(), "Ardour could not create the Chord plug-in")
assert(track:add_processor_by_index(monitor, 0, nil, true) == 0)
assert(track:add_processor_by_index(chord, 0, nil, true) == 0)
assert(ARDOUR.LuaAPI.set_processor_param(chord, 1, 2), "chord.mode not set")
ARDOUR.LuaAPI.usleep(300000)
local source = ARDOUR.LuaAPI.new_luaproc(s, "Norvo Test Note Source")
assert(not source:isnil(), "no note source")
assert(track:add_processor_by_index(source, 0, nil, true) == 0)
local shm = monitor:to_insert():plugin(0):to_luaproc():shmem()
for _ = 1, 100 do
  if shm:atomic_get_int(0) >= 7 then break end
  ARDOUR.LuaAPI.usleep(100000)
end
ARDOUR.LuaAPI.usleep(200000)
local buf = shm:to_int(1):array()
for i = 1, 60 do
  local b = (i - 1) * 3
  if buf[b + 1] ~= -1 then print(string.format("event %d %d %d", buf[b + 1], buf[b + 2], buf[b + 3])) end
end

local mapped = s:new_midi_track(midi, midi, true, ARDOUR.PluginInfo(), nil, nil, 1, "mapped",
                                ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true):front()
local monitor2 = ARDOUR.LuaAPI.new_luaproc(s, "ACE MIDI Monitor")
local chord2 = ARDOUR.LuaAPI.new_plugin(s, "Chord", ARDOUR.PluginType.VST3, "")
assert(not chord2:isnil(), "Ardour could not create the second Chord plug-in")
assert(mapped:add_processor_by_index(monitor2, 0, nil, true) == 0)
assert(mapped:add_processor_by_index(chord2, 0, nil, true) == 0)
local plugin2 = chord2:to_insert():plugin(0)
local preset = plugin2:preset_by_label("mapped")
assert(preset, "Ardour does not list the mapped preset")
assert(plugin2:load_preset(preset), "Ardour could not load the mapped preset")
ARDOUR.LuaAPI.usleep(300000)
local ccsource = ARDOUR.LuaAPI.new_luaproc(s, "Norvo Test CC Note Source")
assert(not ccsource:isnil(), "no CC note source")
assert(mapped:add_processor_by_index(ccsource, 0, nil, true) == 0)
local shm2 = monitor2:to_insert():plugin(0):to_luaproc():shmem()
for _ = 1, 100 do
  if shm2:atomic_get_int(0) >= 9 then break end
  ARDOUR.LuaAPI.usleep(100000)
end
ARDOUR.LuaAPI.usleep(200000)
local buf2 = shm2:to_int(1):array()
for i = 1, 60 do
  local b = (i - 1) * 3
  if buf2[b + 1] ~= -1 then print(string.format("mapped %d %d %d", buf2[b + 1], buf2[b + 2], buf2[b + 3])) end
end
print("done")
"""


def chord_class_id(bundle):
    """The processor class id as the bundle's moduleinfo.json lists it (32 hex digits)."""
    with open(os.path.join(bundle, "Contents", "Resources", "moduleinfo.json"), encoding="utf-8") as f:
        info = json.load(f)
    for c in info["Classes"]:
        if c["Category"] == "Audio Module Class":
            return c["CID"]
    fail("no processor class in moduleinfo.json")


def write_vstpreset(path, class_id, component, controller):
    """A VST 3 preset file: header, the component and controller states, the chunk list."""
    header_size = 4 + 4 + 32 + 8
    body = component + controller
    chunks = [(b"Comp", header_size, len(component)),
              (b"Cont", header_size + len(component), len(controller))]
    data = b"VST3" + struct.pack("<i", 1) + class_id.encode("ascii")
    data += struct.pack("<q", header_size + len(body)) + body
    data += b"List" + struct.pack("<i", len(chunks))
    for chunk_id, offset, size in chunks:
        data += chunk_id + struct.pack("<qq", offset, size)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def fail(message):
    print("ardour render: FAILED: " + message)
    sys.exit(1)


def main():
    if len(sys.argv) != 4:
        fail("usage: ardour_render_check.py BUNDLE NOTE_SOURCE_SCRIPT CC_SOURCE_SCRIPT")
    bundle = os.path.abspath(sys.argv[1])
    source_scripts = [os.path.abspath(a) for a in sys.argv[2:4]]
    if not os.path.isdir(bundle):
        fail("no bundle at " + bundle)
    for tool in (SCANNER, LUA_SESSION):
        if not os.access(tool, os.X_OK):
            fail(tool + " is missing (scripts/install-deps installs the ardour package)")

    with tempfile.TemporaryDirectory(prefix="norvo-ardour-") as home:
        env = dict(os.environ)
        env["HOME"] = home
        env["XDG_CACHE_HOME"] = os.path.join(home, ".cache")
        env["XDG_CONFIG_HOME"] = os.path.join(home, ".config")
        env["XDG_DATA_HOME"] = os.path.join(home, ".local", "share")
        installed = os.path.join(home, ".vst3", os.path.basename(bundle))
        shutil.copytree(bundle, installed)
        scripts = os.path.join(home, ".config", "ardour7", "scripts")
        os.makedirs(scripts)
        for source_script in source_scripts:
            shutil.copy(source_script, scripts)
        cc_map = json.dumps(CC_MAP, separators=(",", ":"))
        component = ('{"params":{"chord.on":1,"chord.mode":2,"chord.spread":0,"chord.velocity":0.8},'
                     '"ccMap":' + cc_map + '}')
        write_vstpreset(os.path.join(home, ".vst3", "presets", "Norvo Music", "Chord", "mapped.vstpreset"),
                        chord_class_id(bundle), component.encode(), ('{"ccMap":' + cc_map + '}').encode())

        scan_env = dict(env)
        scan_env["LD_LIBRARY_PATH"] = LIBRARY_DIR + (":" + env["LD_LIBRARY_PATH"] if env.get("LD_LIBRARY_PATH") else "")
        scan = subprocess.run([SCANNER, "--force", installed], env=scan_env, cwd=home,
                              stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=90)
        if scan.returncode != 0:
            print(scan.stdout + scan.stderr)
            fail("the scanner exited with status %d" % scan.returncode)

        script = os.path.join(home, "check.lua")
        with open(script, "w", encoding="utf-8") as f:
            f.write('SESSION_DIR = "%s"\n' % os.path.join(home, "session"))
            f.write(SESSION_SCRIPT)
        try:
            run = subprocess.run([LUA_SESSION, script], env=env, cwd=home, stdin=subprocess.DEVNULL,
                                 capture_output=True, text=True, timeout=90)
        except subprocess.TimeoutExpired:
            fail("the Ardour session did not finish within 90 seconds")
    output = run.stdout + run.stderr
    if run.returncode != 0 or "done" not in run.stdout.split("\n"):
        print(output)
        fail("the Ardour session script failed (status %d)" % run.returncode)

    seen = {"event": [], "mapped": []}
    for line in run.stdout.split("\n"):
        parts = line.split()
        if len(parts) == 4 and parts[0] in seen:
            seen[parts[0]].append(tuple(int(p) for p in parts[1:]))
    if seen["event"] != EXPECTED:
        print(output)
        fail("the monitor saw %s, expected %s" % (seen["event"], EXPECTED))
    if seen["mapped"] != EXPECTED_MAPPED:
        print(output)
        fail("the mapped track's monitor saw %s, expected %s (controller 20 on channel 3 should "
             "have set chord.mode through the CC map)" % (seen["mapped"], EXPECTED_MAPPED))
    print("ardour render: note 60 came out of Chord in Ardour as C E G and was released as C E G; "
          "controller 20 on channel 3, mapped by the CC map, made it C E G B-flat")


if __name__ == "__main__":
    main()
