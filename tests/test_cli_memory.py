"""lxctl's own memory: decoding the largest sensor configuration to standard output and
capturing any number of frames take no more than the SDK needs plus a fixed base. Each run is a
process of its own, its peak resident size read when it ends, under an address-space limit so
that a fault ends in MemoryError rather than in the machine's memory."""
import hashlib
import os
import resource
import struct
import subprocess
import sys
import threading
import zlib

import numpy as np
import pytest

import pylentrasdk as lx
from sanitizer import measures_memory

pytestmark = measures_memory

MB = 1 << 20
ADDRESS_SPACE = 4096 * MB
LARGEST_CONFIG_REGISTERS = 1 << 20  # the most a sensor-config binary may hold


def limit_address_space():
    resource.setrlimit(resource.RLIMIT_AS, (ADDRESS_SPACE, ADDRESS_SPACE))


def run_measured(code, *argv, cwd, stdout_path, timeout=180):
    """Runs `code` (Python, with `argv` as sys.argv[1:]) in a process of its own, standard
    output to `stdout_path`: (exit status, standard error, peak resident size in bytes)."""
    with open(str(stdout_path), "wb") as out, open(str(cwd / "stderr.txt"), "w+b") as err:
        process = subprocess.Popen([sys.executable, "-c", code] + list(argv), cwd=str(cwd),
                                   stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                   preexec_fn=limit_address_space)
        killer = threading.Timer(timeout, process.kill)
        killer.start()
        try:
            _, status, usage = os.wait4(process.pid, 0)
        finally:
            killer.cancel()
        process.returncode = os.waitstatus_to_exitcode(status)
        err.seek(0)
        return process.returncode, err.read().decode(), usage.ru_maxrss * 1024


LXCTL = "import sys; from pylentrasdk import cli; sys.exit(cli.main(sys.argv[1:]))"


def largest_config(folder):
    """A valid sensor-config binary with the most registers the layout allows (8 MB)."""
    cam = lx.LxInitialCameraDevice(0)
    assert lx.LxOpen(cam) == 0
    small = str(folder / "small.bin")
    assert lx.LxExportSensorConfig(cam, small) == 0
    lx.LxClose(cam)
    with open(small, "rb") as exported:
        header = bytearray(exported.read(536))
    struct.pack_into("<I", header, 12, LARGEST_CONFIG_REGISTERS)
    number = np.arange(LARGEST_CONFIG_REGISTERS, dtype=np.uint32)
    table = np.zeros((LARGEST_CONFIG_REGISTERS, 4), "<u2")
    table[:, 0], table[:, 1], table[:, 2] = number >> 16, number & 0xFFFF, number * 7 & 0xFFFF
    body = bytes(header) + table.tobytes()
    path = folder / "largest.bin"
    path.write_bytes(body + struct.pack("<I", zlib.crc32(body)))
    return path


def digest(path):
    sha = hashlib.sha256()
    with open(str(path), "rb") as source:
        for chunk in iter(lambda: source.read(MB), b""):
            sha.update(chunk)
    return sha.hexdigest()


def test_decoding_to_standard_output_takes_no_more_than_the_sdk(tmp_path):
    binary = largest_config(tmp_path)
    # What the SDK itself needs to decode it into a file, in the same kind of process.
    status, err, sdk_peak = run_measured(
        "import sys; from pylentrasdk import cli; import pylentrasdk as lx; "
        "sys.exit(lx.LxDecodeSensorConfig(sys.argv[1], sys.argv[2]))",
        str(binary), "by_sdk.json", cwd=tmp_path, stdout_path=tmp_path / "none.txt")
    assert (status, err) == (0, "")
    status, err, peak = run_measured(LXCTL, "sensor-config", "decode", str(binary),
                                     cwd=tmp_path, stdout_path=tmp_path / "printed.json")
    assert (status, err) == (0, "")
    # The document as the SDK wrote it, which is 10 times the binary's size: holding it, or
    # parsing it, would take many times that.
    assert digest(tmp_path / "printed.json") == digest(tmp_path / "by_sdk.json")
    assert peak - sdk_peak < 8 * binary.stat().st_size, (peak // MB, sdk_peak // MB)


TIMED_OUT = "lxctl: KAVL AR0822 USB Camera: LxGetImage failed: LX_TIMEOUT (-1)"
CAPTURE_FAILING = (
    "import sys; import pylentrasdk as lx; from pylentrasdk import cli, sim; "
    "sim.inject('LxGetImage', result=lx.LX_CAPTURE_RESULT.LX_TIMEOUT); "
    "sys.exit(cli.main(sys.argv[1:]))")


@pytest.mark.parametrize("count", [10 ** 7, 10 ** 9])
def test_a_capture_of_any_count_starts_at_the_base(tmp_path, count):
    # The first frame fails: what the process took until then is what it took to start.
    argv = ["capture", "-f", "0", "-o", "f{n}.raw", "--count"]
    status, err, base = run_measured(CAPTURE_FAILING, *argv, "1", cwd=tmp_path,
                                     stdout_path=tmp_path / "out.txt")
    assert status == 1 and err.startswith(TIMED_OUT) and err.count("\n") == 1
    status, err, peak = run_measured(CAPTURE_FAILING, *argv, str(count), cwd=tmp_path,
                                     stdout_path=tmp_path / "out.txt")
    assert status == 1 and err.startswith(TIMED_OUT) and err.count("\n") == 1
    assert peak - base < 16 * MB, (peak // MB, base // MB)
