"""The peak resident memory one step takes, measured in a child process of its own."""
import subprocess
import sys

CHILD = r"""
import sys
exec(sys.argv[1])
def kib(field):
    for line in open("/proc/self/status"):
        if line.startswith(field + ":"):
            return int(line.split()[1])
with open("/proc/self/clear_refs", "w") as f:
    f.write("5")  # the high-water mark starts again from the resident size now
before = kib("VmRSS")
exec(sys.argv[2])
print(kib("VmHWM") - before)
"""


def peak_growth(setup, step, timeout=300):
    """Bytes by which `step` raised the resident size above what it was after `setup` (both
    Python source run in one child process), at the step's peak."""
    child = subprocess.run([sys.executable, "-c", CHILD, setup, step], capture_output=True,
                           text=True, timeout=timeout, cwd="/")
    assert child.returncode == 0, child.stderr
    return int(child.stdout.split()[-1]) * 1024
