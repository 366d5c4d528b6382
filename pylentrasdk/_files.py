"""Writing output files so that a failure never leaves half a file."""

import contextlib
import os
import tempfile


def write_atomically(path, write):
    """Calls write(binary file) on a temporary file beside `path`, then renames it into place.

    A write that fails (an exception from `write`, a full disk, a folder at `path`) leaves no
    partial file and keeps the file that was there. The new file gets the mode a plain new file
    would have. Raises what `write` raises, or OSError."""
    target = os.fspath(path)
    folder = os.path.dirname(os.path.abspath(target))
    fd, temporary = tempfile.mkstemp(dir=folder, prefix="." + os.path.basename(target) + ".",
                                     suffix=".part")
    try:
        with os.fdopen(fd, "wb") as out:
            write(out)
        # mkstemp makes the file private to its owner.
        umask = os.umask(0)
        os.umask(umask)
        os.chmod(temporary, 0o666 & ~umask)
        os.replace(temporary, target)
    except BaseException:
        with contextlib.suppress(OSError):
            os.unlink(temporary)
        raise
