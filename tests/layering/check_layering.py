#!/usr/bin/env python3
"""Checks that the source tree keeps its layers.

Reads every C and C++ file under --root and the project's libraries (name, folder, sources,
direct links; one tab-separated line each, written by the build) and reports:
  1. a file outside the VST 3 layer (plugin/, sdk/), the editor's platform glue, tools/ and the
     test harnesses (tests/, fuzz/, bench/) that includes a plugin/ header or a VST 3 SDK header;
  2. a kernel file that includes anything of the project but kernel/ and common/export.h;
  3. a tools/ file that includes project code other than tools/ (the host loads the bundle);
  4. a library below the VST 3 layer that links the SDK library, directly or through others;
  5. a library whose sources include a folder that none of its direct links comes from;
  6. a cycle among the source folders, following their includes.
Exit status 0 when the tree is clean, 1 with one line per violation otherwise.
"""

import argparse
import collections
import os
import re
import sys

SOURCE_FOLDERS = ["common", "kernel", "product", "formats", "ccmap", "diagnostics", "engine",
                  "banks", "editor", "plugin", "sdk", "tools"]
VST3_LAYER = {"plugin", "sdk"}
HARNESSES = {"tests", "fuzz", "bench"}
PLATFORM_GLUE = "editor/platform/"
SDK_PREFIXES = ("pluginterfaces/", "public.sdk/", "base/source/", "base/thread/", "vstgui")
SDK_LIBRARY = "norvo_vst3sdk"
EXTENSIONS = (".h", ".hpp", ".c", ".cc", ".cpp", ".mm")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def source_files(root):
    for folder, dirs, files in os.walk(root):
        rel = os.path.relpath(folder, root)
        top = rel.split(os.sep)[0]
        dirs[:] = [d for d in dirs if not (rel == "." and (d.startswith(("build", ".")) or
                                                            d in ("node_modules", "out")))]
        if top == "tests" and "fixture" in rel.split(os.sep):
            continue  # the checker's own fixture breaks the rules on purpose
        for name in files:
            if name.endswith(EXTENSIONS):
                yield os.path.normpath(os.path.join(rel, name))


def includes_of(root, path):
    with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
        return INCLUDE.findall(f.read())


def folder_of(path):
    return path.split("/")[0] if "/" in path else ""


def is_sdk(include):
    return include.startswith(SDK_PREFIXES)


def project_folder(include):
    top = folder_of(include)
    return top if top in SOURCE_FOLDERS else None


def check_includes(root, files):
    problems = []
    for path in files:
        top = folder_of(path)
        allowed_sdk = top in VST3_LAYER or top in HARNESSES or top == "tools" or \
            path.startswith(PLATFORM_GLUE)
        for inc in includes_of(root, path):
            if not allowed_sdk and (is_sdk(inc) or inc.startswith("plugin/")):
                problems.append(f"{path}: includes {inc} outside the VST 3 layer")
            if top == "kernel" and project_folder(inc) and \
                    not (inc.startswith("kernel/") or inc == "common/export.h"):
                problems.append(f"{path}: the kernel includes {inc}")
            if top == "tools" and project_folder(inc) not in (None, "tools"):
                problems.append(f"{path}: our host includes project code {inc}")
    return problems


def read_libraries(path, root):
    libraries = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            fields = line.rstrip("\n").split("\t")
            if len(fields) != 4:
                continue
            name, folder, sources, links = fields
            folder = folder if os.path.isabs(folder) else os.path.join(root, folder)
            rel = os.path.relpath(folder, root)
            srcs = []
            for s in filter(None, sources.split(";")):
                full = s if os.path.isabs(s) else os.path.join(folder, s)
                srcs.append(os.path.relpath(full, root))
            libraries[name] = {"folder": rel.replace(os.sep, "/"), "sources": srcs,
                               "links": [l for l in links.split(";") if l]}
    return libraries


def reaches(libraries, start, target):
    seen, stack = set(), [start]
    while stack:
        name = stack.pop()
        for link in libraries.get(name, {}).get("links", []):
            if link == target:
                return True
            if link in libraries and link not in seen:
                seen.add(link)
                stack.append(link)
    return False


def check_links(root, libraries):
    problems = []
    for name, lib in sorted(libraries.items()):
        top = folder_of(lib["folder"] + "/")
        if name == SDK_LIBRARY or top in VST3_LAYER or top in HARNESSES or top == "tools":
            continue
        if reaches(libraries, name, SDK_LIBRARY):
            problems.append(f"{name}: links the VST 3 SDK ({SDK_LIBRARY})")
        provided = {top}
        for link in lib["links"]:
            if link in libraries:
                provided.add(folder_of(libraries[link]["folder"] + "/"))
        for src in lib["sources"]:
            if not src.endswith(EXTENSIONS) or not os.path.exists(os.path.join(root, src)):
                continue
            for candidate in (src, os.path.splitext(src)[0] + ".h"):
                if not os.path.exists(os.path.join(root, candidate)):
                    continue
                for inc in includes_of(root, candidate):
                    folder = project_folder(inc)
                    if folder and folder not in provided:
                        problems.append(f"{name}: {candidate} includes {inc} but the library "
                                        f"links nothing from {folder}/")
    return problems


def find_cycle(graph):
    state = {}

    def visit(node, path):
        state[node] = "open"
        for nxt in sorted(graph[node]):
            if state.get(nxt) == "open":
                return path + [node, nxt]
            if nxt not in state:
                cycle = visit(nxt, path + [node])
                if cycle:
                    return cycle
        state[node] = "done"
        return None

    for node in sorted(graph):
        if node not in state:
            cycle = visit(node, [])
            if cycle:
                return cycle[cycle.index(cycle[-1]):]
    return None


def check_folder_cycles(root, files):
    graph = collections.defaultdict(set)
    for path in files:
        top = folder_of(path)
        if top not in SOURCE_FOLDERS:
            continue
        graph[top]
        for inc in includes_of(root, path):
            folder = project_folder(inc)
            if folder and folder != top:
                graph[top].add(folder)
    cycle = find_cycle(graph)
    return [f"folder cycle: {' -> '.join(cycle)}"] if cycle else []


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", required=True)
    parser.add_argument("--libraries", required=True)
    args = parser.parse_args()
    root = os.path.abspath(args.root)
    files = sorted(source_files(root))
    libraries = read_libraries(args.libraries, root)
    problems = check_includes(root, files) + check_links(root, libraries) + \
        check_folder_cycles(root, files)
    for problem in problems:
        print(problem)
    print(f"layering: {len(files)} files, {len(libraries)} libraries, "
          f"{len(problems)} violation(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
