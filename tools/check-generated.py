#!/usr/bin/env python3
"""Fails when a committed generated file differs from what resources/payload/generate.py writes.

Runs the generator into a temporary folder and compares every file it writes with the committed
one, byte for byte (the payload projects, payload.rc and the rows of the script table). It also
checks the one version a resource cannot include from product/UVersion.h: the manifest's.
Usage: python3 tools/check-generated.py [source tree root]
"""

import filecmp
import os
import re
import subprocess
import sys
import tempfile


def load_generator(root):
    folder = os.path.join(root, "resources", "payload")
    sys.path.insert(0, folder)
    import generate  # noqa: E402  (its folder is only known at run time)
    return os.path.join(folder, "generate.py"), generate


def regenerated_differences(root, generator):
    problems = []
    with tempfile.TemporaryDirectory() as tmp:
        subprocess.run([sys.executable, generator, "--out", tmp], check=True,
                       stdout=subprocess.DEVNULL)
        count = 0
        for folder, _, names in os.walk(tmp):
            for name in names:
                fresh = os.path.join(folder, name)
                rel = os.path.relpath(fresh, tmp)
                committed = os.path.join(root, rel)
                count += 1
                if not os.path.isfile(committed):
                    problems.append("not committed: " + rel)
                elif not filecmp.cmp(fresh, committed, shallow=False):
                    problems.append("differs from its generator: " + rel)
    print("%d generated files compared" % count)
    return problems


def manifest_difference(root, version):
    with open(os.path.join(root, "resources", "setup.manifest")) as f:
        found = re.search(r'<assemblyIdentity [^>]*version="([^"]*)"', f.read()).group(1)
    if found != version:
        return ["resources/setup.manifest has version %s, product/UVersion.h %s"
                % (found, version)]
    return []


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1
                           else os.path.join(os.path.dirname(__file__), ".."))
    generator, module = load_generator(root)
    stale = regenerated_differences(root, generator)
    if stale:
        stale.append("Run python3 resources/payload/generate.py and commit what it writes.")
    problems = stale + manifest_difference(root, module.VERSION_DOTS)
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
