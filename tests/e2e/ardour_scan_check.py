#!/usr/bin/env python3
"""Loads a VST 3 bundle with Ardour's own plug-in scanner, as Ardour does before offering a
plug-in, and checks what the scanner recorded: the class "Chord" by "Norvo Music" as a MIDI
effect with one MIDI input, one MIDI output and no audio ports.

Usage: ardour_scan_check.py BUNDLE
The scanner runs with a private, empty HOME so no earlier cache entry can stand in for this
scan; it caches by absolute path, so the bundle is given by its absolute path."""
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

SCANNER = "/usr/lib/ardour7/ardour-vst3-scanner"
LIBRARY_DIR = "/usr/lib/ardour7"

EXPECTED = {
    "name": "Chord",
    "vendor": "Norvo Music",
    "version": "0.1.0",
    "sdk-version": "VST 3.8.1",
    "n_inputs": "0",
    "n_outputs": "0",
    "n_aux_inputs": "0",
    "n_aux_outputs": "0",
    "n_midi_inputs": "1",
    "n_midi_outputs": "1",
}


def fail(message):
    print("ardour scan: FAILED: " + message)
    sys.exit(1)


def run_scanner(bundle, home):
    env = dict(os.environ)
    env["HOME"] = home
    env["XDG_CACHE_HOME"] = os.path.join(home, ".cache")
    env["XDG_CONFIG_HOME"] = os.path.join(home, ".config")
    env["XDG_DATA_HOME"] = os.path.join(home, ".local", "share")
    env["LD_LIBRARY_PATH"] = LIBRARY_DIR + (":" + env["LD_LIBRARY_PATH"] if env.get("LD_LIBRARY_PATH") else "")
    try:
        return subprocess.run([SCANNER, "--force", "--verbose", bundle], env=env, cwd=home,
                              stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=90)
    except subprocess.TimeoutExpired:
        fail("the scanner did not finish within 90 seconds")


def main():
    if len(sys.argv) != 2:
        fail("usage: ardour_scan_check.py BUNDLE")
    bundle = os.path.abspath(sys.argv[1])
    if not os.path.isdir(bundle):
        fail("no bundle at " + bundle)
    if not os.access(SCANNER, os.X_OK):
        fail(SCANNER + " is missing (scripts/install-deps installs the ardour package)")

    with tempfile.TemporaryDirectory(prefix="norvo-ardour-") as home:
        result = run_scanner(bundle, home)
        output = (result.stdout + result.stderr).strip()
        print(output)
        if result.returncode != 0:
            fail("the scanner exited with status %d" % result.returncode)
        caches = [os.path.join(folder, name) for folder, _, names in os.walk(home)
                  for name in names if name.endswith(".v3i")]
        if len(caches) != 1:
            fail("expected one .v3i cache file, found %d" % len(caches))
        with open(caches[0], encoding="utf-8") as f:
            text = f.read()
        root = ElementTree.fromstring(text)

    infos = [node.attrib for node in root.iter("VST3Info")]
    if len(infos) != 1:
        fail("expected one plug-in class in the cache, found %d" % len(infos))
    info = infos[0]
    for key, want in EXPECTED.items():
        if info.get(key) != want:
            fail("%s is %r, expected %r" % (key, info.get(key), want))
    # A MIDI effect: the effect category, MIDI in and out, no audio at all.
    category = info.get("category", "")
    if "Fx" not in category.split("|") or "Instrument" in category:
        fail("category %r is not an effect" % category)
    print("ardour scan: Chord by Norvo Music is a MIDI effect with 1 MIDI input, 1 MIDI output "
          "and no audio ports")


if __name__ == "__main__":
    main()
