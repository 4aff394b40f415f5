"""The installed package stands alone: the library is inside its module."""
import os
import subprocess
from pathlib import Path

import pytest

import ksatfit
from conftest import SOURCE


def test_the_module_holds_the_library():
    module = Path(ksatfit._ksatfit.__file__)
    needed = subprocess.run(["ldd", str(module)], capture_output=True, text=True, check=True).stdout
    assert "ksatfit" not in needed and "not found" not in needed
    assert (module.parent / "py.typed").is_file()


@pytest.mark.skipif(os.environ.get("KSATFIT_INSTALLED") != "1",
                    reason="run by python/test_installed.sh against an installed wheel")
def test_imported_from_the_installation_not_the_sources():
    package = Path(ksatfit.__file__).resolve()
    assert SOURCE / "python" not in package.parents
    assert "site-packages" in package.parts
