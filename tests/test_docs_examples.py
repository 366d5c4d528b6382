"""Every example marked runnable in the documentation runs as written.

A fenced code block whose info string is "python run" or "sh run" is an example to run. The
blocks of one page run in order in one empty folder, as a reader would type them: Python blocks
share one namespace, shell blocks run in bash with the installed commands (lxctl, pytest) on the
path. A block whose info string is "LANGUAGE file NAME" is a file the reader saves as NAME (a
module, a test file for pytest, a rig description): it is written into the folder, not run.
"""
import glob
import os
import re
import subprocess
import sys

import pytest

from pylentrasdk import pyLentraSDK

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PAGES = sorted(glob.glob(os.path.join(ROOT, "docs", "*.md"))
               + glob.glob(os.path.join(ROOT, "sdk", "docs", "*.md"))
               + [os.path.join(ROOT, "README.md")])
RUNNABLE = re.compile(r"^```(\w+)[ \t]+(?:run|file[ \t]+([\w.-]+))[ \t]*\n(.*?)^```[ \t]*$",
                      re.M | re.S)


def examples(page):
    """(line number, language, file name or None, code) of each runnable block of the page."""
    with open(page, encoding="utf-8") as f:
        text = f.read()
    return [(text.count("\n", 0, m.start()) + 1, m.group(1), m.group(2), m.group(3))
            for m in RUNNABLE.finditer(text)]


@pytest.mark.parametrize("page", PAGES, ids=lambda page: os.path.relpath(page, ROOT))
def test_examples_run(page, tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    monkeypatch.delenv("LENTRASDK_SIM", raising=False)
    environment = dict(os.environ)
    environment["PATH"] = os.path.dirname(sys.executable) + os.pathsep + environment["PATH"]
    namespace = {"__name__": "__example__"}
    for line, language, name, code in examples(page):
        where = "{}:{}".format(os.path.relpath(page, ROOT), line)
        if name is not None:
            (tmp_path / name).write_text(code, encoding="utf-8")
        elif language == "python":
            exec(compile(code, where, "exec"), namespace)
        elif language == "sh":
            ran = subprocess.run(["bash", "-e", "-o", "pipefail", "-c", code], env=environment,
                                 stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                 universal_newlines=True, check=False)
            assert ran.returncode == 0, "{} failed:\n{}".format(where, ran.stdout)
        else:
            pytest.fail("{}: no way to run {} examples".format(where, language))


def test_every_page_of_docs_has_a_runnable_example():
    pages = [p for p in PAGES if os.path.dirname(p) == os.path.join(ROOT, "docs")]
    assert pages and [os.path.basename(p) for p in pages if not examples(p)] == []


def test_the_binding_page_lists_every_function_of_the_module_once():
    with open(os.path.join(ROOT, "docs", "binding.md"), encoding="utf-8") as f:
        table = f.read().split("## The functions", 1)[1]
    listed = re.findall(r"`(\w+)\(", table)
    functions = [name for name in dir(pyLentraSDK)
                 if type(getattr(pyLentraSDK, name)).__name__ == "builtin_function_or_method"]
    assert sorted(listed) == sorted(functions)
