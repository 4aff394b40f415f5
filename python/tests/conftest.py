"""Shared fixtures: the data of examples/temp3 and the ksatfit program, which
the package's results are compared with."""
import json
import os
import subprocess
from pathlib import Path

import numpy as np
import pytest

SOURCE = Path(__file__).resolve().parents[2]


def temp3_pairs():
    """The (x, y) pairs of the bundled scratch file."""
    rows = [line.split() for line in (SOURCE / "examples" / "temp3").read_text().splitlines()]
    return (np.array([float(r[0]) for r in rows if r]), np.array([float(r[1]) for r in rows if r]))


class Program:
    """Runs `ksatfit fit` on columns written as a CSV file without a header
    (so that a row's line is its number from 1), each number in the form
    that reads back as the same double (repr), NaN as a missing cell."""

    def __init__(self, path: str, directory: Path) -> None:
        self.path = path
        self.directory = directory
        self.runs = 0

    @staticmethod
    def names(columns: dict) -> tuple:
        """The tool's names of the columns x, y, w and f: their numbers."""
        numbers = {name: str(i + 1) for i, name in enumerate(columns)}
        return tuple(numbers.get(name) for name in ("x", "y", "w", "f"))

    def write(self, columns: dict) -> Path:
        self.runs += 1
        file = self.directory / f"data{self.runs}.csv"
        rows = zip(*columns.values())
        file.write_text("".join(",".join("" if np.isnan(v) else repr(float(v)) for v in row) + "\n"
                                for row in rows))
        return file

    def run(self, columns: dict, *options: str) -> str:
        file = self.write(columns)
        args = [self.path, "fit", str(file)]
        for option, name in zip(("--x", "--y", "--weight", "--frequency"), self.names(columns)):
            if name is not None:
                args += [option, name]
        done = subprocess.run(args + list(options), capture_output=True, text=True, check=True)
        return done.stdout

    def json(self, columns: dict, *options: str) -> dict:
        return json.loads(self.run(columns, "--json", *options))


@pytest.fixture(scope="session")
def program(tmp_path_factory) -> Program:
    path = os.environ.get("KSATFIT_PROGRAM")
    if path is None:
        default = SOURCE / "build" / "release" / "ksatfit"
        if not default.exists():
            pytest.skip("no ksatfit program to compare with: build the target ksatfit_cli "
                        "of the release preset or set KSATFIT_PROGRAM")
        path = str(default)
    return Program(path, tmp_path_factory.mktemp("program"))
