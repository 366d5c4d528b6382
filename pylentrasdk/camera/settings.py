"""A camera's format and controls as a YAML file: ``Camera.settings`` (docs/camera.md)."""

from __future__ import annotations

import os
import stat
from typing import TYPE_CHECKING, Any, Dict, Union

from .._files import write_atomically
from ..errors import ControlValueError, NotSupportedError
from ..formats import Format
from .link import Link

if TYPE_CHECKING:
    from .camera import Camera

__all__ = ["Settings"]

_SETTINGS_KEYS = ("camera", "format", "controls")
_SETTINGS_MOST = 1 << 20  # bytes
# A settings file nests two collections (the file's mapping, its `controls`); anything nested
# far deeper is refused while the text is read, before the document is built, whose building
# would exhaust Python's recursion. Shallower mistakes get the shape check's own messages.
_MOST_DEPTH = 16

_Path = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]


class _Settings(Dict[str, Any]):
    """A settings mapping that knows the line of each key in its file (`lines`)."""

    lines: dict[str, int]


class Settings:
    """A camera's format and settable controls as a YAML file (docs/camera.md):

        camera: KAVL AR0822 USB Camera     # where they were saved; not checked on loading
        format: 1920x1080:YUY2@30
        controls:
          brightness: 128
          ...

    ``load`` checks the whole file against the camera before anything is set: an unknown key
    or control, a value it cannot take, or a format it lacks raises ControlValueError naming the
    file, the line and the key, and leaves the camera as it was."""

    def __init__(self, camera: Camera, link: Link) -> None:
        self._camera = camera
        self._link = link

    def __repr__(self) -> str:
        return "<Settings of {!r}>".format(self._link.name)

    def as_dict(self) -> dict[str, Any]:
        """{"camera": name, "format": "WxH:FOURCC@FPS", "controls": {name: value}}: the format
        and every control that is not read-only, in the camera's order."""
        camera = self._camera
        with self._link.locked():
            values = {info.name: value for info, value in camera.controls.infos()
                      if not info.read_only}
            try:
                fmt: str | None = str(camera.format)
            except NotSupportedError:
                fmt = None
            return {"camera": camera.name, "format": fmt, "controls": values}

    def save(self, path: _Path) -> None:
        """Writes the settings to the YAML file `path`, atomically: a failed write leaves the
        file that was there."""
        import yaml

        text = "# pylentrasdk camera settings\n" + yaml.safe_dump(
            self.as_dict(), sort_keys=False, default_flow_style=False, allow_unicode=True)
        write_atomically(path, lambda out: out.write(text.encode("utf-8")))

    def load(self, path: _Path) -> None:
        """Checks the YAML file `path` whole against the camera, then sets its format and
        controls (see the class)."""
        source = os.fsdecode(path)
        self.apply_text(_read_settings_file(path, source), source)

    def apply_text(self, text: str | bytes, source: str = "settings") -> None:
        """As load(), from the text of a settings file; `source` names it in messages."""
        self.apply(_parse_settings(text, source), source)

    def apply(self, settings: dict[str, Any], source: str = "settings") -> None:
        """As load(), from a mapping {"format": ..., "controls": {...}} (the shape as_dict()
        gives). Lines are named where `settings` came from a file."""
        camera = self._camera
        lines: dict[str, int] = getattr(settings, "lines", {})

        def where(key: str) -> str:
            line = lines.get(key)
            return "{}{}: {}".format(source, "" if line is None else ", line {}".format(line), key)

        if not isinstance(settings, dict):
            raise ControlValueError("{}: settings are a mapping of {}, not {}".format(
                source, ", ".join(_SETTINGS_KEYS), type(settings).__name__))
        for key in settings:
            if key not in _SETTINGS_KEYS:
                raise ControlValueError("{}: unknown key; the keys are {}".format(
                    where(str(key)), ", ".join(_SETTINGS_KEYS)))
        values = settings.get("controls") or {}
        if not isinstance(values, dict):
            raise ControlValueError("{}: a mapping of control names to values, not {}".format(
                where("controls"), type(values).__name__))

        def control_where(name: object) -> str:
            return where("controls.{}".format(name))

        with self._link.locked():
            found = None
            wanted = settings.get("format")
            if wanted is not None:
                found = self._find_format(wanted, where("format"))
            change = camera.controls.check(values.items(), control_where)
            # Everything is checked: now set, the format first.
            if found is not None:
                camera.format = found
            change.apply()

    def _find_format(self, wanted: object, where: str) -> Format:
        """The camera's format that `wanted` (a text or a Format) names."""
        if isinstance(wanted, str):
            try:
                wanted = Format.parse(wanted)
            except ValueError as error:
                raise ControlValueError("{}: {}".format(where, error)) from None
        if not isinstance(wanted, Format):
            raise ControlValueError("{}: a format such as 1280x720:YUY2@30, not {!r}".format(
                where, wanted))
        offered = self._camera.formats
        for fmt in offered:
            if wanted.matches(fmt):
                return fmt
        raise ControlValueError("{}: the camera has no format {}; it has {}".format(
            where, wanted, ", ".join(str(f) for f in offered)))


def _read_settings_file(path: _Path, source: str) -> bytes:
    """The bytes of a settings file. Opened without waiting (a FIFO put in its place would
    otherwise block the open until a writer comes) and checked to be a regular file once
    opened, so nothing swapped in between a check and the open is read."""
    try:
        fd = os.open(path, os.O_RDONLY | os.O_NONBLOCK | os.O_CLOEXEC)
    except OSError as error:
        raise ControlValueError("{}: cannot read it: {}".format(
            source, error.strerror or error)) from None
    try:
        if not stat.S_ISREG(os.fstat(fd).st_mode):
            raise ControlValueError("{}: not a regular file".format(source))
        chunks = []
        size = 0
        while size <= _SETTINGS_MOST:
            chunk = os.read(fd, 1 << 16)
            if not chunk:
                break
            chunks.append(chunk)
            size += len(chunk)
    finally:
        os.close(fd)
    if size > _SETTINGS_MOST:
        raise ControlValueError("{}: larger than {} bytes, too large for a settings file"
                                .format(source, _SETTINGS_MOST))
    return b"".join(chunks)


def _check_depth(text: str, source: str) -> None:
    """Refuses collections nested deeper than a settings file has, naming the line, before
    the document is built (building a deeply nested one exhausts Python's recursion)."""
    import yaml

    depth = 0
    try:
        for event in yaml.parse(text, Loader=yaml.SafeLoader):
            if isinstance(event, (yaml.MappingStartEvent, yaml.SequenceStartEvent)):
                depth += 1
                if depth > _MOST_DEPTH:
                    raise ControlValueError("{}, line {}: nested deeper than a settings file "
                                            "is".format(source, event.start_mark.line + 1))
            elif isinstance(event, (yaml.MappingEndEvent, yaml.SequenceEndEvent)):
                depth -= 1
    except yaml.YAMLError as error:
        raise ControlValueError("{}: not YAML: {}".format(
            source, " ".join(str(error).split()))) from None


def _parse_settings(data: str | bytes, source: str) -> _Settings:
    """The settings of a YAML text, checked for shape, with each key's line."""
    import yaml

    if isinstance(data, bytes):
        try:
            data = data.decode("utf-8")
        except UnicodeDecodeError as error:
            raise ControlValueError("{}: not UTF-8 text ({})".format(source, error)) from None
    _check_depth(data, source)
    try:
        root = yaml.compose(data, Loader=yaml.SafeLoader)
    except yaml.YAMLError as error:
        raise ControlValueError("{}: not YAML: {}".format(
            source, " ".join(str(error).split()))) from None
    if root is None:
        raise ControlValueError("{}: the file is empty".format(source))
    constructor = yaml.SafeLoader("")
    settings = _Settings()
    settings.lines = {}  # "controls.brightness" -> its line, from 1

    def value_of(node: Any, line: int, key: str) -> Any:
        # A value YAML cannot make safely (a tag of Python's), or one Python refuses to make
        # (an integer of thousands of digits), is refused with its line.
        try:
            return constructor.construct_object(node, deep=True)
        except (yaml.YAMLError, ValueError) as error:
            raise ControlValueError("{}, line {}: {}{}".format(
                source, line, key + ": " if key else "", " ".join(str(error).split()))) from None

    def mapping(node: Any, prefix: str) -> dict[Any, Any]:
        line = node.start_mark.line + 1
        if not isinstance(node, yaml.MappingNode):
            shown = "a list" if isinstance(node, yaml.SequenceNode) else repr(
                value_of(node, line, prefix))
            raise ControlValueError("{}, line {}: {}a mapping of names to values, not {}".format(
                source, line, prefix and prefix + ": ", shown))
        result: dict[Any, Any] = {}
        for key_node, value_node in node.value:
            line = key_node.start_mark.line + 1
            if not isinstance(key_node, yaml.ScalarNode):
                raise ControlValueError("{}, line {}: a key must be a name".format(source, line))
            key = value_of(key_node, line, prefix)
            full = "{}.{}".format(prefix, key) if prefix else str(key)
            if key in result:
                raise ControlValueError("{}, line {}: {} is given twice".format(
                    source, line, full))
            settings.lines[full] = line
            if isinstance(value_node, yaml.ScalarNode):
                result[key] = value_of(value_node, line, full)
            elif prefix == "" and key == "controls":
                result[key] = mapping(value_node, "controls")
            else:
                raise ControlValueError("{}, line {}: {}: a single value, not {}".format(
                    source, line, full,
                    "a list" if isinstance(value_node, yaml.SequenceNode) else "a mapping"))
        return result

    settings.update(mapping(root, ""))
    return settings
