"""Every writer of output files (lxctl, frames.to_png, the console tool's Save Image and the SDK's
own writers) follows one policy: only a new name or a regular file is written; a symbolic link,
a dangling one, a FIFO or a folder at the path is refused and left as it was; a file that was
there keeps its mode and owner; the umask is never changed; a killed writer's temporary file is
gone or removed by the next write; a failed write says what failed."""
import contextlib
import ctypes
import fcntl
import os
import select
import shutil
import subprocess
import sys
import tempfile
import threading
import time

import numpy
import pytest

import pylentrasdk as lx
from pylentrasdk import _files, cli, frames, sim
from conftest import OutOfAnswers
from sanitizer import unsanitized_environment

PREVIOUS = b"the file that was there\n"
IO_ERROR = -8
YUY2 = lx.LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_YUY2


@pytest.fixture(autouse=True)
def fast_frames():
    with sim.free_run():
        yield


@contextlib.contextmanager
def opened_camera():
    cam = lx.LxInitialCameraDevice(0)  # one of the maker's: it exports its sensor config
    assert lx.LxOpen(cam) == 0
    try:
        yield cam
    finally:
        lx.LxClose(cam)


def raw_format(cam):
    """The camera's first format of uncompressed frames (the first one may be MJPG)."""
    return next(f for f in lx.LxGetFormatList(cam)[1] if f.format == YUY2)


class Writers:
    """Each writer as write(target) -> (written, what the caller was told)."""

    def __init__(self, tool, typed, capsys, sensor_bin):
        self.tool, self.typed, self.capsys, self.sensor_bin = tool, typed, capsys, sensor_bin

    def lxctl(self, target):
        status = cli.main(["capture", "-f", "0", "-o", target])
        return status == 0, self.capsys.readouterr().err

    def to_png(self, target):
        with opened_camera() as cam:
            fmt = raw_format(cam)
        frame = numpy.zeros(frames.frame_size(fmt), dtype=numpy.uint8)
        try:
            frames.to_png(frame, fmt, target)
        except OSError as error:
            return False, str(error)
        return True, ""

    def console_tool(self, target):
        self.typed("0", target, "0", "1")  # the first format, the path, skip none, save one
        with opened_camera() as cam, pytest.raises(OutOfAnswers):
            self.tool.SaveImage(cam)
        out = self.capsys.readouterr().out
        return "Save the image to " + target in out, out

    def export(self, target):
        with opened_camera() as cam:
            status = lx.LxExportSensorConfig(cam, target)
        return status == 0, status

    def decode(self, target):
        status = lx.LxDecodeSensorConfig(self.sensor_bin, target)
        return status == 0, status


WRITERS = ["lxctl", "to_png", "console_tool", "export", "decode"]
PYTHON_WRITERS = {"lxctl", "to_png", "console_tool"}  # they say why in words


@pytest.fixture
def writers(tool, typed, capsys, tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    sensor_bin = str(tmp_path / "sensor.bin")
    with opened_camera() as cam:
        assert lx.LxExportSensorConfig(cam, sensor_bin) == 0
    folder = tmp_path / "out"
    folder.mkdir()
    return Writers(tool, typed, capsys, sensor_bin)


@contextlib.contextmanager
def drained_fifo(path):
    """A FIFO whose read end is held open and drained: a writer that wrongly opens it neither
    waits for a reader nor blocks on a full pipe, and what it wrote is collected."""
    os.mkfifo(path)
    fd = os.open(path, os.O_RDONLY | os.O_NONBLOCK)
    received = bytearray()
    stop = threading.Event()

    def drain():
        while not stop.is_set():
            if select.select([fd], [], [], 0.05)[0]:
                with contextlib.suppress(BlockingIOError):
                    chunk = os.read(fd, 1 << 16)
                    received.extend(chunk)
                    if not chunk:
                        time.sleep(0.01)  # no writer any more

    thread = threading.Thread(target=drain, daemon=True)
    thread.start()
    try:
        yield received
    finally:
        stop.set()
        thread.join(5)
        os.close(fd)


def _lstat_kind(path):
    return os.lstat(path).st_mode & 0o170000


@pytest.mark.parametrize("writer", WRITERS)
class TestOnePolicy:
    @pytest.mark.parametrize("kind", ["symlink", "dangling symlink", "fifo", "folder"])
    def test_anything_but_a_regular_file_is_refused_and_left_as_it_was(self, writers, writer,
                                                                        kind, tmp_path):
        folder = tmp_path / "out"
        target = str(folder / "f.raw")
        real = folder / "real.raw"
        with contextlib.ExitStack() as stack:
            if kind == "symlink":
                real.write_bytes(PREVIOUS)
                os.symlink("real.raw", target)
            elif kind == "dangling symlink":
                os.symlink("real.raw", target)
            elif kind == "fifo":
                received = stack.enter_context(drained_fifo(target))
            else:
                os.mkdir(target)
            before = sorted(os.listdir(str(folder))), _lstat_kind(target)
            written, told = getattr(writers, writer)(target)
        assert not written
        if writer in PYTHON_WRITERS:
            said = {"symlink": "a symbolic link", "dangling symlink": "a symbolic link",
                    "fifo": "a FIFO", "folder": "a folder"}[kind]
            assert "is {}, not a regular file".format(said) in told, told
            assert "None" not in told
        else:
            assert told == IO_ERROR
        assert (sorted(os.listdir(str(folder))), _lstat_kind(target)) == before  # no temporary
        if kind == "symlink":
            assert os.readlink(target) == "real.raw" and real.read_bytes() == PREVIOUS
        if kind == "fifo":
            assert received == b""
        if kind == "folder":
            assert os.listdir(target) == []

    @pytest.mark.parametrize("mode", [0o600, 0o640])
    def test_a_file_that_was_there_keeps_its_mode_and_owner(self, writers, writer, tmp_path,
                                                              mode):
        target = tmp_path / "out" / "f.raw"
        target.write_bytes(PREVIOUS)
        target.chmod(mode)
        owner = (os.getuid(), os.getgid())
        if os.geteuid() == 0:
            owner = (1234, 4321)  # any owner, as root may give it
            os.chown(str(target), *owner)
        assert getattr(writers, writer)(str(target))[0]
        info = target.stat()
        assert target.read_bytes() != PREVIOUS
        assert (oct(info.st_mode & 0o7777), info.st_uid, info.st_gid) == (oct(mode),) + owner
        assert os.listdir(str(tmp_path / "out")) == ["f.raw"]


# Makes files as fast as it can, without the interpreter lock (ctypes releases it), and counts
# those that came out group- or world-writable.
FILE_MAKER = r"""
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
volatile int stop_making;
long make_files(const char* path) {
    long loose = 0;
    while (!stop_making) {
        int fd = open(path, O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
        if (fd < 0) return -1;
        struct stat info;
        int got = fstat(fd, &info);
        close(fd);
        unlink(path);
        if (got != 0) return -1;
        if (info.st_mode & 022) ++loose;
    }
    return loose;
}
"""


@pytest.fixture
def file_maker(tmp_path):
    compiler = shutil.which("cc") or shutil.which("gcc") or shutil.which("clang")
    if not compiler:
        pytest.skip("no C compiler to build the file maker")
    (tmp_path / "maker.c").write_text(FILE_MAKER)
    subprocess.run([compiler, "-shared", "-fPIC", "-O2", "-o", str(tmp_path / "maker.so"),
                    str(tmp_path / "maker.c")], check=True, timeout=120,
                   env=unsanitized_environment())
    library = ctypes.CDLL(str(tmp_path / "maker.so"))
    library.make_files.restype = ctypes.c_long
    library.make_files.argtypes = [ctypes.c_char_p]
    return library


@pytest.fixture
def fast_folder(tmp_path):
    """A folder in memory where there is one: a write there takes microseconds, not a disk's
    sync, so many writes meet the other thread."""
    base = "/dev/shm" if os.access("/dev/shm", os.W_OK) else str(tmp_path)
    folder = tempfile.mkdtemp(prefix="lentra-umask-", dir=base)
    yield folder
    shutil.rmtree(folder)


@pytest.mark.parametrize("writer", ["python", "sdk"])
def test_files_made_by_another_thread_during_writes_get_the_umask(file_maker, fast_folder,
                                                                    writer):
    # A writer that set the umask to 0 for a moment gave the files another thread made at that
    # moment mode 0666 (hundreds in two seconds of this test).
    results = []
    maker = threading.Thread(target=lambda: results.append(
        file_maker.make_files(os.path.join(fast_folder, "made").encode())))
    umask = os.umask(0o022)
    try:
        ctypes.c_int.in_dll(file_maker, "stop_making").value = 0
        maker.start()
        with opened_camera() as cam:
            end = time.monotonic() + 2
            while time.monotonic() < end:
                if writer == "python":
                    _files.write_atomically(os.path.join(fast_folder, "f.raw"),
                                            lambda out: out.write(b"x"))
                else:
                    assert lx.LxExportSensorConfig(cam, os.path.join(fast_folder, "f.bin")) == 0
    finally:
        ctypes.c_int.in_dll(file_maker, "stop_making").value = 1
        maker.join()
        os.umask(umask)
    assert results == [0]


KILLED_WRITER = """
import sys, time
from pylentrasdk import _files
if sys.argv[2] == "named":
    _files._UNNAMED = 0  # as on a platform without unnamed temporary files
def write(out):
    out.write(b"x" * 1000000)
    out.flush()
    print("writing", flush=True)
    time.sleep(60)
_files.write_atomically(sys.argv[1], write)
"""


@pytest.mark.parametrize("how", ["unnamed", "named"])
def test_a_killed_writer_leaves_no_temporary_file_for_long(tmp_path, how):
    target = tmp_path / "f.raw"
    target.write_bytes(PREVIOUS)
    writer = subprocess.Popen([sys.executable, "-c", KILLED_WRITER, str(target), how],
                              cwd=str(tmp_path), stdout=subprocess.PIPE, text=True)
    try:
        assert writer.stdout.readline() == "writing\n"
    finally:
        writer.kill()
        writer.wait(60)
        writer.stdout.close()
    left = sorted(set(os.listdir(str(tmp_path))) - {"f.raw"})
    assert target.read_bytes() == PREVIOUS
    if how == "unnamed":
        assert left == []
        return
    assert len(left) == 1 and left[0].startswith(".f.raw.") and left[0].endswith(".lxpart")
    # The next write into that folder, in a process that has not written there yet, removes it.
    done = subprocess.run([sys.executable, "-c", "import sys; from pylentrasdk import _files; "
                           "_files.write_atomically(sys.argv[1], lambda out: out.write(b'new'))",
                           str(tmp_path / "other.raw")], cwd=str(tmp_path), timeout=120)
    assert done.returncode == 0
    assert sorted(os.listdir(str(tmp_path))) == ["f.raw", "other.raw"]


@pytest.mark.parametrize("writer", ["python", "sdk"])
def test_stale_temporary_files_are_removed_and_live_ones_kept(tmp_path, writer):
    # A named temporary file is locked by its writer for as long as the writer lives: the first
    # write into the folder removes those no one holds, whichever writer (package or SDK) left
    # them, and leaves the others.
    stale = tmp_path / ".f.raw.0123456789abcdef.lxpart"
    stale.write_bytes(b"x" * 1000)
    live = tmp_path / ".g.raw.fedcba9876543210.lxpart"
    live.write_bytes(b"y")
    other = tmp_path / ".notes.txt"  # not one of the writers' names
    other.write_bytes(b"z")
    with open(str(live), "rb") as held:
        fcntl.flock(held.fileno(), fcntl.LOCK_EX)
        if writer == "python":
            _files.write_atomically(str(tmp_path / "new.raw"), lambda out: out.write(b"new"))
        else:
            with opened_camera() as cam:
                assert lx.LxExportSensorConfig(cam, str(tmp_path / "new.raw")) == 0
    assert sorted(os.listdir(str(tmp_path))) == [".g.raw.fedcba9876543210.lxpart", ".notes.txt",
                                                 "new.raw"]


FULL_DISK = """
import resource, signal, sys
signal.signal(signal.SIGXFSZ, signal.SIG_IGN)  # a write past the limit fails with EFBIG
resource.setrlimit(resource.RLIMIT_FSIZE, (64, resource.getrlimit(resource.RLIMIT_FSIZE)[1]))
import numpy
import pylentrasdk as lx
from pylentrasdk import cli, frames, sim
sim.set_pacing("free-run")
if sys.argv[1] == "lxctl":
    sys.exit(cli.main(["capture", "-f", "0", "-o", "f.raw"]))
cam = lx.LxInitialCameraDevice(0)
lx.LxOpen(cam)
fmt = next(f for f in lx.LxGetFormatList(cam)[1] if f.format.name.endswith("YUY2"))
frames.to_png(numpy.zeros(frames.frame_size(fmt), numpy.uint8), fmt, "f.raw")
"""


@pytest.mark.parametrize("writer, status, message", [
    ("lxctl", 1, "lxctl: cannot write f.raw: File too large\n"),
    ("to_png", 1, "OSError: [Errno 27] File too large: 'f.raw'"),
])
def test_a_write_past_the_disk_s_room_says_what_failed(tmp_path, writer, status, message):
    (tmp_path / "f.raw").write_bytes(PREVIOUS[:60])
    done = subprocess.run([sys.executable, "-c", FULL_DISK, writer], cwd=str(tmp_path),
                          capture_output=True, text=True, timeout=120)
    assert done.returncode == status and message in done.stderr, done.stderr
    assert os.listdir(str(tmp_path)) == ["f.raw"]
    assert (tmp_path / "f.raw").read_bytes() == PREVIOUS[:60]


def test_the_content_is_on_disk_before_the_name_points_at_it(tmp_path, monkeypatch):
    # Only a power cut shows a missing sync: the practical guard is that the temporary file is
    # synced, and synced before it is renamed into place.
    events = []
    real_fsync, real_rename = os.fsync, os.rename

    def fsync(fd):
        events.append(("fsync", os.fstat(fd).st_size))
        return real_fsync(fd)

    def rename(*args, **kwargs):
        events.append(("rename", None))
        return real_rename(*args, **kwargs)

    monkeypatch.setattr(os, "fsync", fsync)
    monkeypatch.setattr(os, "rename", rename)
    _files.write_atomically(str(tmp_path / "f.raw"), lambda out: out.write(b"new content"))
    assert events == [("fsync", len(b"new content")), ("rename", None)]
    assert (tmp_path / "f.raw").read_bytes() == b"new content"


def test_a_failure_with_no_error_number_still_says_what_failed(tmp_path):
    # numpy's tofile, for one, raises OSError("... requested and ... written") with no number.
    def write(out):
        raise OSError("1 requested and 0 written")

    with pytest.raises(OSError) as raised:
        _files.write_atomically(str(tmp_path / "f.raw"), write)
    assert str(raised.value) == "{}: cannot write the file (1 requested and 0 written)".format(
        tmp_path / "f.raw")
    assert os.listdir(str(tmp_path)) == []


def test_the_log_refuses_a_symbolic_link(tmp_path):
    # The log appends: following a link would write to (or, dangling, create) its target.
    (tmp_path / "real.log").write_text("kept\n")
    os.symlink("real.log", str(tmp_path / "link.log"))
    os.symlink("nowhere.log", str(tmp_path / "dangling.log"))
    code = (
        "import pylentrasdk as lx\n"
        "lx.LxSetLogLevel(lx.LX_LOG_LEVEL.LX_LOG_LEVEL_DEBUG)\n"
        "assert lx.LxSetLogFile('sdk.log') == 0\n"
        "assert lx.LxSetLogFile('link.log') == -8\n"
        "assert lx.LxSetLogFile('dangling.log') == -8\n"
    )
    done = subprocess.run([sys.executable, "-c", code], cwd=str(tmp_path), timeout=120,
                          capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    assert sorted(os.listdir(str(tmp_path))) == ["dangling.log", "link.log", "real.log", "sdk.log"]
    assert (tmp_path / "real.log").read_text() == "kept\n"
    said = (tmp_path / "sdk.log").read_text().splitlines()
    assert len(said) == 2 and all("is a symbolic link" in line for line in said), said


def test_lxctl_names_the_refusal_of_the_sdk_s_output_files(tmp_path, capsys, monkeypatch):
    monkeypatch.chdir(tmp_path)
    os.symlink("nowhere.bin", "link.bin")
    assert cli.main(["sensor-config", "export", "link.bin"]) == 1
    assert capsys.readouterr().err == ("lxctl: cannot write link.bin: is a symbolic link, not a "
                                       "regular file; it is left as it was\n")
    assert sorted(os.listdir(str(tmp_path))) == ["link.bin"]
