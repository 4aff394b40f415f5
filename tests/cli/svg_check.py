"""The plot is well-formed XML with one mark per plotted point, the curve, its
bands and the flagged readings; with --by, one panel per group, titled with
the group.

Usage: svg_check.py [EMULATOR...] KSATFIT WORK_DIR
"""
import os
import subprocess
import sys
import xml.etree.ElementTree as ET

SVG = "{http://www.w3.org/2000/svg}"


def svg_of(program, work, name, text, options=(), status=0):
    data = os.path.join(work, name + ".csv")
    out = os.path.join(work, name + ".svg")
    with open(data, "w") as f:
        f.write(text)
    run = subprocess.run([*program, "fit", data, "--plot", out, *options],
                         capture_output=True, text=True)
    assert run.returncode == status, run.stderr
    root = ET.parse(out).getroot()  # raises unless well-formed
    assert root.tag == SVG + "svg"
    for bad in ("script", "image", "foreignObject", "use", "style"):
        assert not list(root.iter(SVG + bad)), bad
    return root


def plot(program, work, name, rows, header="x,y", options=()):
    root = svg_of(program, work, name,
                  header + "\n" + "".join(f"{x!r},{y!r}\n" for x, y in rows), options)
    groups = {g.get("id"): g for g in root.iter(SVG + "g")}
    texts = ["".join(t.itertext()) for t in root.iter(SVG + "text")]
    curve = [p for p in root.iter(SVG + "path") if p.get("id") == "curve"][0]
    return groups, texts, curve


def numbers(path_data):
    """The (x, y) vertices of an SVG path made of M and L commands."""
    values = [float(v) for v in path_data.replace("M", " ").replace("L", " ").split()]
    return list(zip(values[0::2], values[1::2]))


def band_checks(check, program, work):
    """The bands enclose the curve; the flagged readings carry their lines."""
    import math
    rows = [(0.5 + 0.025 * i, 1 + 2 * (0.5 + 0.025 * i) + 0.03 * math.sin(1.7 * i)
             + (0.5 if i == 9 else 0)) for i in range(24)]
    groups, texts, curve = plot(program, work, "bands", rows, "# run 7\nx,y",
                                ("--degree", "1", "--level", "90"))
    root = ET.parse(os.path.join(work, "bands.svg")).getroot()
    polygons = [p for p in root.iter(SVG + "polygon") if p.get("id") == "confidence-band"]
    check(len(polygons) == 1, "one confidence band")
    band = [tuple(map(float, v.split(","))) for v in polygons[0].get("points").split()]
    upper, lower = band[:400], band[400:][::-1]
    curve_points = numbers(curve.get("d"))
    check(len(band) == 800 and [u[0] for u in upper] == [c[0] for c in curve_points]
          and [v[0] for v in lower] == [c[0] for c in curve_points],
          "the band runs along the curve and back")
    check(all(u[1] < c[1] < v[1] for u, c, v in zip(upper, curve_points, lower)),
          "the curve inside its confidence band")
    paths = {p.get("id"): p for p in root.iter(SVG + "path")}
    top, bottom = (numbers(paths[k].get("d")) for k in ("prediction-upper", "prediction-lower"))
    check(all(p[1] < u[1] and v[1] < q[1] for p, u, v, q in zip(top, upper, lower, bottom)),
          "the prediction band outside the confidence band")
    check(all(paths[k].get("stroke-dasharray") for k in ("prediction-upper", "prediction-lower")),
          "prediction band dashed")
    check(any(t == "90 % confidence band (mean)" for t in texts)
          and any(t == "90 % prediction band (one reading)" for t in texts), "legend with the level")
    flagged = groups.get("flagged")
    labels = ["".join(t.itertext()) for t in flagged.iter(SVG + "text")] if flagged is not None else []
    check(labels == ["line 12"], "the planted outlier labelled with its line: " + repr(labels))
    caption = [t for t in texts if t.startswith("R-squared = ")]
    check(len(caption) == 1 and len(caption[0].split()[2].replace(".", "")) == 4,
          "R-squared to 4 digits: " + repr(caption))
    equation = [t for t in texts if t.startswith("y = ")][0]
    digits = [w.replace(".", "").lstrip("0") for w in equation.split() if w[0].isdigit()]
    check(all(len(d) <= 6 for d in digits), "coefficients to 6 digits: " + equation)


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
    band_checks(check, program, work)
    # Small multiples: a panel per group in the order the groups first
    # appear, each titled with its group and holding its own points, curve
    # and band; a group whose fit failed has its points only.
    groups = ["B-12", "<a & b>", "A", "flat", "7"]
    text = "x,y,lot\n"
    for i in range(60):
        g = groups[i % 5]
        x = 0.7 if g == "flat" else 0.5 + 0.05 * (i // 5)
        text += f"{x!r},{3 - 2 * x + x * x + 0.01 * (i % 3)!r},{g}\n"
    root = svg_of(program, work, "groups", text, ["--by", "lot"], status=1)
    panels = [g for g in root.iter(SVG + "g") if g.get("class") == "panel"]
    check(len(panels) == 5, "one panel per group")
    titles = ["".join(t.itertext()) for p in panels for t in p.iter(SVG + "text")
              if t.get("class") == "title"]
    check(titles == groups, "panel titles are the groups in order: %s" % titles)
    for p in panels:
        marks = [g for g in p.iter(SVG + "g") if g.get("class") == "points"]
        curves = [c for c in p.iter(SVG + "path") if c.get("class") == "curve"]
        check(len(marks) == 1 and len(marks[0]) >= 2, "points in every panel")
        bands = [b for b in p.iter(SVG + "polygon") if b.get("class") == "band"]
        worked = 0 if p is panels[3] else 1
        check(len(curves) == worked, "a curve where the fit worked")
        check(len(bands) == worked, "a confidence band where the fit worked")
    # A reading far off its group's curve is flagged in its panel, titled
    # with its line in the file.
    text = "x,y,lot\n" + "".join(f"{0.1 * i!r},{1 + 0.1 * i + (3 if i == 7 else 0)!r},S\n"
                                   for i in range(15))
    root = svg_of(program, work, "flagged", text, ["--by", "3"])
    flags = [c for g in root.iter(SVG + "g") if g.get("class") == "flagged"
             for c in g.iter(SVG + "circle")]
    check(any("".join(c.itertext()) == "line 9" for c in flags),
          "the flagged reading of line 9: %s" % ["".join(c.itertext()) for c in flags])
    print("svg checks failed:", failures)
    sys.exit(1 if failures else 0)


main()
