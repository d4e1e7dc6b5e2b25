#!/usr/bin/env python3
"""Imports a hive file that qxbase wrote on Linux into a Wine prefix with
Wine's own regedit, then reads every value back: with `reg query`, compared
as reg shows each type, and from regedit's own export of the key, compared
byte for byte. Exits 1, naming every difference, when anything differs.

Usage: scripts/regedit-check.py WINE-RUNNER FILE.reg KEY
  WINE-RUNNER  the command that runs a Windows program (cmake/wine-run.sh)
  KEY          the key under which the file's values are checked, e.g.
               HKEY_CURRENT_USER\\Software\\qxbase-regedit-check
The prefix is $WINEPREFIX; the key is deleted again afterwards.
"""
import os
import subprocess
import sys
import tempfile

TYPE_NAMES = {0: "REG_NONE", 1: "REG_SZ", 2: "REG_EXPAND_SZ", 3: "REG_BINARY", 4: "REG_DWORD",
              5: "REG_DWORD_BIG_ENDIAN", 7: "REG_MULTI_SZ"}


def parse_reg(data):
    """{key path: {value name: (type, bytes)}} of a registry-editor file."""
    if data[:2] == b"\xff\xfe":
        text = data[2:].decode("utf-16-le")
    else:
        text = data.decode("utf-8-sig")
    lines = text.replace("\r\n", "\n").split("\n")
    if lines[0].strip() != "Windows Registry Editor Version 5.00":
        raise ValueError("not a version 5 file")
    keys, key, i = {}, None, 1
    while i < len(lines):
        line = lines[i].strip()
        i += 1
        if not line or line.startswith(";"):
            continue
        if line.startswith("["):
            key = line[1:line.rindex("]")]
            keys.setdefault(key.lower(), {})
            continue
        if line.startswith("@"):
            name, rest = "", line[1:].lstrip()
        else:
            name, rest = quoted(line)
        rest = rest.lstrip()[1:].lstrip()  # past "="
        if rest.startswith('"'):
            value, _ = quoted(rest)
            keys[key.lower()][name.lower()] = (1, (value + "\0").encode("utf-16-le"))
        elif rest.lower().startswith("dword:"):
            keys[key.lower()][name.lower()] = (4, int(rest[6:], 16).to_bytes(4, "little"))
        else:
            head, body = rest.split(":", 1)
            vtype = 3 if head.lower() == "hex" else int(head[4:-1], 16)
            while body.rstrip().endswith("\\"):
                body = body.rstrip()[:-1] + lines[i].strip()
                i += 1
            raw = bytes(int(b, 16) for b in body.replace(" ", "").split(",") if b)
            keys[key.lower()][name.lower()] = (vtype, raw)
    return keys


def quoted(s):
    """The text of a double-quoted string at the start of s, and what follows."""
    out, i = [], 1
    while s[i] != '"':
        if s[i] == "\\":
            i += 1
            out.append({"n": "\n", "r": "\r", "0": "\0"}.get(s[i], s[i]))
        else:
            out.append(s[i])
        i += 1
    return "".join(out), s[i + 1:]


def shown(vtype, raw):
    """What Wine's reg query prints for a value, or None for a type it does
    not know (checked through the export only)."""
    if vtype in (1, 2):
        text = raw.decode("utf-16-le", "replace").split("\0")[0]
    elif vtype == 7:
        # Without the list's terminating pair of NULs (or what there is of it).
        text = raw.decode("utf-16-le", "replace")
        text = text[:-2] if text.endswith("\0\0") else text.rstrip("\0")
        text = text.replace("\0", "\\0")
    elif vtype in (4, 5) and len(raw) == 4:
        text = "0x%x" % int.from_bytes(raw, "little")  # Wine shows both orders so
    elif vtype in (0, 3):
        text = raw.hex().upper()
    else:
        return None
    # reg writes through the console's OEM code page.
    return text.encode("cp437", "replace").decode("cp437")


def run(wine, args, check=True):
    """Runs a Wine program; its output comes back through a file, since a
    pipe would stay open as long as the Wine services it may start."""
    with tempfile.TemporaryFile() as out:
        done = subprocess.run(wine + args, stdout=out, stderr=subprocess.DEVNULL,
                              stdin=subprocess.DEVNULL)
        if check and done.returncode:
            sys.exit("regedit check: %s failed with status %d" % (" ".join(args), done.returncode))
        out.seek(0)
        return out.read()


def reg_query(wine, key):
    """{value name: (type name, text)} as `reg query KEY` prints them."""
    out = run(wine, ["reg", "query", key])
    values = {}
    for line in out.decode("cp437").replace("\r", "").split("\n"):
        if not line.startswith("    "):
            continue
        parts = line[4:].split("    ", 2)
        if len(parts) < 2:
            continue
        name = "" if parts[0] == "(Default)" else parts[0]
        values[name.lower()] = (parts[1], parts[2] if len(parts) > 2 else "")
    return values


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    wine, path, root = [sys.argv[1]], sys.argv[2], sys.argv[3]
    with open(path, "rb") as f:
        expected = {k: v for k, v in parse_reg(f.read()).items()
                    if k == root.lower() or k.startswith(root.lower() + "\\")}
    if not expected:
        sys.exit("regedit check: %s holds no key under %s" % (path, root))
    run(wine, ["reg", "delete", root, "/f"], check=False)
    run(wine, ["regedit", "/S", windows_path(path)])
    problems, compared = [], 0
    try:
        for key, values in expected.items():
            got = reg_query(wine, key)
            for name, (vtype, raw) in values.items():
                want = shown(vtype, raw)
                if want is None:
                    continue
                compared += 1
                if got.get(name) != (TYPE_NAMES[vtype], want):
                    problems.append("reg query %s [%s]: %r, written %r" %
                                    (key, name, got.get(name), (TYPE_NAMES[vtype], want)))
            for name in got:
                if name not in values and not (name == "" and got[name][1] == "(value not set)"):
                    problems.append("reg query %s: unexpected value [%s]" % (key, name))
        with tempfile.TemporaryDirectory() as tmp:
            export = os.path.join(tmp, "export.reg")
            run(wine, ["regedit", "/E", windows_path(export), root])
            with open(export, "rb") as f:
                exported = parse_reg(f.read())
        for key, values in expected.items():
            if exported.get(key) != values:
                problems.append("regedit export of %s differs:\n  exported %r\n  written  %r" %
                                (key, exported.get(key), values))
    finally:
        run(wine, ["reg", "delete", root, "/f"], check=False)
    if problems:
        print("regedit import check FAILED:", file=sys.stderr)
        for p in problems:
            print("  " + p, file=sys.stderr)
        sys.exit(1)
    print("regedit import check: %d keys, %d values shown by reg query and every value of the "
          "export match what was written" % (len(expected), compared))


if __name__ == "__main__":
    main()
