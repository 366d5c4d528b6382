"""Every function of the binding module, called with bad input: empty, closed, open, streaming
and detached camera handles, integers at and beyond every bound, every enumeration member,
records of impossible sizes, empty, 1 MB, NUL-holding and non-UTF-8 texts, folders, device
files and FIFOs as paths. No call may crash the process, hang, or raise an exception other
than those the binding documents (TypeError for arguments it cannot convert, UnicodeDecodeError
for text the SDK hands back that is not UTF-8, RuntimeError for None in place of an enumeration
or record, and an exception a Python callback raised itself).

Route handles come empty, from the example file, from bad files, after the active routes were
reset, and outliving their rig or meeting one whose graph lacks their links or has no route
management; a parameter with a default is also left out.

The functions are found in the module and their parameters read from their signatures, so a
function added later is swept without a change here; one whose parameter type has no bad
values yet is skipped, naming the type. The calls run in a worker process (bad_input_worker.py)
that is started again after a crash.
"""
import json
import os
import select
import stat
import subprocess
import sys

import pytest

import pylentrasdk as lx

MODULE = lx.pyLentraSDK
WORKER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "bad_input_worker.py")
CALL_SECONDS = 10  # a call still running after this is a hang (a call takes milliseconds;
#                   the worker starts in a fraction of a second, a few under the sanitizers)
DOCUMENTED = {"TypeError", "UnicodeDecodeError", "RuntimeError"}

FUNCTIONS = sorted(
    name for name in dir(MODULE)
    if not name.startswith("_") and type(getattr(MODULE, name)).__name__ == "builtin_function_or_method"
)

CAMERA_STATES = ["none", "closed", "open", "streaming", "detached"]
INTS = [0, 1, -1, 2, 255, 256, 65535, 65536, 2**31 - 1, 2**31, -2**31, -2**31 - 1, 2**64]
TEXTS = ["empty", "plain", "long", "nul", "surrogate", "not-utf8-bytes", "folder",
         "missing-folder", "dev-zero", "dev-null", "fifo"]
FORMATS = ["listed", "largest", "empty", "none", "unknown"]
# Route handles: how each is made is the worker's (see its `route`).
ROUTES = (["example", "active", "after-routes-reset", "after-rig-reset", "rig-without-links",
           "rig-without-routes"]
          + ["file-" + kind for kind in ("empty", "garbage", "wrong-shape", "unknown-entity",
                                         "huge-pad", "deep", "not-utf8")]
          + ["path-" + kind for kind in ("folder", "dev-zero", "fifo", "nul")])


def parameters(function):
    """(type, has a default) of each parameter in the function's pybind11 signature, types
    without the module prefix."""
    signature = function.__doc__.splitlines()[0]
    inside = signature[signature.index("(") + 1:signature.rindex(") ->")]
    found, depth, current = [], 0, ""
    for char in inside + ",":
        if char == "," and depth == 0:
            if current.strip() not in ("", "/", "*"):
                found.append(current.strip())
            current = ""
            continue
        depth += (char in "[(") - (char in "])")
        current += char
    out = []
    for parameter in found:  # "arg0: int" or "path: str = ''"
        type_name, has_default, _ = parameter.partition(": ")[2].partition(" = ")
        out.append((type_name.replace("pylentrasdk.pyLentraSDK.", ""), bool(has_default)))
    return out


def bad_values(type_name):
    """(baseline, [bad values]) for a parameter type, or None for a type not known here."""
    wrong_kinds = [["none"], ["float", 1.5], ["text", "plain"]]
    if type_name == "LxCamera":
        return ["camera", "open"], [["camera", s] for s in CAMERA_STATES]
    if type_name in ("int", "typing.SupportsInt | typing.SupportsIndex"):
        return ["int", 0], [["int", n] for n in INTS] + [["bool", 1]] + wrong_kinds
    if type_name in ("float", "typing.SupportsFloat | typing.SupportsIndex"):
        return ["float", 0.0], [["float", x] for x in (-1.0, 1e300, "nan", "inf", "-inf")] + [["none"]]
    if type_name == "str":
        return ["text", "plain"], [["text", t] for t in TEXTS] + [["none"], ["int", 1]]
    if type_name == "LxRoute":
        return ["route", "example"], [["route", r] for r in ROUTES] + [["none"], ["int", 1],
                                                                       ["text", "plain"]]
    if type_name == "LxFormat":
        return ["format", "listed"], [["format", f] for f in FORMATS] + [["none"], ["int", 0]]
    if type_name.startswith(("collections.abc.Callable", "typing.Callable", "Callable")):
        return ["callable", "quiet"], [["callable", "raises"], ["none"], ["int", 1]]
    kind = getattr(MODULE, type_name, None)
    if isinstance(kind, type) and hasattr(kind, "__members__"):
        members = [["enum", type_name, i] for i in range(len(kind.__members__))]
        return ["enum", type_name, 0], members + [["int", 0], ["none"]]
    if isinstance(kind, type):
        try:
            kind()
        except TypeError:
            return None  # a handle class that Python cannot make (only None is known)
        return ["record", type_name], [["none"], ["int", 0]]
    return None


def calls_for(name):
    """The argument lists to try: every bad value of each parameter with the others at their
    baseline, and each camera state with every other parameter bad too."""
    signature = parameters(getattr(MODULE, name))
    types = [t for t, _ in signature]
    values = []
    for t, has_default in signature:
        known = bad_values(t)
        if known is None:
            pytest.skip("no bad values for parameter type {} of {} yet".format(t, name))
        if has_default:  # only trailing parameters have defaults: leaving one out is a call
            known = (known[0], known[1] + [["omitted"]])
        values.append(known)
    calls = [[baseline for baseline, _ in values]]
    for position, (_, bad) in enumerate(values):
        for value in bad:
            args = [baseline for baseline, _ in values]
            args[position] = value
            calls.append(args)
            if types[0] == "LxCamera" and position > 0:
                calls.append([["camera", "streaming"]] + args[1:])
    return calls


class Worker:
    """The worker process, started again whenever a call ends it."""

    def __init__(self, scratch):
        self.scratch = scratch
        self.process = None

    def start(self):
        read, write = os.pipe()
        self.stderr = open(os.path.join(self.scratch, "worker.err"), "w+")
        self.process = subprocess.Popen(
            [sys.executable, WORKER, str(write), self.scratch], stdin=subprocess.PIPE,
            stdout=subprocess.DEVNULL, stderr=self.stderr, pass_fds=(write,), text=True,
            cwd=self.scratch)
        os.close(write)
        self.answers = os.fdopen(read)

    def stop(self):
        if self.process is not None:
            self.process.kill()
            self.process.wait()
            self.process.stdin.close()
            self.answers.close()
            self.stderr.close()
            self.process = None

    def call(self, name, args):
        """None when the call returned or raised a documented exception, else what went wrong."""
        if self.process is None:
            self.start()
        self.process.stdin.write(json.dumps({"function": name, "args": args}) + "\n")
        self.process.stdin.flush()
        ready, _, _ = select.select([self.answers], [], [], CALL_SECONDS)
        line = self.answers.readline() if ready else ""
        if not ready or not line:
            if ready:
                self.process.wait(CALL_SECONDS)
                self.stderr.seek(0)
                tail = self.stderr.read()[-2000:]
                what = "crashed (exit status {}): {}".format(self.process.returncode, tail)
            else:
                what = "hung (no answer within {} s)".format(CALL_SECONDS)
            self.stop()
            return what
        answer = json.loads(line)
        raised = answer["raised"]
        allowed = DOCUMENTED | ({"KeyError"} if ["callable", "raises"] in args else set())
        if raised is not None and raised not in allowed:
            return "raised {}: {}".format(raised, answer["message"])
        return None


@pytest.fixture(scope="module")
def worker(tmp_path_factory):
    scratch = str(tmp_path_factory.mktemp("bad-input"))
    os.mkfifo(os.path.join(scratch, "fifo"))
    w = Worker(scratch)
    yield w
    w.stop()


@pytest.mark.parametrize("name", FUNCTIONS)
def test_no_crash_hang_or_undocumented_exception(worker, name):
    failures = []
    for args in calls_for(name):
        what = worker.call(name, args)
        if what:
            failures.append("{}({}) {}".format(name, ", ".join(json.dumps(a) for a in args), what))
        # Device files are passed as paths: no call may replace one (a write renamed into place
        # over /dev/null would leave a plain file there for the whole machine).
        for device in ("/dev/null", "/dev/zero"):
            if not stat.S_ISCHR(os.lstat(device).st_mode):
                pytest.fail("{}({}) replaced {}".format(name, json.dumps(args), device))
    assert not failures, "\n".join(failures[:10])


def test_every_function_and_parameter_is_swept():
    # The sweep finds functions by their kind: make sure it finds them all (the module's 77),
    # and that no parameter type is left without bad values (its function would be skipped).
    assert len(FUNCTIONS) == 77 and {"LxGetImage", "LxOpen", "LxSetLogFile"} <= set(FUNCTIONS)
    unknown = {(name, t) for name in FUNCTIONS for t, _ in parameters(getattr(MODULE, name))
               if bad_values(t) is None}
    assert not unknown
