"""Checks that the layers include one another one way only.

    python3 check_layer_order.py <source tree>

The layers, from the bottom: runtime < errors < probability < kernels <
tables < regression < api, with drivers and cli side by side above api and
python above api and cli. A file of a layer may include the headers of its
own layer and of the layers beneath it, never those above it, and never the
umbrella ksatfit.hpp, which gathers everything for the library's users.
The public header include/ksatfit/<layer>.hpp belongs to its layer; any
other public header is the application interface, api. Tests, benchmarks
and fuzzers may include anything.

Each include that breaks the order is reported as file:line with the rule
it breaks; the exit status is 1 if there is any.
"""
import pathlib
import re
import sys

ORDER = ["runtime", "errors", "probability", "kernels", "tables", "regression", "api"]
# The layers above api, each with the layers beside it that it may use.
ABOVE_API = {"drivers": [], "cli": [], "python": ["cli"]}
ORDER_TEXT = " < ".join(ORDER) + " < drivers, cli (python over api and cli)"
SOURCE_SUFFIXES = {".c", ".cc", ".cpp", ".cxx", ".h", ".hh", ".hpp", ".hxx", ".inc", ".ipp"}
EXEMPT = {"tests", "bench", "fuzz"}
INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^>"]+)[>"]')


def may_include(layer):
    """The layers whose headers a file of `layer` may include."""
    if layer in ORDER:
        return set(ORDER[: ORDER.index(layer) + 1])
    return set(ORDER) | {layer} | set(ABOVE_API[layer])


def layer_of_public_header(name):
    """The layer of a header under include/, by its path there."""
    if name == "ksatfit.hpp":
        return "umbrella"
    stem = pathlib.PurePosixPath(name).stem
    if name.startswith("ksatfit/") and stem in ORDER:
        return stem
    return "api"


def layer_of_include(path):
    """The layer an included path belongs to, "exempt" for test code, or
    None for a header from outside the project."""
    first = path.split("/", 1)[0]
    if first in ORDER or first in ABOVE_API:
        return first
    if first in EXEMPT:
        return "exempt"
    if path == "ksatfit.hpp" or path.startswith("ksatfit/") or path == "ksatfit_fortran.h":
        return layer_of_public_header(path)
    return None


def files_of_layers(root):
    """(file, layer) for every source file of a layer, public headers included."""
    for layer in ORDER + list(ABOVE_API):
        folder = root / layer
        if folder.is_dir():  # a layer yet to be written has no folder
            for file in sorted(folder.rglob("*")):
                if file.suffix in SOURCE_SUFFIXES:
                    yield file, layer
    for file in sorted((root / "include").rglob("*")):
        if file.suffix in SOURCE_SUFFIXES:
            layer = layer_of_public_header(file.relative_to(root / "include").as_posix())
            if layer != "umbrella":
                yield file, layer


def broken_rule(layer, included, target):
    """The rule that `layer` including a header of layer `target` breaks, or None."""
    if target is None or target in may_include(layer):
        return None
    if target == "umbrella":
        return (f'includes the umbrella "{included}", which is for the library\'s users: '
                "include the headers of the layers it uses (ksatfit/<layer>.hpp)")
    if target == "exempt":
        return f'includes "{included}", which belongs to the tests'
    if layer in ORDER:
        return (f'a file of {layer} includes "{included}" of {target}, a layer above it: '
                f"the layers go {ORDER_TEXT}; a file includes only its own layer and those "
                "beneath it")
    return (f'a file of {layer} includes "{included}" of {target}: drivers, cli and python '
            "stand beside one another above api, and only python may use cli")


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    problems = []
    files = includes = 0
    for file, layer in files_of_layers(root):
        files += 1
        text = file.read_text(encoding="utf-8", errors="replace")
        for number, line in enumerate(text.splitlines(), start=1):
            match = INCLUDE.match(line)
            if not match:
                continue
            includes += 1
            rule = broken_rule(layer, match.group(1), layer_of_include(match.group(1)))
            if rule:
                problems.append(f"{file.relative_to(root).as_posix()}:{number}: {rule}")
    for problem in problems:
        print(problem)
    if problems:
        print(f"layer order broken: {len(problems)} include(s) in {files} files")
        return 1
    print(f"layer order holds: {includes} includes in {files} files ({ORDER_TEXT})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
