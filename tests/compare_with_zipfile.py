#!/usr/bin/env python3
"""Checks that `mantole-cli list --json` agrees with Python's zipfile on the
names, sizes and CRCs of every fixture that zipfile can read.

usage: compare_with_zipfile.py MANTOLE_CLI FIXTURE_DIR
"""
import json
import os
import subprocess
import sys
import zipfile

cli, folder = sys.argv[1], sys.argv[2]
failures = 0
checked = 0
for name in sorted(os.listdir(folder)):
    path = os.path.join(folder, name)
    try:
        with zipfile.ZipFile(path) as z:
            expected = [(i.filename, i.compress_size, i.file_size, i.CRC) for i in z.infolist()]
    except (zipfile.BadZipFile, OSError):
        continue  # spanned volumes: zipfile cannot read them
    run = subprocess.run([cli, "list", "--json", path], capture_output=True)
    if run.returncode != 0:
        print(f"{name}: mantole-cli failed: {run.stderr.decode(errors='replace')}")
        failures += 1
        continue
    listed = json.loads(run.stdout)
    got = [(e["FileName"], e["CompressedSize"], e["UncompressedSize"], e["CRC32"])
           for e in listed["entries"]]
    if got != expected or listed["archive"]["Count"] != len(expected):
        diff = next((a, b) for a, b in zip(got + [None] * len(expected), expected) if a != b)
        print(f"{name}: mantole-cli and zipfile disagree, first difference: {diff}")
        failures += 1
    checked += 1

print(f"{checked} archives compared, {failures} disagreements")
sys.exit(1 if failures or checked < 10 else 0)
