#!/usr/bin/env python3
"""Fails on any include that runs against the layering of the source tree.

The folders under src/ are layers, bottom to top; a file may include only
headers of its own layer and of the layers below it. The tools on top of
the tree may use only the layers named for them. Files that include
<windows.h> (directly or through a _win header) carry the _win suffix, so
that everything else builds natively. Prints every offending include as
FILE:LINE: reason, and exits 1 when there is one."""

import pathlib
import re
import sys

LAYERS = ["base", "win32", "package", "setup", "install", "wizard", "ui", "app"]
# What each tool may include, by the tool's folder.
TOOLS = {
    "tools/pack": {"base", "package"},
    "tools/uninstall": {"base", "win32", "package", "setup", "install"},
}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
WINDOWS_HEADERS = re.compile(r"^(windows|winuser|winbase|commctrl|shlobj|shellapi|objbase|"
                             r"richedit|wingdi|winreg|uxtheme|shobjidl|ole2)\.h$", re.I)


def layer_of(include):
    top = include.split("/", 1)[0]
    return top if "/" in include and top in LAYERS else None


def check(root):
    problems = []
    sources = [p for p in sorted((root / "src").rglob("*")) if p.suffix in (".h", ".cpp")]
    for folder in TOOLS:
        sources += [p for p in sorted((root / folder).rglob("*")) if p.suffix in (".h", ".cpp")]
    for path in sources:
        relative = path.relative_to(root).as_posix()
        if relative.startswith("src/"):
            own = relative.split("/")[1]
            if own not in LAYERS:
                problems.append(f"{relative}:1: src/{own}/ is not a layer ({', '.join(LAYERS)})")
                continue
            allowed = set(LAYERS[:LAYERS.index(own) + 1])
            what = f"the {own} layer"
        else:
            tool = next(folder for folder in TOOLS if relative.startswith(folder + "/"))
            allowed = TOOLS[tool]
            what = tool
        is_win = path.stem.endswith("_win")
        for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            bracket, include = match.groups()
            where = f"{relative}:{number}"
            if bracket == '"' and include.startswith("../"):
                problems.append(f"{where}: includes {include} by a relative path; "
                                "use the include path")
            layer = layer_of(include)
            if layer is not None and layer not in allowed:
                direction = ("upward" if relative.startswith("src/") else "outside its layers")
                problems.append(f"{where}: {what} includes {include} ({direction}: "
                                f"{layer} is not below it)")
            if not is_win and (include.endswith("_win.h") or WINDOWS_HEADERS.match(include)):
                problems.append(f"{where}: includes {include} but is not a _win file")
    return problems


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    problems = check(root)
    for problem in problems:
        print(problem)
    if problems:
        print(f"{len(problems)} include(s) against the layers")
        return 1
    print("layers: every include runs downward")
    return 0


if __name__ == "__main__":
    sys.exit(main())
