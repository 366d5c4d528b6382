"""Writing output files: afterwards a file is either wholly the new content or left as it was.

Every writer of the package (lxctl, `frames.to_png`, `Camera.settings.save`, the console tool's
Save Image, `sim`'s image writers) goes through `write_atomically`, and the SDK's own writer
follows the same rules:

- Only a new name or a regular file is written. A symbolic link (dangling or not), a FIFO, a
  socket, a folder or a device at the path is refused and left as it was: replacing it would put
  a plain file in its place, and writing through it would reach a file the caller never named.
- The content goes to a temporary file in the same folder, is flushed to disk and renamed over
  the path. A file that was there keeps its permission bits and, where the process may set them,
  its owner and group. A new file gets 0666 less the umask, applied by the kernel: the umask is
  never changed, as another thread may be creating files at that moment.
- Where the platform allows (Linux: O_TMPFILE, then a link through /proc/self/fd), the temporary
  file has no name while it is written, so a killed process leaves nothing behind; it is named
  only for the instant between the link and the rename. Elsewhere it is named
  ".<name>.<random>.lxpart". A temporary file is locked (flock) by its writer for as long as it
  has a name; the first write of a process into a folder removes such files that no live writer
  holds.
"""

from __future__ import annotations

import contextlib
import errno
import fcntl
import os
import secrets
import stat
import threading
from typing import BinaryIO, Callable, Union

from .errors import FileWriteError, NotAFileError

#: A file's name as the package takes it.
PathLike = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]


def sdk_path(path: PathLike) -> Union[str, bytes]:
    """`path` as the SDK's functions take it: the text itself, or its bytes when the name is not
    UTF-8 (a name read from the command line keeps such bytes as surrogates, which do not
    encode)."""
    name = os.fspath(path)
    if isinstance(name, bytes):
        return name
    try:
        name.encode("utf-8")
    except UnicodeEncodeError:
        return os.fsencode(name)
    return name

# The end of every temporary file's name, the SDK's included: how a stale one is recognised.
TEMPORARY_MARKER = b".lxpart"

_PROC_FD = b"/proc/self/fd"
_UNNAMED = getattr(os, "O_TMPFILE", 0)
_ATTEMPTS = 100  # fresh random names tried before giving up on a folder
# The folder is reached through a descriptor that needs no read permission on it (a folder one
# may write into but not list is written into, as with a plain open).
_FOLDER = getattr(os, "O_PATH", os.O_RDONLY) | os.O_DIRECTORY | os.O_CLOEXEC

_cleaned_lock = threading.Lock()
_cleaned: set[str] = set()  # folders whose stale temporary files this process has removed


def _kind(mode: int) -> str:
    """What a non-regular file is, as the refusal says it."""
    for test, text in ((stat.S_ISLNK, "a symbolic link"), (stat.S_ISDIR, "a folder"),
                       (stat.S_ISFIFO, "a FIFO"), (stat.S_ISSOCK, "a socket")):
        if test(mode):
            return text
    return "a device"


def check_destination(path: PathLike) -> os.stat_result | None:
    """The status of the regular file at `path`, or None when nothing is there (or the path
    cannot be examined: making the file then says why). Raises NotAFileError when `path`
    names anything but a regular file."""
    try:
        info = os.lstat(path)
    except OSError:
        return None
    if not stat.S_ISREG(info.st_mode):
        raise NotAFileError(None, "is {}, not a regular file; it is left as it was".format(
            _kind(info.st_mode)), os.fsdecode(path))
    return info


def _temporary_name(base: bytes) -> bytes:
    # A long base would make the name too long for the folder; 64 bytes are plenty to tell.
    return b"." + base[:64] + b"." + secrets.token_hex(8).encode() + TEMPORARY_MARKER


def _remove_stale(folder_fd: int, folder: bytes) -> None:
    """Removes the temporary files in the folder that no live writer holds: those of writers
    that were killed before their rename."""
    for entry in os.listdir(folder):
        name = os.fsencode(entry)
        if not (name.startswith(b".") and name.endswith(TEMPORARY_MARKER)):
            continue
        try:
            fd = os.open(name, os.O_RDONLY | os.O_NOFOLLOW | os.O_NONBLOCK | os.O_CLOEXEC,
                         dir_fd=folder_fd)
        except OSError:
            continue
        try:
            held = os.fstat(fd)
            if not stat.S_ISREG(held.st_mode):
                continue
            fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)  # fails while its writer lives
            now = os.stat(name, dir_fd=folder_fd, follow_symlinks=False)
            if (now.st_dev, now.st_ino) == (held.st_dev, held.st_ino):
                os.unlink(name, dir_fd=folder_fd)
        except OSError:
            pass
        finally:
            os.close(fd)


def _clean_once(folder_fd: int, folder: bytes) -> None:
    key = os.fsdecode(os.path.abspath(folder))
    with _cleaned_lock:
        if key in _cleaned:
            return
        _cleaned.add(key)
    with contextlib.suppress(OSError):
        _remove_stale(folder_fd, folder)


def _lock_new(fd: int) -> bool:
    """Locks a temporary file just made; False when a cleaner removed its name meanwhile."""
    fcntl.flock(fd, fcntl.LOCK_EX)
    return os.fstat(fd).st_nlink > 0


def _create(folder_fd: int, base: bytes, mode: int) -> tuple[int, bytes | None]:
    """A new temporary file in the folder, locked: (descriptor, its name or None if it has
    none yet)."""
    if _UNNAMED and os.path.isdir(_PROC_FD):
        try:
            fd = os.open(".", _UNNAMED | os.O_WRONLY | os.O_CLOEXEC, mode, dir_fd=folder_fd)
        except OSError:
            pass  # not on this file system: a named one, whose error (if any) is the same
        else:
            fcntl.flock(fd, fcntl.LOCK_EX)
            return fd, None
    for _ in range(_ATTEMPTS):
        name = _temporary_name(base)
        try:
            fd = os.open(name, os.O_WRONLY | os.O_CREAT | os.O_EXCL | os.O_NOFOLLOW | os.O_CLOEXEC,
                         mode, dir_fd=folder_fd)
        except FileExistsError:
            continue
        if _lock_new(fd):
            return fd, name
        os.close(fd)
    raise OSError(errno.EEXIST, "no free temporary file name")


def _name(fd: int, folder_fd: int, base: bytes) -> bytes:
    """Gives the unnamed temporary file a name in its folder."""
    source = _PROC_FD + b"/" + str(fd).encode()
    for _ in range(_ATTEMPTS):
        name = _temporary_name(base)
        try:
            os.link(source, name, dst_dir_fd=folder_fd)  # linkat, following the /proc link
        except FileExistsError:
            continue
        return name
    raise OSError(errno.EEXIST, "no free temporary file name")


def _keep_owner_and_mode(fd: int, was: os.stat_result) -> None:
    now = os.fstat(fd)
    if (now.st_uid, now.st_gid) != (was.st_uid, was.st_gid):
        try:
            os.fchown(fd, was.st_uid, was.st_gid)
        except OSError:
            with contextlib.suppress(OSError):  # a group the writer belongs to, at least
                os.fchown(fd, -1, was.st_gid)
    # The permission bits; set-user-ID and set-group-ID are not carried over to new content.
    # A file system without them (FAT) may refuse: the file then stays private (0600).
    with contextlib.suppress(OSError):
        os.fchmod(fd, stat.S_IMODE(was.st_mode) & 0o777)


def _failure(error: OSError, target: str | bytes) -> OSError:
    """The error to raise for an OSError met while writing `target`: it names `target` (not the
    temporary file) and says what failed, never "[Errno None] None"."""
    if isinstance(error, FileWriteError):
        return error
    if error.errno is not None:
        return OSError(error.errno, error.strerror or os.strerror(error.errno), target)
    return FileWriteError(None, "cannot write the file ({})".format(
        error.strerror or str(error) or type(error).__name__), target)


def write_atomically(path: PathLike, write: Callable[[BinaryIO], object]) -> None:
    """Calls write(binary file) on a temporary file beside `path`, then renames it into place.

    A write that fails (an exception from `write`, a full disk, a kill) leaves no partial file and
    keeps the file that was there. A file that was there keeps its permission bits, owner and
    group; a new one gets 0666 less the umask. A symbolic link, FIFO, socket, folder or device at
    `path` is refused with NotAFileError and left as it was. Raises what `write` raises
    (OSErrors naming `path`), or OSError (FileWriteError when no error number says why)."""
    target = os.fspath(path)
    name = os.fsencode(target)
    folder, base = os.path.split(name)
    folder = folder or b"."
    was = check_destination(name)
    try:
        if not base:
            raise OSError(errno.ENOENT, os.strerror(errno.ENOENT))
        folder_fd = os.open(folder, _FOLDER)
    except OSError as error:
        raise _failure(error, target) from None
    try:
        _clean_once(folder_fd, folder)
        _write_in(folder_fd, name, base, was, write, target)
    finally:
        os.close(folder_fd)


def _write_in(folder_fd: int, name: bytes, base: bytes, was: os.stat_result | None,
              write: Callable[[BinaryIO], object], target: str | bytes) -> None:
    try:
        # A file that was there is kept private until it has its own mode back.
        fd, temporary = _create(folder_fd, base, 0o666 if was is None else 0o600)
    except OSError as error:
        raise _failure(error, target) from None
    try:
        with os.fdopen(fd, "wb", closefd=False) as out:
            write(out)
        if was is not None:
            _keep_owner_and_mode(fd, was)
        os.fsync(fd)
        if temporary is None:
            temporary = _name(fd, folder_fd, base)
        # Something put at the path meanwhile is refused too, not replaced.
        check_destination(name)
        os.rename(temporary, base, src_dir_fd=folder_fd, dst_dir_fd=folder_fd)
        temporary = None
    except OSError as error:
        raise _failure(error, target) from None
    finally:
        if temporary is not None:
            with contextlib.suppress(OSError):
                os.unlink(temporary, dir_fd=folder_fd)
        os.close(fd)  # releases the lock, once the temporary file is gone or renamed
