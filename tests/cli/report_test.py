#!/usr/bin/env python3
"""quorvel-fit --report read back: its text (pdftotext), its pages (pdfinfo), its pictures (pdfimages)
and its look (pdftoppm).

Usage: report_test.py QUORVEL_FIT"""
import json
import math
import os
import random
import re
import subprocess
import sys
import tempfile

FIT = sys.argv[1]
DIR = tempfile.mkdtemp(prefix="quorvel_report_")
failures = []


def fail(message):
    failures.append(message)
    print("FAIL: " + message)


def run(args, locale="C", language="C"):
    """Runs a program under the locale, in the user language LANGUAGE names (C: Russian)."""
    return subprocess.run(args, capture_output=True, text=True,
                          env=dict(os.environ, LC_ALL=locale, LANGUAGE=language))


# The report's own texts in each language the program speaks.
TEXTS = {
    "C": {"title": "Протокол калибровки", "kind": "Вид функции: Квадратичная", "points": "Точек: {n}",
          "page": "Страница {i} из {count}", "header": "X (по прибору)", "signatures": "Калибровку выполнил:"},
    "en": {"title": "Calibration report", "kind": "Function: Quadratic", "points": "Points: {n}",
           "page": "Page {i} of {count}", "header": "X (reading)", "signatures": "Calibrated by:"},
}


def data_file(n, comma=False):
    """A pressure gauge: readings around 10^5 Pa, true values in hPa."""
    rng = random.Random(n)
    path = os.path.join(DIR, f"gauge{n}{'_comma' if comma else ''}.txt")
    with open(path, "w") as f:
        for i in range(n):
            x = 100000 + 20000 * i / n
            y = x / 100 + 2e-9 * (x - 110000) ** 2 + rng.uniform(-0.002, 0.002)
            line = f"{y:.4f} {x:.2f}\n"
            f.write(line.replace(".", ",") if comma else line)
    return path


def squeeze(text):
    return re.sub(r"\s+", " ", text).strip()


def pages_of(pdf):
    return run(["pdftotext", "-layout", pdf, "-"]).stdout.split("\f")[:-1]


def page_count(pdf):
    info = run(["pdfinfo", pdf]).stdout
    if "595 x 842 pts (A4)" not in info:
        fail(f"{pdf}: not an A4 portrait page: {info}")
    return int(re.search(r"Pages:\s+(\d+)", info).group(1))


def report(n, kind="quadratic", at="105000", locale="C", comma=False, language="C"):
    data = data_file(n, comma)
    pdf = os.path.join(DIR, f"report{n}{locale}{language}.pdf")
    r = run([FIT, "--kind", kind, "--at", at, "--report", pdf, data], locale, language)
    if r.returncode != 0:
        fail(f"{n} points: status {r.returncode}: {r.stderr}")
    return data, pdf, r.stdout


def check_texts(n, data, pdf, plain, locale="C", language="C"):
    """The window's texts and the exact figures of --json stand on the first page."""
    js = run([FIT, "--json", "--kind", "quadratic", "--at", "105000", data], locale, language).stdout
    # Number texts as printed, so that nothing is formatted anew here.
    number = r"(-?[0-9][0-9.e+-]*)"
    full = re.search(r'"coefficients":\[' + ",".join([number] * 4), js).groups()[:3]
    uncertainties = re.search(r'"standard_uncertainties":\[' + ",".join([number] * 3), js).groups()
    figures = [re.search(f'"{k}":{number}', js).group(1) for k in ("residual_sd", "y_uncertainty")]
    decimal = "," if locale != "C" else "."
    first = pages_of(pdf)[0]
    text = squeeze(first)
    expected = [squeeze(line) for line in plain.splitlines()]  # captions, formula, statistics, Y=
    expected += [t.replace(".", decimal) for t in list(full) + list(uncertainties) + figures]
    texts = TEXTS[language]
    expected += [texts["title"], os.path.basename(data), texts["kind"], texts["points"].format(n=n)]
    for want in expected:
        if want not in text:
            fail(f"{n} points ({locale}, {language}): '{want}' is not on the first page")


def check_pages(n, pdf, language="C"):
    """Every point once, in order, under a header repeated on each page; the signatures at the end."""
    texts = TEXTS[language]
    pages = pages_of(pdf)
    count = page_count(pdf)
    if len(pages) != count:
        fail(f"{n} points: pdftotext finds {len(pages)} pages of {count}")
    rows_per_page = []
    numbers = []
    for i, page in enumerate(pages, 1):
        numbered = texts["page"].format(i=i, count=count)
        if numbered not in page:
            fail(f"{n} points: page {i} is not numbered '{numbered}'")
        rows = [int(m.group(1)) for m in re.finditer(r"^\s*(\d{1,5})\s+1\d{5}\S*(?:\s+\S+){3}\s*$", page, re.M)]
        if rows and texts["header"] not in page:
            fail(f"{n} points: page {i} has points but no table header")
        rows_per_page.append(len(rows))
        numbers += rows
        if (texts["signatures"] in page) != (i == count):
            fail(f"{n} points: the signatures are not on the last page alone (page {i})")
    if numbers != list(range(1, n + 1)):
        fail(f"{n} points: the table's rows are {numbers[:5]}... ({len(numbers)} of {n})")
    # Full pages between the first and the last hold the same number of rows, the last no more; the one
    # before the last may give rows to it, so that the signatures do not stand alone.
    middle = rows_per_page[1:-1]
    if middle and (len(set(middle[:-1])) > 1 or max(middle[-1], rows_per_page[-1]) > middle[0]):
        fail(f"{n} points: rows per page {rows_per_page}")
    return count, rows_per_page


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    m = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", data)
    w, h = int(m.group(1)), int(m.group(2))
    pixels = data[m.end():]
    return w, h, lambda x, y: tuple(pixels[3 * (y * w + x):3 * (y * w + x) + 3])


def liberation_charset(style):
    """The code points of the Liberation Sans face the package depends on, from the font's own map."""
    path = run(["fc-match", "-f", "%{file}", f"Liberation Sans:style={style}"]).stdout
    if "Liberation" not in path:
        fail(f"Liberation Sans {style} is not installed: fc-match gives {path}")
        return set()
    points = set()
    for part in run(["fc-query", "--format=%{charset}", path]).stdout.split():
        first, _, last = part.partition("-")
        points.update(range(int(first, 16), int(last or first, 16) + 1))
    return points


def check_fonts(pdf):
    """Every character stands in a font the package brings: the only embedded fonts are Liberation, and
    each character of the text is in its map (a machine with more fonts would fill a gap silently)."""
    for line in run(["pdffonts", pdf]).stdout.splitlines()[2:]:
        if "Liberation" not in line.split()[0]:
            fail(f"{pdf}: a font the package does not depend on is embedded: {line}")
    charset = liberation_charset("Regular") & liberation_charset("Bold")
    text = "".join(pages_of(pdf))
    missing = sorted({c for c in text if not c.isspace() and ord(c) not in charset})
    if missing:
        fail(f"{pdf}: characters not in Liberation Sans: {' '.join(f'U+{ord(c):04X}' for c in missing)}")


def check_look(pdf):
    """Clear margins; the chart drawn, with the fitted curve and the points in their colours; and as
    vector graphics, no bitmap in the file."""
    dpi = 100
    run(["pdftoppm", "-r", str(dpi), "-f", "1", "-l", "1", pdf, os.path.join(DIR, "look")])
    w, h, pixel = read_ppm(os.path.join(DIR, "look-1.ppm"))
    margin = round(10 / 25.4 * dpi)  # 10 mm, inside every page margin
    for y in range(h):
        for x in list(range(margin)) + list(range(w - margin, w)) if margin <= y < h - margin else range(w):
            if min(pixel(x, y)) < 250:
                fail(f"the margin is not clear at ({x}, {y}): {pixel(x, y)}")
                return
    # Rendered with smoothing: colours are told by their dominant channel.
    kinds = {
        "green": lambda r, g, b: g > r + 60 and g > b + 60,
        "red": lambda r, g, b: r > 180 and g < 90 and b < 90,
        "blue": lambda r, g, b: b > 180 and r < 90 and g < 90,
        "black": lambda r, g, b: max(r, g, b) < 60,
    }
    green = [(x, y) for y in range(h) for x in range(w) if kinds["green"](*pixel(x, y))]
    if len(green) < 50:
        fail(f"no fitted curve on the first page ({len(green)} green pixels)")
        return
    x0, x1 = min(p[0] for p in green), max(p[0] for p in green)
    y0, y1 = min(p[1] for p in green), max(p[1] for p in green)
    box = [pixel(x, y) for y in range(y0, y1 + 1) for x in range(x0, x1 + 1)]
    for name in ("red", "blue", "black"):
        if not any(kinds[name](*rgb) for rgb in box):
            fail(f"the chart has no {name} pixels")
    images = run(["pdfimages", "-list", pdf]).stdout.splitlines()[2:]
    if images:
        fail(f"the report holds bitmaps: {images}")


# One page for a usual table; longer tables go on, 100 and 1000 points on several pages.
pages = {}
for n in (10, 100, 1000):
    data, pdf, plain = report(n)
    pages[n] = check_pages(n, pdf)
    if n == 10:
        check_texts(n, data, pdf, plain)
        check_fonts(pdf)
        check_look(pdf)
if pages[10][0] != 1:
    fail(f"10 points take {pages[10][0]} pages")
if not 1 < pages[100][0] < pages[1000][0]:
    fail(f"pages for 10, 100, 1000 points: {pages}")

# In English the same pages, with no Russian letter on them and every character in the font.
for n in (10, 100):
    data, pdf, plain = report(n, language="en")
    if check_pages(n, pdf, "en") != pages[n]:
        fail(f"{n} points in English: pages and rows {check_pages(n, pdf, 'en')}, in Russian {pages[n]}")
    cyrillic = sorted({c for c in "".join(pages_of(pdf)) if "\u0400" <= c <= "\u04ff"})
    if cyrillic:
        fail(f"{n} points in English: Russian letters on the pages: {''.join(cyrillic)}")
    if n == 10:
        check_texts(n, data, pdf, plain, language="en")
        check_fonts(pdf)
        check_look(pdf)

# In a comma-decimal locale every number of the report has the comma.
data, pdf, plain = report(10, locale="ru_RU.UTF-8", comma=True)
check_texts(10, data, pdf, plain, "ru_RU.UTF-8")

# A report that cannot be written is reported with its status and leaves no file behind; a name that is
# not a PDF's is refused before anything is read.
target = os.path.join(DIR, "no", "such", "folder", "r.pdf")
r = run([FIT, "--report", target, data_file(10)])
if r.returncode != 5 or not r.stderr.startswith("quorvel-fit: Не могу записать файл " + target):
    fail(f"unwritable report: status {r.returncode}, {r.stderr!r}")
# The slope's standard uncertainty beyond the double range (about 10^310, the slope itself 0, the rest
# in range): status 4 and no report.
big = os.path.join(DIR, "big.txt")
with open(big, "w") as f:
    f.writelines(f"{y * 2.0 ** 500!r} {x * 2.0 ** -530!r}\n" for y, x in ((1, 1), (-2, 2), (1, 3)))
target = os.path.join(DIR, "big.pdf")
r = run([FIT, "--kind", "linear", "--report", target, big])
if r.returncode != 4 or os.path.exists(target) or "Floating point overflow" not in r.stderr:
    fail(f"a report with a figure beyond the range: status {r.returncode}, {r.stderr!r}")
# Y at X beyond the range: the texts before it and the report, whose row of Y at X says so; status 4 as
# for the texts (no report was written, and the row was left out in the window's).
target = os.path.join(DIR, "at.pdf")
r = run([FIT, "--kind", "cubic", "--at", "1e200", "--report", target, data_file(10)])
text = squeeze(" ".join(pages_of(target))) if os.path.exists(target) else ""
if r.returncode != 4 or r.stderr != "Floating point overflow\n" or "Y=" in r.stdout or \
        "Для X=1E200 Y вне диапазона чисел" not in text:
    fail(f"Y at X beyond the range: status {r.returncode}, {r.stderr!r}, report: {text[:200]!r}")
r = run([FIT, "--report", data_file(10), data_file(10)])
if r.returncode != 64:
    fail(f"a report named .txt: status {r.returncode}")


# The warning beside the coefficients, decided from the values: where the coefficients as printed (or in
# full) give Y further from the exact fit than Y's digits allow, and only there.
def far_readings(x0):
    path = os.path.join(DIR, f"far{x0:g}.txt")
    with open(path, "w") as f:
        for i in range(25):
            x = "%.6f" % (x0 + i * 1.001)
            f.write("%.6f %s\n" % (float(x) + 0.1 * math.sin(1.7 * i + 0.3), x))
    return path


EXAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "examples")
NOTE = {"C": "Внимание:", "en": "Note:"}
for name, data, kind, locale, note, language in [
        ("25 readings around 10^7 in English", far_readings(1e7), "cubic", "C", True, "en"),
        ("the thermocouple in English", os.path.join(EXAMPLES, "thermocouple_k.txt"), "cubic", "C", False, "en")] + [
        row + ("C",) for row in [
        ("25 readings around 10^7", far_readings(1e7), "cubic", "C", True),
        ("25 readings around 10^5", far_readings(1e5), "cubic", "C", True),
        ("the barometer around 101 kPa", os.path.join(EXAMPLES, "barometer_comma.txt"), "cubic", "ru_RU.UTF-8",
         True),
        ("the pressure gauge", os.path.join(EXAMPLES, "pressure_gauge.txt"), "cubic", "C", False),
        ("the thermocouple", os.path.join(EXAMPLES, "thermocouple_k.txt"), "cubic", "C", False)]]:
    pdf = os.path.join(DIR, "note.pdf")
    r = run([FIT, "--kind", kind, "--report", pdf, data], locale, language)
    text = squeeze(" ".join(pages_of(pdf))) if r.returncode == 0 else ""
    if r.returncode != 0 or (NOTE[language] in text) != note:
        fail(f"{name}: status {r.returncode}, the note is {'missing' if note else 'there'}")


# With given uncertainties: the method, where they came from, u and U as --json gives them, the
# certificate's value ± U, the model check and the inverse evaluation, in the user's decimal character.
given = os.path.join(DIR, "given.txt")
with open(given, "w") as f:
    f.write("".join(f"{y} {x} 0.5\n" for x, y in zip(range(1, 7), (3.3, 5.6, 7.1, 9.3, 10.7, 12.1))))
GIVEN_TEXTS = {
    "C": ["взвешенный метод наименьших квадратов", "заданы столбцами u(Y), u(X) файла данных",
          "модель согласуется с данными", "Рекомендуемый вид функции: Линейная", "X для Y=10"],
    "en": ["weighted least squares", "given by the columns u(Y), u(X) of the data file",
           "the model agrees with the data", "Recommended function: Linear", "X for Y=10"],
}
for locale, decimal, language in (("C", ".", "C"), ("ru_RU.UTF-8", ",", "C"), ("C", ".", "en")):
    pdf = os.path.join(DIR, f"given{decimal}{language}.pdf")
    args = ["--uncertainties", "--kind", "linear", "--at", "3.5", "--at-u", "0.2", "--inverse", "10.5"]
    r = run([FIT] + args + ["--report", pdf, given], locale, language)
    js = json.loads(run([FIT, "--json"] + args + [given]).stdout)
    text = squeeze(" ".join(pages_of(pdf))) if r.returncode == 0 else ""
    wanted = GIVEN_TEXTS[language][:-1] + [GIVEN_TEXTS[language][-1] + decimal + "5",
                                           f"a0 = 1{decimal}87 ± 0{decimal}91", f"a1 = 1{decimal}76 ± 0{decimal}23"]
    wanted += [repr(v).replace(".", decimal) for v in
               js["standard_uncertainties"] + [js["y_uncertainty"], js["inverse"]["x"], js["inverse"]["x_uncertainty"]]]
    missing = [w for w in wanted if w not in text]
    if r.returncode != 0 or missing:
        fail(f"given uncertainties ({locale}, {language}): status {r.returncode}, {r.stderr!r}, missing {missing}")
    check_fonts(pdf)
both = os.path.join(DIR, "both.txt")
with open(both, "w") as f:
    f.write("3.4 1.2 0.2 0.2\n4.4 1.9 0.2 0.2\n7.2 2.9 0.2 0.2\n8.5 4.0 0.4 0.2\n10.8 4.7 0.4 0.2\n13.5 5.9 0.4 0.2\n")
for language, method in (("C", "обобщённая регрессия"), ("en", "generalized regression")):
    pdf = os.path.join(DIR, f"both{language}.pdf")
    r = run([FIT, "--uncertainties", "--kind", "linear", "--report", pdf, both], language=language)
    text = squeeze(" ".join(pages_of(pdf))) if r.returncode == 0 else ""
    if r.returncode != 0 or method not in text or "Γ = 0.8941720" not in text:
        fail(f"both variables ({language}): status {r.returncode}, {text[:300]!r}")
    check_fonts(pdf)

sys.exit(1 if failures else 0)
