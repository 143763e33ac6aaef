#!/usr/bin/env python3
"""Packs this build tree's program into a .deb in a temporary folder, as `make deb` does, checks
the package with Debian's own validators and lintian, and starts the program it holds.

Usage: test_debian_package.py CPACK BUILD_DIR VERSION
Exits 77 (skipped) when the Debian packaging tools are missing.
"""
import glob
import gzip
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

TOOLS = ["dpkg-deb", "dpkg-shlibdeps", "lintian", "desktop-file-validate",
         "appstreamcli"]
# The lintian warnings the README names and justifies: none today. Errors are never accepted.
ACCEPTED_WARNINGS = set()

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what)


def run(args, **kw):
    return subprocess.run(args, capture_output=True, text=True, **kw)


def build_package(cpack, build_dir, out_dir):
    r = run([cpack, "--config", os.path.join(build_dir, "CPackConfig.cmake"), "-G", "DEB",
             "-B", out_dir])
    if r.returncode != 0:
        sys.exit("cpack failed:\n" + r.stdout + r.stderr)
    debs = [f for f in os.listdir(out_dir) if f.endswith(".deb")]
    if len(debs) != 1:
        sys.exit("cpack made %s, not one .deb" % debs)
    return os.path.join(out_dir, debs[0])


def check_control(deb, version):
    arch = run(["dpkg", "--print-architecture"]).stdout.strip()
    check(os.path.basename(deb) == "tavelin_%s_%s.deb" % (version, arch),
          "package file name " + os.path.basename(deb))
    fields = {}
    for name in ["Package", "Version", "Depends", "Recommends", "Suggests"]:
        fields[name] = run(["dpkg-deb", "-f", deb, name]).stdout.strip()
    check(fields["Package"] == "tavelin", "Package: " + fields["Package"])
    check(fields["Version"] == version, "Version: " + fields["Version"])
    depends = [d.strip().split(" ")[0] for d in fields["Depends"].split(",")]
    # dpkg-shlibdeps found the Qt libraries in the binary; the rest no library pulls in.
    for needed in ["libqt6widgets6", "libqt6core6", "libc6", "libqt6svg6", "xdg-utils"]:
        check(needed in depends, "Depends lacks %s: %s" % (needed, fields["Depends"]))
    optional = fields["Recommends"] + "," + fields["Suggests"]
    for program in ["mail-transport-agent", "x-www-browser", "gedit"]:
        check(program in optional, program + " neither recommended nor suggested")
        check(program not in fields["Depends"], program + " is a dependency")


def check_lintian(deb):
    r = run(["lintian", "--no-cfg", "--display-level", ">=warning", deb])
    print(r.stdout, end="")
    tags = re.findall(r"^([EW]): tavelin[^:]*: (\S+)", r.stdout, re.M)
    for level, tag in tags:
        check(level == "W" and tag in ACCEPTED_WARNINGS, "lintian %s: %s" % (level, tag))
    check(r.returncode == 0 or tags, "lintian failed to run:\n" + r.stderr)


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", head[16:24])


def check_files(root, version):
    usr = os.path.join(root, "usr")
    program = os.path.join(usr, "bin/tavelin")
    check(os.access(program, os.X_OK), "/usr/bin/tavelin missing or not executable")
    check(b".debug_info" not in open(program, "rb").read(), "/usr/bin/tavelin is not stripped")
    modules = glob.glob(os.path.join(usr, "lib/**/tavelin/tavelin-window.so"), recursive=True)
    check(len(modules) == 1, "the window module: %s" % modules)
    for module in modules:
        check(b".debug_info" not in open(module, "rb").read(), module + " is not stripped")

    desktop = os.path.join(usr, "share/applications/tavelin.desktop")
    r = run(["desktop-file-validate", desktop])
    print("desktop-file-validate:", (r.stdout + r.stderr).strip() or "no message")
    check(r.returncode == 0 and not r.stdout.strip(), "desktop entry: " + r.stdout + r.stderr)

    metainfo_dir = os.path.join(usr, "share/metainfo")
    names = os.listdir(metainfo_dir)
    check(len(names) == 1 and re.fullmatch(r"[a-z]+\.[a-z0-9-]+\.[A-Za-z0-9]+\.metainfo\.xml",
                                            names[0]), "metainfo files: %s" % names)
    metainfo = os.path.join(metainfo_dir, names[0])
    check("<id>%s</id>" % names[0][:-len(".metainfo.xml")] in open(metainfo).read(),
          "metainfo id is not its file name")
    r = run(["appstreamcli", "validate", "--no-net", "--no-color", metainfo])
    print("appstreamcli validate:", r.stdout.strip())
    check(r.returncode == 0, "metainfo: " + r.stdout + r.stderr)
    text = open(metainfo, encoding="utf-8").read()
    check('<release version="%s"' % version in text, "metainfo names no release " + version)
    # The tree as installed: metainfo, desktop entry and icon found by each other.
    r = run(["appstreamcli", "validate-tree", "--no-net", "--no-color", root])
    print("appstreamcli validate-tree:", r.stdout.strip())
    check(r.returncode == 0, "installed tree: " + r.stdout + r.stderr)

    icons = os.path.join(usr, "share/icons/hicolor")
    check(open(os.path.join(icons, "scalable/apps/tavelin.svg"), "rb").read().lstrip()
          .startswith(b"<svg"), "scalable icon is no SVG")
    check(png_size(os.path.join(icons, "128x128/apps/tavelin.png")) == (128, 128),
          "128x128 icon is no 128x128 PNG")

    doc = os.path.join(usr, "share/doc/tavelin")
    for name in ["TAVELIN.HTM", "copyright", "changelog.gz"]:
        check(os.path.isfile(os.path.join(doc, name)), "/usr/share/doc/tavelin/%s missing" % name)

    man = os.path.join(usr, "share/man/man1/tavelin.1.gz")
    page = gzip.open(man, "rt", encoding="utf-8").read()
    check(('"Tavelin %s"' % version) in page, "man page is not of version " + version)
    env = dict(os.environ, LC_ALL="C.UTF-8", MANROFFSEQ="", MANWIDTH="80")
    r = run(["man", "--warnings", "-E", "UTF-8", "-l", "-Tutf8", "-Z", man], env=env)
    check(r.returncode == 0 and not r.stderr, "man page: groff says " + r.stderr)
    return program, page


def start_program(program, page, version):
    """`tavelin --version` prints the version and exits. A binary without the option starts its
    window instead: then it must get as far as sorting the address book, and quit on SIGTERM."""
    work = tempfile.mkdtemp(prefix="tavelin-deb-run-")
    try:
        config = os.path.join(work, "config")
        data = os.path.join(work, "data")
        os.makedirs(data)
        with open(os.path.join(data, "TAVELIN.FIL"), "wb") as f:
            f.write(b'"Ann","","","","","","","","","","","","",""\r\n')
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_CONFIG_HOME=config)
        proc = subprocess.Popen([program, "--version"], cwd=data, env=env, text=True,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        workfile = os.path.join(config, "malvek/tavelin/workfile.tmp")
        deadline = time.monotonic() + 60
        while proc.poll() is None and not os.path.exists(workfile) and time.monotonic() < deadline:
            time.sleep(0.02)  # bounded wait on a real process, as QTRY_VERIFY does
        if proc.poll() is None:
            check(os.path.exists(workfile), "the window did not start within 60 s")
            proc.send_signal(signal.SIGTERM)
            out, err = proc.communicate(timeout=60)
            check(proc.returncode == -signal.SIGTERM,
                  "the window ended with %s on SIGTERM: %s" % (proc.returncode, err))
            print("tavelin --version: no such option yet; the window started and quit")
            return
        out, err = proc.communicate()
        print("tavelin --version:", out.strip())
        check(proc.returncode == 0 and out == "Tavelin %s\n" % version,
              "--version: status %d, %r %r" % (proc.returncode, out, err))
        check_help(program, page, env, data)
    finally:
        shutil.rmtree(work)


def start_window(program):
    """Without arguments the program opens its window, from the module the package installs
    beside it: it must get as far as sorting the address book, and quit on SIGTERM."""
    work = tempfile.mkdtemp(prefix="tavelin-deb-window-")
    try:
        config = os.path.join(work, "config")
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_CONFIG_HOME=config)
        proc = subprocess.Popen([program], cwd=work, env=env, text=True,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        workfile = os.path.join(config, "malvek/tavelin/workfile.tmp")
        deadline = time.monotonic() + 60
        while proc.poll() is None and not os.path.exists(workfile) and time.monotonic() < deadline:
            time.sleep(0.02)  # bounded wait on a real process, as QTRY_VERIFY does
        running = proc.poll() is None
        if running:
            proc.send_signal(signal.SIGTERM)
        out, err = proc.communicate(timeout=60)
        check(running and os.path.exists(workfile),
              "the window did not start: status %s, %r" % (proc.returncode, err))
        check(proc.returncode == -signal.SIGTERM,
              "the window ended with %s on SIGTERM: %s" % (proc.returncode, err))
    finally:
        shutil.rmtree(work)


def check_help(program, page, env, data):
    """Every option --help names is in the man page, and the page names none it does not."""
    r = run([program, "--help"], cwd=data, env=env, timeout=60)
    check(r.returncode == 0, "--help: status %d %s" % (r.returncode, r.stderr))
    listed = set(re.findall(r"--[a-z][a-z-]*", r.stdout))
    documented = set(o.replace("\\-", "-") for o in re.findall(r"\\-\\-[a-z][a-z\\-]*", page))
    check(listed == documented, "--help lists %s, the man page %s" % (sorted(listed),
                                                                      sorted(documented)))


def main():
    cpack, build_dir, version = sys.argv[1:4]
    missing = [t for t in TOOLS if not shutil.which(t)]
    if missing:
        print("skipped: missing", " ".join(missing))
        return 77
    out = tempfile.mkdtemp(prefix="tavelin-deb-")
    try:
        deb = build_package(cpack, build_dir, out)
        check_control(deb, version)
        check_lintian(deb)
        root = os.path.join(out, "root")
        subprocess.run(["dpkg-deb", "-x", deb, root], check=True)
        program, page = check_files(root, version)
        start_program(program, page, version)
        start_window(program)
    finally:
        shutil.rmtree(out)
    print("%d failures" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
