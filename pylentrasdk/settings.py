"""A camera's format and controls as a YAML file: ``Camera.settings`` (docs/camera.md)."""

import os
import stat

from ._files import write_atomically
from .errors import ControlValueError
from .formats import Format

__all__ = ["Settings"]

_SETTINGS_KEYS = ("camera", "format", "controls")
_SETTINGS_MOST = 1 << 20  # bytes


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

    def __init__(self, camera):
        self._camera = camera

    def as_dict(self):
        """{"camera": name, "format": "WxH:FOURCC@FPS", "controls": {name: value}}: the format
        and every control that is not read-only, in the camera's order."""
        camera = self._camera
        with camera._locked():
            controls = camera.controls
            values = {}
            for name in controls:
                if not controls.info(name).read_only:
                    values[name] = controls[name]
            fmt = camera.format
            return {"camera": camera.name, "format": None if fmt is None else str(fmt),
                    "controls": values}

    def save(self, path):
        """Writes the settings to the YAML file `path`, atomically: a failed write leaves the
        file that was there."""
        import yaml

        text = "# pylentrasdk camera settings\n" + yaml.safe_dump(
            self.as_dict(), sort_keys=False, default_flow_style=False, allow_unicode=True)
        write_atomically(path, lambda out: out.write(text.encode("utf-8")))

    def load(self, path):
        """Checks the YAML file `path` whole against the camera, then sets its format and
        controls (see the class)."""
        source = os.fsdecode(path)
        # Checked before opening: opening a FIFO would wait for a writer, and a settings file
        # is small, so a large one is a wrong file rather than settings.
        if not stat.S_ISREG(os.stat(path).st_mode):
            raise ControlValueError("{}: not a regular file".format(source))
        with open(path, "rb") as f:
            data = f.read(_SETTINGS_MOST + 1)
        if len(data) > _SETTINGS_MOST:
            raise ControlValueError("{}: larger than {} bytes, too large for a settings file"
                                    .format(source, _SETTINGS_MOST))
        self.apply_text(data, source)

    def apply_text(self, text, source="settings"):
        """As load(), from the text of a settings file; `source` names it in messages."""
        entries = _parse_settings(text, source)
        self.apply(entries, source)

    def apply(self, settings, source="settings"):
        """As load(), from a mapping {"format": ..., "controls": {...}} (the shape as_dict()
        gives). Lines are named where `settings` came from a file."""
        camera = self._camera
        lines = getattr(settings, "lines", {})

        def where(key):
            line = lines.get(key)
            return "{}{}: {}".format(source, "" if line is None else ", line {}".format(line), key)

        if not isinstance(settings, dict):
            raise ControlValueError("{}: settings are a mapping of {}, not {}".format(
                source, ", ".join(_SETTINGS_KEYS), type(settings).__name__))
        for key in settings:
            if key not in _SETTINGS_KEYS:
                raise ControlValueError("{}: unknown key; the keys are {}".format(
                    where(key), ", ".join(_SETTINGS_KEYS)))
        values = settings.get("controls") or {}
        if not isinstance(values, dict):
            raise ControlValueError("{}: a mapping of control names to values, not {}".format(
                where("controls"), type(values).__name__))
        with camera._locked():
            controls = camera.controls
            record = None
            if settings.get("format") is not None:
                if not isinstance(settings["format"], (str, Format)):
                    raise ControlValueError("{}: a format such as 1280x720:YUY2@30, not {!r}"
                                            .format(where("format"), settings["format"]))
                record = camera._find_record(settings["format"], where("format"))
            writes = []
            for name, value in values.items():
                key = "controls.{}".format(name)
                if not isinstance(name, str) or name.strip().lower() not in controls:
                    raise ControlValueError("{}: the camera has no such control; it has {}".format(
                        where(key), ", ".join(controls)))
                control = controls._find(name)
                writes.append((control, controls.checked(name, value, where(key))))
            # Everything is checked: now set, the format first (a streaming camera takes only
            # the format it streams in, which the file may name).
            if record is not None:
                camera._set_record(record)
            controls._write_all(writes)


class _Settings(dict):
    """A settings mapping that knows the line of each key in its file (`lines`)."""


def _parse_settings(data, source):
    """The settings of a YAML text, checked for shape, with each key's line."""
    import yaml

    if isinstance(data, bytes):
        try:
            data = data.decode("utf-8")
        except UnicodeDecodeError as error:
            raise ControlValueError("{}: not UTF-8 text ({})".format(source, error)) from None
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

    def mapping(node, prefix):
        if not isinstance(node, yaml.MappingNode):
            raise ControlValueError("{}, line {}: {}a mapping of names to values, not {}".format(
                source, node.start_mark.line + 1, prefix and prefix + ": ",
                "a list" if isinstance(node, yaml.SequenceNode) else repr(
                    constructor.construct_object(node, deep=True))))
        result = {}
        for key_node, value_node in node.value:
            if not isinstance(key_node, yaml.ScalarNode):
                raise ControlValueError("{}, line {}: a key must be a name".format(
                    source, key_node.start_mark.line + 1))
            key = constructor.construct_object(key_node)
            full = "{}.{}".format(prefix, key) if prefix else str(key)
            if key in result:
                raise ControlValueError("{}, line {}: {} is given twice".format(
                    source, key_node.start_mark.line + 1, full))
            settings.lines[full] = key_node.start_mark.line + 1
            if isinstance(value_node, yaml.ScalarNode):
                result[key] = constructor.construct_object(value_node)
            elif prefix == "" and key == "controls":
                result[key] = mapping(value_node, "controls")
            else:
                raise ControlValueError("{}, line {}: {}: a single value, not {}".format(
                    source, key_node.start_mark.line + 1, full,
                    "a list" if isinstance(value_node, yaml.SequenceNode) else "a mapping"))
        return result

    try:
        settings.update(mapping(root, ""))
    except yaml.YAMLError as error:  # a value YAML cannot make safely (a tag of Python's)
        raise ControlValueError("{}: {}".format(source, " ".join(str(error).split()))) from None
    return settings
