#!/usr/bin/env python3
"""The layering checker finds every kind of violation in a fixture tree built to break them.

Usage: check_layering_test.py CHECKER FIXTURE_ROOT
"""

import subprocess
import sys

EXPECTED = [
    "engine/engine_core.cpp: includes plugin/processor.h outside the VST 3 layer",
    "engine/engine_core.cpp: includes pluginterfaces/base/funknown.h outside the VST 3 layer",
    "kernel/kernel.cpp: the kernel includes product/table.h",
    "tools/host.cpp: our host includes project code engine/engine_core.h",
    "norvo_engine: links the VST 3 SDK (norvo_vst3sdk)",
    "norvo_helper: links the VST 3 SDK (norvo_vst3sdk)",
    "norvo_engine: engine/engine_core.cpp includes plugin/processor.h but the library links "
    "nothing from plugin/",
    "norvo_helper: formats/document.h includes ccmap/map.h but the library links nothing from "
    "ccmap/",
    "folder cycle: ccmap -> formats -> ccmap",
]


def main():
    checker, fixture = sys.argv[1], sys.argv[2]
    result = subprocess.run([sys.executable, checker, "--root", fixture,
                             "--libraries", f"{fixture}/libraries.tsv"],
                            capture_output=True, text=True)
    lines = result.stdout.splitlines()
    reported = lines[:-1]
    failures = []
    if result.returncode != 1:
        failures.append(f"exit status {result.returncode}, expected 1\n{result.stderr}")
    missing = [e for e in EXPECTED if e not in reported]
    unexpected = [r for r in reported if r not in EXPECTED]
    failures += [f"not reported: {m}" for m in missing]
    failures += [f"reported without cause: {u}" for u in unexpected]
    if failures:
        print("\n".join(failures))
        print("checker output:\n" + result.stdout)
        return 1
    print(f"the checker reported all {len(EXPECTED)} violations of the fixture")
    return 0


if __name__ == "__main__":
    sys.exit(main())
