#!/usr/bin/env python3
"""The tree `cmake --install` puts into a prefix, which the Debian package holds.

  installed_tree_test.py install BUILD PREFIX   install afresh into PREFIX
  installed_tree_test.py CHECK PREFIX VERSION LICENSE
      tree      every file in its place and no other, consistent with the
                desktop entry's id, and each program's --version
      desktop   desktop-file-validate passes
      metainfo  appstreamcli validate --no-net passes
      manuals   man reads each page without a warning; each page names
                every option of its program's --help
A check whose validator is not installed is skipped (exit status 77).
"""
import glob
import gzip
import os
import re
import shutil
import struct
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

PROGRAMS = ["tressmoor", "tressmoor-grow", "tressmoor-render", "tressmoor-convert"]
ICON_SIZES = [48, 128, 256]
SKIPPED = 77


def run(command, **options):
    environment = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
    environment.update(options.pop("env", {}))
    return subprocess.run(command, capture_output=True, text=True, env=environment, **options)


def desktop_entry(prefix):
    entries = glob.glob(os.path.join(prefix, "share/applications/*.desktop"))
    assert len(entries) == 1, f"one desktop entry expected, found {entries}"
    app_id = os.path.basename(entries[0])[: -len(".desktop")]
    keys = {}
    for line in open(entries[0], encoding="utf-8").read().splitlines():
        if "=" in line and not line.startswith("#"):
            key, value = line.split("=", 1)
            keys[key] = value
    return app_id, entries[0], keys


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    assert head[:8] == b"\x89PNG\r\n\x1a\n" and head[12:16] == b"IHDR", f"{path} is not a PNG"
    return struct.unpack(">II", head[16:24])


def check_tree(prefix, version, license_path):
    app_id, _, keys = desktop_entry(prefix)
    assert re.fullmatch(r"[a-z][a-z0-9]*(\.[A-Za-z][A-Za-z0-9_-]*){2,}", app_id), f"{app_id} is no reverse-DNS id"
    expected = {f"bin/{p}" for p in PROGRAMS} | {f"share/man/man1/{p}.1.gz" for p in PROGRAMS}
    expected |= {f"share/icons/hicolor/{s}x{s}/apps/{app_id}.png" for s in ICON_SIZES}
    expected |= {f"share/applications/{app_id}.desktop", f"share/metainfo/{app_id}.metainfo.xml",
                 "share/doc/tressmoor/copyright", "share/doc/tressmoor/changelog.gz"}
    found = {os.path.relpath(os.path.join(d, f), prefix) for d, _, files in os.walk(prefix) for f in files}
    assert found == expected, f"missing {sorted(expected - found)}, unexpected {sorted(found - expected)}"

    for key, value in [("Type", "Application"), ("Exec", "tressmoor"), ("Icon", app_id),
                       ("Categories", "Graphics;3DGraphics;"), ("Terminal", "false")]:
        assert keys.get(key) == value, f"desktop entry: {key}={keys.get(key)}, not {value}"
    for size in ICON_SIZES:
        assert png_size(os.path.join(prefix, f"share/icons/hicolor/{size}x{size}/apps/{app_id}.png")) == (size, size)

    component = ElementTree.parse(os.path.join(prefix, f"share/metainfo/{app_id}.metainfo.xml")).getroot()
    assert component.get("type") == "desktop-application" and component.findtext("id") == app_id
    for tag in ["name", "summary", "metadata_license", "project_license"]:
        assert component.findtext(tag, "").strip(), f"metainfo has no {tag}"
    assert component.findall("description/p"), "metainfo has no description"
    assert component.findtext("launchable[@type='desktop-id']") == f"{app_id}.desktop"
    assert component.findtext("screenshots/screenshot/image", "").startswith("https://")
    releases = [r.get("version") for r in component.findall("releases/release")]
    assert releases == [version], f"metainfo releases {releases}, not {version}"

    # The copyright carries LICENSE's holder and its text, line for line.
    copyright = open(os.path.join(prefix, "share/doc/tressmoor/copyright"), encoding="utf-8").read()
    license_lines = open(license_path, encoding="utf-8").read().splitlines()
    holder = next(line for line in license_lines if line.startswith("Copyright (c) "))
    assert copyright.startswith("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n")
    assert f"\nCopyright: {holder[len('Copyright (c) '):]}\n" in copyright
    body = license_lines[license_lines.index(holder) + 2:]
    assert "\n".join(" " + line if line else " ." for line in body) in copyright
    changelog = gzip.open(os.path.join(prefix, "share/doc/tressmoor/changelog.gz"), "rt").readline()
    assert changelog.startswith(f"tressmoor ({version}) "), changelog

    for program in PROGRAMS:
        result = run([os.path.join(prefix, "bin", program), "--version"], timeout=30)
        assert (result.returncode, result.stdout, result.stderr) == (0, f"{program} {version}\n", ""), \
            f"{program} --version: {result}"


def validator(name):
    if shutil.which(name) is None:
        print(f"skipped: {name} is not installed (scripts/install-deps.sh test installs it)")
        sys.exit(SKIPPED)


def check_desktop(prefix):
    validator("desktop-file-validate")
    result = run(["desktop-file-validate", desktop_entry(prefix)[1]])
    assert result.returncode == 0 and not result.stdout.strip(), result.stdout + result.stderr


def check_metainfo(prefix):
    validator("appstreamcli")
    app_id = desktop_entry(prefix)[0]
    result = run(["appstreamcli", "validate", "--no-net", f"{prefix}/share/metainfo/{app_id}.metainfo.xml"])
    assert result.returncode == 0, result.stdout + result.stderr


def check_manuals(prefix, version):
    validator("man")
    for program in PROGRAMS:
        page = os.path.join(prefix, f"share/man/man1/{program}.1.gz")
        # As lintian reads them: every warning of groff or man counts.
        lint = run(["man", "--warnings", "-E", "UTF-8", "-l", "-Tutf8", "-Z", page],
                   env={"LC_ALL": "C.UTF-8", "MANROFFSEQ": "", "MANWIDTH": "80"})
        assert lint.returncode == 0 and not lint.stderr, f"{page}: {lint.stderr}"
        text = run(["man", "--no-hyphenation", "--no-justification", "-l", page],
                   env={"LC_ALL": "C.UTF-8", "MANWIDTH": "200"}).stdout
        text = text.replace("\u2010", "-").replace("\u2212", "-")
        assert f"{program} {version}" in text, f"{page} is not of version {version}"
        help_text = run([os.path.join(prefix, "bin", program), "--help"]).stdout
        for option in sorted(set(re.findall(r"(?<![\w-])--[a-z][a-z-]*", help_text))):
            assert option in text, f"{page} does not name {option}, which --help names"


def main(arguments):
    if arguments[0] == "install":
        build, prefix = arguments[1:]
        shutil.rmtree(prefix, ignore_errors=True)
        subprocess.run(["cmake", "--install", build, "--prefix", prefix], check=True)
        return
    check, prefix, version, license_path = arguments
    {"tree": lambda: check_tree(prefix, version, license_path),
     "desktop": lambda: check_desktop(prefix),
     "metainfo": lambda: check_metainfo(prefix),
     "manuals": lambda: check_manuals(prefix, version)}[check]()


if __name__ == "__main__":
    main(sys.argv[1:])
