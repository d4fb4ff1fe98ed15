"""Writes zip archives for the hosted bank tests, including entries no normal tool would write.

Usage: make_zip.py --out A.zip ITEM... [--out B.zip ITEM...]...
  tree=DIR=PREFIX     every file and folder below DIR, named PREFIX + its relative path
  file=NAME=TEXT      one file named NAME exactly as given (absolute or with ".." too)
  link=NAME=TARGET    one symbolic link
"""
import os
import sys
import zipfile


def add(archive, item):
    kind, name, value = (item.split("=", 2) + [""])[:3]
    if kind == "tree":
        for folder, dirs, files in os.walk(name):
            dirs.sort()
            for entry in sorted(dirs) + sorted(files):
                path = os.path.join(folder, entry)
                archive.write(path, value + os.path.relpath(path, name))
    elif kind == "file":
        archive.writestr(zipfile.ZipInfo(name), value)
    elif kind == "link":
        info = zipfile.ZipInfo(name)
        info.create_system = 3
        info.external_attr = 0o120777 << 16
        archive.writestr(info, value)
    else:
        sys.exit("unknown item " + item)


archive = None
args = sys.argv[1:]
while args:
    arg = args.pop(0)
    if arg == "--out":
        if archive:
            archive.close()
        archive = zipfile.ZipFile(args.pop(0), "w", zipfile.ZIP_DEFLATED)
    else:
        add(archive, arg)
if archive:
    archive.close()
