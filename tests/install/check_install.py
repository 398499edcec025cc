#!/usr/bin/env python3
"""Builds the install tree or the Debian package of a build folder and validates it with the
ecosystem's own tools.

  check_install.py install --build DIR --source DIR --cmake CMAKE
  check_install.py package --build DIR --version V --cpack CPACK
"""
import argparse
import gzip
import os
import re
import subprocess
import sys
import tempfile

APPSTREAM_ID = "org.quorvel.quorvel"
FILES = [
    "usr/bin/quorvel",
    "usr/bin/quorvel-fit",
    "usr/libexec/quorvel/quorvel-fit-chart",
    "usr/share/applications/quorvel.desktop",
    "usr/share/icons/hicolor/scalable/apps/quorvel.svg",
    f"usr/share/metainfo/{APPSTREAM_ID}.metainfo.xml",
    "usr/share/man/man1/quorvel.1.gz",
    "usr/share/man/man1/quorvel-fit.1.gz",
    "usr/share/man/ru/man1/quorvel.1.gz",
    "usr/share/man/ru/man1/quorvel-fit.1.gz",
    "usr/share/locale/en/LC_MESSAGES/quorvel.mo",
    "usr/share/doc/quorvel/copyright",
    "usr/share/doc/quorvel/changelog.gz",
]
PROGRAMS = ["usr/bin/quorvel", "usr/bin/quorvel-fit", "usr/libexec/quorvel/quorvel-fit-chart"]
# Package names the run-time dependencies must name: the libraries dpkg-shlibdeps finds in the
# binaries, and what the window needs besides them.
DEPENDS = ["libqt6widgets6", "libqt6printsupport6", "libqt6svg6", "libgmp10", "fonts-liberation2",
           "qt6-translations-l10n"]

failures = []


def fail(message):
    failures.append(message)
    print("FAIL: " + message)


def run(args, **kwargs):
    return subprocess.run(args, capture_output=True, text=True, **kwargs)


def options_in(text):
    """Option names (--long and -s) in the given text."""
    return set(re.findall(r"(?<![\w-])(--?[A-Za-z][\w-]*)", text))


def help_options(help_text):
    """The options of the lines that describe one ("  --kind K   ...")."""
    return options_in("\n".join(l for l in help_text.splitlines() if re.match(r"\s+-", l)))


def help_statuses(help_text):
    m = re.search(r"exit status(.*)", help_text, re.I | re.S)
    return set(re.findall(r"(?:^|[:,;\n])\s*(\d+)\b", m.group(1))) if m else set()


def man_sections(source):
    sections = {}
    name = None
    for line in source.splitlines():
        if line.startswith(".SH "):
            name = line[4:].strip().strip('"')
            sections[name] = []
        elif name is not None:
            sections[name].append(line)
    return sections


def tagged_lines(lines):
    """The tag line of each .TP paragraph, as plain text."""
    tags = [lines[i + 1] for i, l in enumerate(lines[:-1]) if l.strip() == ".TP"]
    return [re.sub(r"\\f[BIRP]|^\.\w+\s*|\"", "", t).replace("\\-", "-") for t in tags]


# The section names of the man pages in each language, in the order NAME, SYNOPSIS, DESCRIPTION,
# OPTIONS, EXIT STATUS, EXAMPLES.
SECTIONS = {
    "man1": ("NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "EXIT STATUS", "EXAMPLES"),
    "ru/man1": ("ИМЯ", "СИНТАКСИС", "ОПИСАНИЕ", "ПАРАМЕТРЫ", "КОД ЗАВЕРШЕНИЯ", "ПРИМЕРЫ"),
}


def check_man_against_help(man_source, help_text, folder="man1"):
    sections = man_sections(man_source)
    names = SECTIONS[folder]
    for name in names:
        if name not in sections:
            fail(f"{folder}/quorvel-fit.1 has no {name} section")
    same_in_both(f"options ({folder})", help_options(help_text),
                 options_in("\n".join(tagged_lines(sections.get(names[3], [])))), key=str)
    same_in_both(f"exit statuses ({folder})", help_statuses(help_text),
                 set(re.findall(r"\d+", " ".join(tagged_lines(sections.get(names[4], []))))), key=int)


def same_in_both(what, in_help, in_man, key):
    if not in_help:
        fail(f"quorvel-fit --help names no {what}")
    if in_man != in_help:
        fail(f"{what}: only in --help {sorted(in_help - in_man, key=key)}, only in the man page "
             f"{sorted(in_man - in_help, key=key)}")


def check_languages(fit, example):
    """The program finds its catalogue from its own place: English where the user's language asks."""
    for language, label in (("C", "Максимальная ошибка "), ("en", "Maximum error "), ("de:ru", "Maximum error ")):
        r = run([fit, "--kind", "linear", example], env=dict(os.environ, LC_ALL="C.UTF-8", LANGUAGE=language))
        if r.returncode != 0 or f"\n{label}" not in r.stdout:
            fail(f"{fit} under LANGUAGE={language}: no \"{label}\" in\n{r.stdout}{r.stderr}")


def check_install(args):
    with tempfile.TemporaryDirectory(prefix="quorvel-install.") as root:
        r = run([args.cmake, "--install", args.build, "--prefix", os.path.join(root, "usr")])
        if r.returncode != 0:
            fail("cmake --install failed:\n" + r.stdout + r.stderr)
            return
        for f in FILES:
            if not os.path.isfile(os.path.join(root, f)):
                fail(f"{f} is not installed")
        for f in PROGRAMS:
            if not os.access(os.path.join(root, f), os.X_OK):
                fail(f"{f} is not executable")
        if failures:
            return

        desktop = os.path.join(root, "usr/share/applications/quorvel.desktop")
        r = run(["desktop-file-validate", desktop])
        if r.returncode != 0 or (r.stdout + r.stderr).strip():
            fail("desktop-file-validate:\n" + r.stdout + r.stderr)

        # The tree check also finds the desktop entry the metadata launches.
        r = run(["appstreamcli", "validate-tree", "--no-net", "--pedantic", "--explain", root])
        if r.returncode != 0 or re.search(r"^\s*[EWIP]: ", r.stdout + r.stderr, re.M):
            fail("appstreamcli validate-tree:\n" + r.stdout + r.stderr)

        env = dict(os.environ, LC_ALL="C.UTF-8", MANROFFSEQ="", MANWIDTH="80")
        for page in ("man1/quorvel.1.gz", "man1/quorvel-fit.1.gz", "ru/man1/quorvel.1.gz", "ru/man1/quorvel-fit.1.gz"):
            path = os.path.join(root, "usr/share/man", page)
            r = run(["man", "--warnings", "-E", "UTF-8", "-l", "-Tutf8", "-Z", path], env=env)
            if r.returncode != 0 or r.stderr.strip():
                fail(f"man --warnings {page}:\n{r.stderr}")

        fit = os.path.join(root, "usr/bin/quorvel-fit")
        r = run([fit, "--help"])
        if r.returncode != 0:
            fail(f"installed quorvel-fit --help exits {r.returncode}")
        for folder in SECTIONS:
            with gzip.open(os.path.join(root, "usr/share/man", folder, "quorvel-fit.1.gz"), "rt",
                           encoding="utf-8") as f:
                check_man_against_help(f.read(), r.stdout, folder)

        example = os.path.join(args.source, "examples", "pressure_gauge.txt")
        r = run([fit, "--kind", "linear", example], env=dict(os.environ, LC_ALL="C.UTF-8"))
        if r.returncode != 0 or "\nY = " not in r.stdout:
            fail(f"installed quorvel-fit on {example}: status {r.returncode}\n{r.stdout}{r.stderr}")
        check_languages(fit, example)
        # A chart is drawn by the program installed in libexec, which quorvel-fit finds from its own place.
        chart = os.path.join(root, "chart.png")
        r = run([fit, "--kind", "linear", "--chart", chart, example], env=dict(os.environ, LC_ALL="C.UTF-8"))
        if r.returncode != 0 or not os.path.isfile(chart):
            fail(f"installed quorvel-fit --chart: status {r.returncode}\n{r.stdout}{r.stderr}")


def check_package(args):
    with tempfile.TemporaryDirectory(prefix="quorvel-deb.") as out:
        config = os.path.join(args.build, "CPackConfig.cmake")
        r = run([args.cpack, "-G", "DEB", "--config", config, "-B", out], cwd=args.build)
        if r.returncode != 0:
            fail("cpack -G DEB failed:\n" + r.stdout + r.stderr)
            return
        deb = os.path.join(out, f"quorvel_{args.version}_amd64.deb")
        if not os.path.isfile(deb):
            fail(f"no {os.path.basename(deb)} in {sorted(os.listdir(out))}")
            return

        depends = run(["dpkg-deb", "-f", deb, "Depends"]).stdout
        names = {d.strip().split(" ")[0] for d in depends.replace("|", ",").split(",")}
        # The icon's SVG plugin is linked by no binary; its package differs between releases.
        owner = run(["dpkg-query", "--search", "*/qt6/plugins/imageformats/libqsvg.so"]).stdout
        plugin = [owner.split(":")[0]] if owner else []
        for name in DEPENDS + plugin:
            if name not in names:
                fail(f"Depends lacks {name}: {depends.strip()}")

        listing = run(["dpkg-deb", "-c", deb]).stdout
        for f in FILES:
            if f" ./{f}\n" not in listing:
                fail(f"the package lacks /{f}")

        with tempfile.TemporaryDirectory(prefix="quorvel-deb-tree.") as tree:
            r = run(["dpkg-deb", "-x", deb, tree])
            if r.returncode != 0:
                fail("dpkg-deb -x failed:\n" + r.stdout + r.stderr)
            else:
                check_languages(os.path.join(tree, "usr/bin/quorvel-fit"),
                                os.path.join(args.source, "examples", "pressure_gauge.txt"))

        r = run(["lintian", "--fail-on", "error,warning", deb])
        print(r.stdout + r.stderr)
        if r.returncode != 0:
            fail("lintian reports errors or warnings")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("what", choices=["install", "package"])
    parser.add_argument("--build", required=True)
    parser.add_argument("--source")
    parser.add_argument("--cmake")
    parser.add_argument("--cpack")
    parser.add_argument("--version")
    args = parser.parse_args()
    if args.what == "install":
        check_install(args)
    else:
        check_package(args)
    if failures:
        sys.exit(1)
    print("ok")


if __name__ == "__main__":
    main()
