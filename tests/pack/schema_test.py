#!/usr/bin/env python3
"""Keeps `lumipack schema` in step with the manifest reader.

Usage: schema_test.py LUMIPACK SOURCE_DIR

Every manifest that lumipack writes or ships must satisfy the schema; the
manifests it refuses for a value's type or name must fail the schema too;
every key of the schema must be one the reader takes, and every key the
documentation shows must be in the schema.
"""
import json
import pathlib
import re
import subprocess
import sys
import tempfile
import tomllib
import unittest

import jsonschema

LUMIPACK = ""
SOURCE = pathlib.Path()


def lumipack(*args, stdin=None, cwd=None):
    return subprocess.run([LUMIPACK, *args], input=stdin, capture_output=True, text=True,
                          cwd=cwd, timeout=60)


def check_errors(manifest_text):
    """The error objects `lumipack check -` prints for a manifest."""
    run = lumipack("check", "-", "--message-format", "json", stdin=manifest_text)
    return [json.loads(line) for line in run.stdout.splitlines()
            if json.loads(line)["type"] == "error"]


def sample(schema):
    """A value the schema fragment accepts."""
    for choice in schema.get("anyOf", []):
        if "enum" in choice or choice.get("type") in ("boolean", "integer"):
            return sample(choice)
    if "anyOf" in schema:
        return sample(schema["anyOf"][0])
    if "enum" in schema:
        return schema["enum"][0]
    kind = schema.get("type")
    if kind == "boolean":
        return True
    if kind == "integer":
        return 1
    if kind == "array":
        return [sample(schema["items"])] * schema["minItems"]
    if kind == "string":
        return "#102030" if schema.get("pattern", "").startswith("^#") else "x.txt"
    raise AssertionError(f"no sample for {schema}")


def toml_value(value):
    if isinstance(value, bool):
        return "true" if value else "false"
    if isinstance(value, list):
        return "[" + ", ".join(toml_value(v) for v in value) + "]"
    return json.dumps(value)


def keys_of(schema):
    """Dotted key names: 'title', 'options.desktop_icon'."""
    keys = set()
    for name, sub in schema["properties"].items():
        if sub.get("type") == "object":
            keys |= {f"{name}.{leaf}" for leaf in sub["properties"]}
        else:
            keys.add(name)
    return keys


def manifest_with(key, value):
    table, _, leaf = key.rpartition(".")
    return (f"[{table}]\n" if table else "") + f"{leaf} = {toml_value(value)}\n"


class Schema(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        run = lumipack("schema")
        assert run.returncode == 0, run.stderr
        cls.schema = json.loads(run.stdout)
        cls.validator = jsonschema.Draft202012Validator(cls.schema)

    def test_is_a_valid_schema(self):
        jsonschema.Draft202012Validator.check_schema(self.schema)

    def test_shipped_and_starter_manifests_satisfy_it(self):
        manifests = sorted(SOURCE.glob("samples/*/lumipack.toml"))
        self.assertTrue(manifests)
        with tempfile.TemporaryDirectory() as folder:
            run = lumipack("init", folder)
            self.assertEqual(run.returncode, 0, run.stderr)
            manifests.append(pathlib.Path(folder) / "lumipack.toml")
            for path in manifests:
                with self.subTest(str(path)):
                    with open(path, "rb") as f:
                        errors = list(self.validator.iter_errors(tomllib.load(f)))
                    self.assertEqual(errors, [])

    def test_what_the_reader_refuses_the_schema_refuses(self):
        cases = [
            ("titel = \"typo\"\n", "titel"),
            ("title = 3\n", "title"),
            ("language = \"klingon\"\n", "language"),
            ("language = 70000\n", "language"),
            ("arch = \"arm64\"\n", "arch"),
            ("compression = \"medium\"\n", "compression"),
            ("licence = \"\"\n", "licence"),
            ("uninstaller = 1\n", "uninstaller"),
            ("options = 1\n", "options"),
            ("[options]\ndesktop_icon = \"yes\"\n", "options.desktop_icon"),
            ("[options]\ndesktop_icon = -1\n", "options.desktop_icon"),
            ("[options]\nsplash = true\n", "options.splash"),
            ("[header]\ntext_color = \"#12345\"\n", "header.text_color"),
            ("[reserved]\npair = [1]\n", "reserved.pair"),
            ("[reserved]\nnumbers = [1, 2, 3, 70000]\n", "reserved.numbers"),
            ("[reserved]\ntexts = [\"a\", \"b\", \"c\", 4]\n", "reserved.texts"),
        ]
        for text, key in cases:
            with self.subTest(text):
                self.assertFalse(self.validator.is_valid(tomllib.loads(text)))
                errors = check_errors(text)
                self.assertEqual([e["key"] for e in errors], [key], errors)

    def test_every_schema_key_is_read(self):
        for key in sorted(keys_of(self.schema)):
            with self.subTest(key):
                fragment = self.schema
                for part in key.split("."):
                    fragment = fragment["properties"][part]
                self.assertTrue(fragment.get("description"))
                text = manifest_with(key, sample(fragment))
                self.assertTrue(self.validator.is_valid(tomllib.loads(text)), text)
                for error in check_errors(text):
                    self.assertNotIn("unknown key", error["message"])
                    self.assertNotRegex(error["message"], r"' must ")

    def test_every_documented_key_is_in_the_schema(self):
        documented = set()
        for readme in (SOURCE / "tools/pack/README.md", SOURCE / "README.md"):
            for block in re.findall(r"```toml\n(.*?)```", readme.read_text(), re.S):
                table = ""
                for line in block.splitlines():
                    line = line.split("#", 1)[0].strip()
                    if m := re.fullmatch(r"\[([a-z_]+)\]", line):
                        table = m.group(1) + "."
                    elif m := re.match(r"([a-z_]+)\s*=", line):
                        documented.add(table + m.group(1))
        self.assertTrue(documented)
        self.assertEqual(documented - keys_of(self.schema), set())


if __name__ == "__main__":
    LUMIPACK, SOURCE = sys.argv[1], pathlib.Path(sys.argv[2])
    unittest.main(argv=sys.argv[:1], verbosity=2)
