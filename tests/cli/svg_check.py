"""The plot is well-formed XML with one mark per plotted point and the curve.

Usage: svg_check.py [EMULATOR...] KSATFIT WORK_DIR
"""
import os
import subprocess
import sys
import xml.etree.ElementTree as ET

SVG = "{http://www.w3.org/2000/svg}"


def plot(program, work, name, rows, header="x,y"):
    data = os.path.join(work, name + ".csv")
    out = os.path.join(work, name + ".svg")
    with open(data, "w") as f:
        f.write(header + "\n" + "".join(f"{x!r},{y!r}\n" for x, y in rows))
    run = subprocess.run([*program, "fit", data, "--plot", out], capture_output=True, text=True)
    assert run.returncode == 0, run.stderr
    root = ET.parse(out).getroot()  # raises unless well-formed
    assert root.tag == SVG + "svg"
    for bad in ("script", "image", "foreignObject", "use", "style"):
        assert not list(root.iter(SVG + bad)), bad
    groups = {g.get("id"): g for g in root.iter(SVG + "g")}
    texts = ["".join(t.itertext()) for t in root.iter(SVG + "text")]
    curve = [p for p in root.iter(SVG + "path") if p.get("id") == "curve"][0]
    return groups, texts, curve


def main():
    *program, work = sys.argv[1:]
    os.makedirs(work, exist_ok=True)
    failures = 0

    def check(cond, what):
        nonlocal failures
        if not cond:
            failures += 1
            print("FAILED:", what)

    # Spread points: every one is drawn, in both panels; the curve has 400 vertices.
    rows = [(i * 0.1, 3 + 2 * i * 0.1 - 0.05 * (i * 0.1) ** 2 + (0.3 if i % 3 else -0.6))
            for i in range(40)]
    groups, texts, curve = plot(program, work, "spread", rows, "depth <m>,k & s")
    check(len(groups["points"]) == 40, "one mark per point")
    check(len(groups["residuals"]) == 40, "one residual mark per point")
    check(curve.get("d").count("L") == 399, "the curve over the x range")
    check("depth <m>" in texts and "k & s" in texts, "column names as axis labels")
    check(any(t.startswith("R-squared = ") and "n = 40" in t for t in texts), "caption")
    check(any(t.startswith("k & s = ") for t in texts), "equation")

    # A million-fold range of tiny and huge values stays drawable: finite
    # coordinates, tick labels in exponent form.
    rows = [(1e-9 * (1 + i), 1e9 * (1 + i) ** 2) for i in range(50)]
    groups, texts, curve = plot(program, work, "extreme", rows)
    check(len(groups["points"]) == 50, "extreme values drawn")
    check(any("e-08" in t for t in texts) and any("e+1" in t for t in texts), "exponent ticks")

    # Thousands of points on one spot thin out to one mark.
    rows = [(1.0 + (i % 2) * 1e-7, 2.0) for i in range(5000)] + [(2.0, 3.0)]
    groups, texts, curve = plot(program, work, "dense", rows)
    check(len(groups["points"]) <= 4, "points in one pixel cell thinned out")
    print("svg checks failed:", failures)
    sys.exit(1 if failures else 0)


main()
