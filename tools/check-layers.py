#!/usr/bin/env python3
"""Checks the floors of the source tree: each folder includes only its own headers and those
of the floors below it, so no two folders depend on each other, and the uninstaller's engine
holds no window code. Prints every offending include and exits 1; prints the floors and exits
0 when the tree keeps them."""
import os
import re
import sys

# Bottom first. Folders on one floor may not include each other either.
FLOORS = [["support"], ["product"], ["script"], ["uninstall"], ["wizard", "unbrm"], ["entry"]]
FLOOR_OF = {folder: level for level, folders in enumerate(FLOORS) for folder in folders}
# Window and dialog calls that belong to the programs' windows, not to the engine below them.
WINDOW_CALLS = re.compile(
    r"\b(SetDlgItemTextW|SendDlgItemMessageW|GetDlgItem|CreateWindowExW|CreateDialogParamW|"
    r"MessageBoxW|ShowWindow|EnableWindow|RedrawWindow)\b")
# product/ may show the one "setup is busy" box both programs share.
WINDOWLESS = ["support", "script", "uninstall"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def main(root):
    problems = []
    for folder, level in FLOOR_OF.items():
        directory = os.path.join(root, folder)
        for name in sorted(os.listdir(directory)):
            if not name.endswith((".cpp", ".h")):
                continue
            path = f"{folder}/{name}"
            text = open(os.path.join(directory, name), encoding="utf-8").read()
            for target in INCLUDE.findall(text):
                other = target.split("/")[0]
                if other not in FLOOR_OF:
                    problems.append(f"{path}: includes {target}, which is on no floor")
                elif other != folder and FLOOR_OF[other] >= level:
                    problems.append(f"{path}: includes {target} ({other}/ is not below {folder}/)")
            if folder in WINDOWLESS:
                code = re.sub(r"//.*", "", text)
                for call in sorted(set(WINDOW_CALLS.findall(code))):
                    problems.append(f"{path}: calls {call}, window code below the programs")
    for problem in problems:
        print(problem)
    if not problems:
        print(" -> ".join("/".join(folders) for folders in FLOORS) + ": no include goes up or sideways")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")))
