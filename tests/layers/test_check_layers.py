"""The layer check on small trees: it names each include that runs upward,
leaves a tool's own layers, or brings <windows.h> into a portable file."""

import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).parent))
from check_layers import check  # noqa: E402


def tree(tmp_path, files):
    for name, text in files.items():
        path = tmp_path / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(text)
    return tmp_path


def test_a_tree_whose_includes_run_downward_passes(tmp_path):
    root = tree(tmp_path, {
        "src/base/a.h": "#pragma once\n#include <string>\n",
        "src/package/b.cpp": '#include "package/b.h"\n#include "base/a.h"\n',
        "src/package/b.h": "#pragma once\n",
        "src/win32/c_win.cpp": '#include "win32/c_win.h"\n#include <windows.h>\n',
        "src/win32/c_win.h": "#pragma once\n",
        "tools/pack/d.cpp": '#include "package/b.h"\n',
    })
    assert check(root) == []


def test_each_wrong_include_is_named_with_its_file_and_line(tmp_path):
    root = tree(tmp_path, {
        "src/base/a.h": '#pragma once\n\n#include "package/b.h"\n',
        "src/package/b.cpp": '#include "ui/look.h"\n#include "../resources/resource.h"\n',
        "src/package/e.cpp": '#include "win32/c_win.h"\n',
        "src/setup/f.cpp": "#include <Windows.h>\n",
        "src/misc/g.cpp": "\n",
        "tools/pack/d.cpp": '#include "setup/setup_state.h"\n',
    })
    problems = check(root)
    assert [p.split(": ", 1)[0] for p in problems] == [
        "src/base/a.h:3",
        "src/misc/g.cpp:1",
        "src/package/b.cpp:1",
        "src/package/b.cpp:2",
        "src/package/e.cpp:1",
        "src/setup/f.cpp:1",
        "tools/pack/d.cpp:1",
    ]
    assert "upward" in problems[0] and "package/b.h" in problems[0]
    assert "not a layer" in problems[1]
    assert "relative path" in problems[3]
    assert "not a _win file" in problems[4] and "not a _win file" in problems[5]
    assert "outside its layers" in problems[6]
