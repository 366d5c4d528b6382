"""The type stubs shipped with the package describe the installed modules as they are.

stubtest (mypy's) compares every stub with the module it describes: names, classes, and the
signatures of the Python modules. The binding's functions carry their signatures only in their
docstrings (pybind11 writes them from the C++ types), so their parameters and results are
compared with those here. mypy then checks code that uses the results, to show that the types
are real: correct use passes and each misuse is caught.
"""
import ast
import glob
import os
import re
import shutil
import subprocess
import sys

import pytest

import pylentrasdk
from pylentrasdk import pyLentraSDK

pytest.importorskip("mypy")

HERE = os.path.dirname(os.path.abspath(__file__))
PACKAGE = os.path.dirname(os.path.abspath(pylentrasdk.__file__))
# Stubs are for the compiled modules only: the plain modules carry their types inline.
STUBBED = ["pyLentraSDK", "stream", "_convert", "_tables", "pylentractl"]


def _run(arguments, folder):
    # From an empty folder, so that the installed package is what is checked, not the sources.
    # Under the sanitizers the process is mypy's: its heap at exit is mypy's, not ours, and the
    # leak checker's tracer has crashed walking it, so leak detection is off for it alone.
    env = dict(os.environ)
    if "ASAN_OPTIONS" in env:
        env["ASAN_OPTIONS"] += ":detect_leaks=0"
    return subprocess.run([sys.executable, "-m"] + arguments, cwd=str(folder), env=env,
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          universal_newlines=True, check=False)


def test_the_package_ships_its_stubs_valid_for_python_3_9():
    stubs = {os.path.basename(p) for p in glob.glob(os.path.join(PACKAGE, "*.pyi"))}
    assert os.path.isfile(os.path.join(PACKAGE, "py.typed"))
    assert {name + ".pyi" for name in STUBBED} <= stubs
    for name in stubs:
        with open(os.path.join(PACKAGE, name), encoding="utf-8") as f:
            ast.parse(f.read(), name, feature_version=(3, 9))


def test_the_installed_package_passes_strict_mypy(tmp_path):
    # Types are written inline in the plain modules: strict mypy (pyproject.toml) on the
    # package as installed checks them, and that the stubs of the compiled modules fit them.
    ran = _run(["mypy", "--config-file", os.path.join(HERE, os.pardir, "pyproject.toml"),
                "--cache-dir", str(tmp_path / "cache"), "-p", "pylentrasdk"], tmp_path)
    assert ran.returncode == 0, ran.stdout


def test_the_plain_modules_are_valid_python_3_9():
    # mypy checks for the newest Pythons only; the syntax of 3.9 is checked here.
    for top, _, files in os.walk(PACKAGE):
        for name in files:
            if name.endswith(".py"):
                with open(os.path.join(top, name), encoding="utf-8") as f:
                    ast.parse(f.read(), name, feature_version=(3, 9))


@pytest.mark.skipif(sys.version_info < (3, 10), reason="stubtest on Python 3.9 (mypy 1.19 "
                    "there) takes the typing names each module imports for its own; the stubs are "
                    "checked on the newer Pythons")
def test_stubtest_finds_the_stubs_true_to_the_modules(tmp_path):
    # The package and every module in it, with the project's mypy settings: the package's own
    # modules are checked as strictly as anywhere, and the libraries it names as untyped are
    # not errors.
    ran = _run(["mypy.stubtest", "--concise", "--mypy-config-file",
                os.path.join(HERE, os.pardir, "pyproject.toml"), "--allowlist",
                os.path.join(HERE, "stubtest_allowlist.txt"), "pylentrasdk"], tmp_path)
    assert ran.returncode == 0, ran.stdout


def _signature(text):
    """(parameters as (name, annotation), result annotation) of a "name(...) -> result" text,
    with the module's prefix, "| None" and "| bytes" dropped: pybind11 writes an empty handle's
    type as the handle's, where the stubs say it may be None, and a path's as str, where the
    stubs say bytes are taken too."""
    function = ast.parse("def " + text + ": ...").body[0]
    arguments = function.args.posonlyargs + function.args.args

    def plain(node):
        text = ast.unparse(node) if node is not None else ""
        # Paths are taken as bytes too (pybind11's text argument takes both).
        text = re.sub(r"\s*\|\s*bytes\b", "", text)
        return re.sub(r"\s*\|\s*None\b", "", text.replace("pylentrasdk.pyLentraSDK.", ""))

    return [(a.arg, plain(a.annotation)) for a in arguments], plain(function.returns)


def _stub_functions():
    with open(os.path.join(PACKAGE, "pyLentraSDK.pyi"), encoding="utf-8") as f:
        tree = ast.parse(f.read())
    return {node.name: node for node in tree.body if isinstance(node, ast.FunctionDef)}


def test_binding_functions_take_and_give_what_their_stubs_say():
    stubs = _stub_functions()
    functions = [n for n in dir(pyLentraSDK) if callable(getattr(pyLentraSDK, n))
                 and type(getattr(pyLentraSDK, n)).__name__ == "builtin_function_or_method"]
    assert sorted(stubs) == sorted(functions)
    differ = []
    for name in functions:
        runtime = getattr(pyLentraSDK, name).__doc__.splitlines()[0]
        stub = stubs[name]
        stub.body = [ast.Expr(ast.Constant(...))]
        stub_text = ast.unparse(stub).split("def ", 1)[1].rsplit(":", 1)[0]
        if _signature(runtime) != _signature(stub_text):
            differ.append("{}\n  module: {}\n  stub:   {}".format(name, runtime, stub_text))
    assert not differ, "\n".join(differ)


def test_mypy_types_the_results_and_catches_misuse(tmp_path):
    for name in ("typed_usage.py", "typed_misuse.py"):
        shutil.copy(os.path.join(HERE, name), str(tmp_path))
    ran = _run(["mypy", "--no-error-summary", "--cache-dir", str(tmp_path / "cache"),
                "typed_usage.py", "typed_misuse.py"], tmp_path)
    found = sorted(set(re.findall(r"^(typed_\w+\.py):(\d+): error", ran.stdout, re.M)))
    with open(os.path.join(HERE, "typed_misuse.py"), encoding="utf-8") as f:
        expected = [("typed_misuse.py", str(number))
                    for number, line in enumerate(f, 1) if line.rstrip().endswith("# error")]
    assert found == sorted(expected), ran.stdout
