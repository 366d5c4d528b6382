"""How the package is laid out: one layer per folder, types inline, no import circle, and the
import paths users and the console tool rely on."""
import ast
import importlib
import importlib.machinery
import os

import pytest

import pylentrasdk

SOURCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "pylentrasdk")
PACKAGE = os.path.dirname(os.path.abspath(pylentrasdk.__file__))


def _modules(folder):
    """{dotted module name: path} of every .py file in the package folder."""
    found = {}
    for top, _, files in os.walk(folder):
        for name in files:
            if not name.endswith(".py"):
                continue
            parts = os.path.relpath(os.path.join(top, name), folder)[:-3].split(os.sep)
            if parts[-1] == "__init__":
                parts = parts[:-1]
            found[".".join(["pylentrasdk"] + parts)] = os.path.join(top, name)
    return found


def _type_checking_only(node):
    if not isinstance(node, ast.If):
        return False
    test = node.test
    return (
        (isinstance(test, ast.Name) and test.id == "TYPE_CHECKING")
        or (isinstance(test, ast.Attribute) and test.attr == "TYPE_CHECKING"))


def _imports(tree, module, is_package, known):
    """The package's modules that `module` imports, anywhere in its code (functions too), but
    for imports under `if TYPE_CHECKING:`."""
    found = set()

    def visit(node):
        if _type_checking_only(node):
            for child in node.orelse:
                visit(child)
            return
        if isinstance(node, ast.Import):
            found.update(alias.name for alias in node.names)
        elif isinstance(node, ast.ImportFrom):
            if node.level:
                base = module.split(".") if is_package else module.split(".")[:-1]
                base = base[:len(base) - node.level + 1]
                target = ".".join(base + ([node.module] if node.module else []))
            else:
                target = node.module
            for alias in node.names:
                submodule = "{}.{}".format(target, alias.name)
                found.add(submodule if submodule in known else target)
        for child in ast.iter_child_nodes(node):
            visit(child)

    visit(tree)
    return {name for name in found if name in known}


def _compiled():
    """The compiled modules of the installed package, by dotted name."""
    suffixes = tuple(importlib.machinery.EXTENSION_SUFFIXES)
    return {"pylentrasdk." + name.split(".")[0] for name in os.listdir(PACKAGE)
            if name.endswith(suffixes)}


def test_no_import_circle_in_the_package():
    modules = _modules(SOURCE)
    graph = {name: set() for name in _compiled()}  # leaves: they import no plain module
    known = dict(modules, **{name: None for name in graph})
    for module, path in modules.items():
        with open(path, encoding="utf-8") as f:
            tree = ast.parse(f.read(), path)
        graph[module] = _imports(tree, module, path.endswith("__init__.py"), known) - {module}

    # Tarjan's strongly connected components: any of more than one module is a circle.
    index, low, stack, on_stack, circles = {}, {}, [], set(), []

    def connect(node):
        index[node] = low[node] = len(index)
        stack.append(node)
        on_stack.add(node)
        for target in graph[node]:
            if target not in index:
                connect(target)
                low[node] = min(low[node], low[target])
            elif target in on_stack:
                low[node] = min(low[node], index[target])
        if low[node] == index[node]:
            component = set()
            while True:
                member = stack.pop()
                on_stack.discard(member)
                component.add(member)
                if member == node:
                    break
            if len(component) > 1:
                circles.append(sorted(component))

    for node in sorted(graph):
        if node not in index:
            connect(node)
    assert circles == []
    # The layers import downwards: the fronts use the camera layer, never the reverse.
    for module, targets in graph.items():
        if module.startswith(("pylentrasdk.camera", "pylentrasdk.stream")):
            assert not any(t.startswith(("pylentrasdk.cli", "pylentrasdk.viewer",
                                         "pylentrasdk.testing")) for t in targets), module


def test_types_are_inline_with_stubs_for_compiled_modules_only():
    twins = []
    for top, _, files in os.walk(PACKAGE):
        for name in files:
            if name.endswith(".pyi") and os.path.exists(os.path.join(top, name[:-1])):
                twins.append(os.path.join(os.path.relpath(top, PACKAGE), name))
    assert twins == []
    assert os.path.isfile(os.path.join(PACKAGE, "py.typed"))


@pytest.mark.parametrize("path", [
    "pylentrasdk.pyLentraSDK", "pylentrasdk.pylentractl", "pylentrasdk.frames",
    "pylentrasdk.sim", "pylentrasdk.stream", "pylentrasdk.testing", "pylentrasdk.camera",
    "pylentrasdk.cli", "pylentrasdk.errors", "pylentrasdk.formats", "pylentrasdk.viewer"])
def test_the_import_paths_users_rely_on(path):
    module = importlib.import_module(path)
    if path in ("pylentrasdk.camera", "pylentrasdk.cli"):
        assert hasattr(module, "__path__")  # packages, one module per part
    assert pylentrasdk.Camera is importlib.import_module("pylentrasdk.camera").Camera
    assert pylentrasdk.pylentractl.main and pylentrasdk.LxOpen is pylentrasdk.pyLentraSDK.LxOpen
