"""Runs the shell examples of documentation pages and checks what they show.

    python3 check_shell_examples.py PROGRAM_DIR SOURCE_DIR PAGE...

In a page's code blocks a line "$ command" is a command, and the lines after
it, up to the next command or the end of the block, are what it prints
(standard output and standard error as a terminal shows them); a line "..."
stands for any number of lines. The commands of a page run in order in a
fresh directory that holds a copy of the source tree's examples/, with
PROGRAM_DIR first on the PATH, so later examples can use the files earlier
ones write. Each must end with exit status 0, unless the next command is
"echo $?": then its status must be the number shown.
"""
import os
import pathlib
import pty
import re
import shutil
import subprocess
import sys
import tempfile

FENCE = re.compile(r"^\s*(```|~~~)")


def code_blocks(text):
    """(first line number, lines) of each fenced or indented code block."""
    blocks, current, start, fenced = [], None, 0, False
    previous = ""
    for number, line in enumerate(text.splitlines(), start=1):
        if FENCE.match(line):
            if current is not None:
                blocks.append((start, current))
            current, start, fenced = ([], number + 1, True) if not fenced else (None, 0, False)
        elif fenced:
            current.append(line)
        elif line.startswith("    ") and (current is not None or not previous.strip()):
            if current is None:
                current, start = [], number
            current.append(line[4:])
        elif current is not None and not line.strip():
            current.append("")
        elif current is not None:
            blocks.append((start, current))
            current = None
        previous = line
    if current is not None:
        blocks.append((start, current))
    return blocks


def examples(text):
    """[line number, command, shown output lines] in page order."""
    found = []
    for start, lines in code_blocks(text):
        for offset, line in enumerate(lines):
            if line.startswith("$ "):
                found.append([start + offset, line[2:], []])
            elif found and found[-1][0] >= start:
                found[-1][2].append(line.rstrip())
    for example in found:
        while example[2] and not example[2][-1]:
            example[2].pop()
    return found


def run(command, directory, path):
    """Exit status and output of a command run in a terminal."""
    master, slave = pty.openpty()
    process = subprocess.Popen(["bash", "-o", "pipefail", "-c", command], cwd=directory,
                               stdin=subprocess.DEVNULL, stdout=slave, stderr=slave,
                               env=dict(os.environ, PATH=path, COLUMNS="80"))
    os.close(slave)
    chunks = []
    while True:
        try:
            chunk = os.read(master, 65536)
        except OSError:  # the terminal closes when the command ends
            break
        if not chunk:
            break
        chunks.append(chunk)
    os.close(master)
    status = process.wait(timeout=120)
    text = b"".join(chunks).decode("utf-8", errors="replace").replace("\r\n", "\n")
    lines = [line.rstrip() for line in text.split("\n")]
    while lines and not lines[-1]:
        lines.pop()
    return status, lines


def matches(shown, actual):
    """Whether the actual lines match the shown ones, "..." matching any lines."""
    if not shown:
        return not actual
    if shown[0] == "...":
        return any(matches(shown[1:], actual[i:]) for i in range(len(actual) + 1))
    return bool(actual) and shown[0] == actual[0] and matches(shown[1:], actual[1:])


def check_page(page, source, path):
    problems = []
    found = examples(page.read_text(encoding="utf-8"))
    with tempfile.TemporaryDirectory() as directory:
        shutil.copytree(source / "examples", pathlib.Path(directory) / "examples")
        index = 0
        while index < len(found):
            number, command, shown = found[index]
            status, actual = run(command, directory, path)
            where = f"{page.name}:{number}: $ {command}"
            expected = 0
            if index + 1 < len(found) and found[index + 1][1].strip() == "echo $?":
                index += 1
                expected = int(found[index][2][0]) if found[index][2] else None
            wrong = []
            if status != expected:
                wrong.append(f"  exit status {status}, the page shows {expected}")
            if shown and not matches(shown, actual):
                wrong.append("  shows:\n    " + "\n    ".join(shown) +
                             "\n  prints:\n    " + "\n    ".join(actual))
            if wrong:
                problems.append("\n".join([where] + wrong))
            index += 1
    return len(found), problems


def main():
    program_dir, source = pathlib.Path(sys.argv[1]).resolve(), pathlib.Path(sys.argv[2])
    path = f"{program_dir}{os.pathsep}{os.environ.get('PATH', '')}"
    total, problems = 0, []
    for name in sys.argv[3:]:
        count, page_problems = check_page(source / name, source, path)
        total += count
        problems += page_problems
        print(f"{name}: {count} commands")
    for problem in problems:
        print(problem)
    if problems:
        print(f"{len(problems)} of {total} commands do not do what their page shows")
        return 1
    print(f"all {total} commands do what their pages show")
    return 0


if __name__ == "__main__":
    sys.exit(main())
