"""A camera's controls by name: ``Camera.controls``.

Every control the camera has is one entry, named as the console tool names it in lower case
(pylentrasdk.control_names): the ISP image properties, the two stream settings (``throughput``,
``max_fps``), the entries only some cameras have, and the UVC controls of a camera that answers
through UVC alone. Reading an entry asks the camera; setting one checks the value (a whole number
within the control's range, or a choice control's label) before the camera is asked.
"""

import collections.abc
import operator
from typing import Dict, NamedTuple, Optional

from . import control_names
from . import pyLentraSDK as _binding
from .errors import ControlValueError, raise_for_status
from .status import LxStatus

__all__ = ["Controls", "ControlInfo"]

_ISP = _binding.LX_ISP_IMAGE_PROPERTIES
_UVC = _binding.LX_UVC_IMAGE_PROPERTIES
_NOT_SUPPORTED = LxStatus.LX_STATUS_NOT_SUPPORTED
_STREAM_FUNCTIONS = {
    "Throughput": ("LxGetThroughPut", "LxSetThroughPut"),
    "Max_FPS": ("LxGetMaxFPS", "LxSetMaxFPS"),
}


class ControlInfo(NamedTuple):
    """What a control takes: its range (`min` to `max` in steps of `step` from `min`), its
    `default` (None where the camera does not say), whether it is `read_only`, and the
    `labels` of a choice control's values ({0: "Normal", 1: "H-Mirror", ...}; empty for others).
    """

    name: str
    min: int
    max: int
    step: int
    default: Optional[int]
    read_only: bool
    labels: Dict[int, str]


class _UnknownControlError(ControlValueError, KeyError):
    """An unknown control name: a ControlValueError, and a KeyError as a mapping raises."""

    def __str__(self):
        return str(self.args[0]) if self.args else ""


class _ControlTypeError(ControlValueError, TypeError):
    """A value of the wrong type for a control."""


class _Control:
    """One control of one camera: how to read, range and write it."""

    __slots__ = ("name", "display", "kind", "prop", "bounds")

    def __init__(self, display, kind, prop=None, bounds=None):
        self.name = control_names.snake_name(display)
        self.display = display
        self.kind = kind  # "isp", "uvc" or "stream"
        self.prop = prop  # the property member, or the stream setting's display name
        self.bounds = bounds  # a stream setting's (min, max)


def discover(call, subject=None):
    """The controls a camera has, in the console tool's order then the further ones.
    `call(function_name, *arguments)` calls the binding function on the camera.

    A camera lacks a control its getter answers LX_STATUS_NOT_SUPPORTED for; any other failure
    is raised (named by `subject`), not taken for a missing control. The ISP range getter
    answers -1 on every failure, so there -1 is taken for a missing control."""
    def isp_has(member):
        return call("LxGetISPImageProcessingRange", getattr(_ISP, member))[0] == 0

    def has(function, *args):
        status = call(function, *args)[0]
        if status == _NOT_SUPPORTED:
            return False
        raise_for_status(status, function, subject)
        return True

    found = [_Control(name, "isp", getattr(_ISP, member))
             for name, member in control_names.ISP_CONTROLS if isp_has(member)]
    for name, minimum, maximum in control_names.STREAM_SETTINGS:
        if has(_STREAM_FUNCTIONS[name][0]):
            found.append(_Control(name, "stream", name, (int(minimum), int(maximum))))
    found += [_Control(name, "isp", getattr(_ISP, member))
              for name, member in control_names.OPTIONAL_CONTROLS + control_names.FURTHER_ISP_CONTROLS
              if isp_has(member)]
    isp_members = dict(control_names.ISP_CONTROLS)
    for name, member in control_names.UVC_CONTROLS:
        # A UVC control named as an ISP control is that control seen through UVC: a camera that
        # has the ISP control offers it once, as the ISP control.
        if name in isp_members and isp_has(isp_members[name]):
            continue
        if has("LxGetUVCImageProcessingRange", getattr(_UVC, member)):
            found.append(_Control(name, "uvc", getattr(_UVC, member)))
    return found


class Controls(collections.abc.Mapping):
    """The camera's controls by name: ``cam.controls["brightness"] = 200``.

    Reading an entry asks the camera for the control's value; setting one checks it first:
    an unknown name, a value that is not a whole number (or a choice control's label), out of
    range or for a read-only control raises ControlValueError and leaves the camera as it was.
    ``info(name)`` gives the range; ``update({...})`` sets several, all checked before any is
    written. Iterating gives the names without asking the camera for values."""

    def __init__(self, camera):
        self._camera = camera

    # The camera builds its table once per opening and answers the calls, under its lock.
    def _table(self):
        return self._camera._control_table()

    def _find(self, name):
        if not isinstance(name, str):
            raise _ControlTypeError("a control's name is a str, not {}".format(
                type(name).__name__))
        wanted = name.strip().lower()
        for control in self._table():
            if control.name == wanted:
                return control
        raise _UnknownControlError("{}: no control {!r}; it has {}".format(
            self._camera._subject(), name, ", ".join(c.name for c in self._table())))

    def __getitem__(self, name):
        return self._read(self._find(name))

    def __setitem__(self, name, value):
        self.update({name: value})

    def __iter__(self):
        return iter([control.name for control in self._table()])

    def __len__(self):
        return len(self._table())

    def __contains__(self, name):
        return isinstance(name, str) and any(
            c.name == name.strip().lower() for c in self._table())

    def __repr__(self):
        return "<Controls of {}: {}>".format(self._camera._subject(),
                                            ", ".join(c.name for c in self._table()))

    def info(self, name):
        """The ControlInfo of the control called `name`."""
        return self._info(self._find(name))

    def update(self, values=(), **more):
        """Sets several controls: every name and value is checked before the first write,
        so a mistake anywhere leaves the camera as it was. Should the camera refuse a write,
        the controls written before it are put back and the refusal is raised."""
        writes = []
        with self._camera._locked():
            pairs = list(dict(values, **more).items())
            for name, value in pairs:
                control = self._find(name)
                if any(c is control for c, _ in writes):
                    raise ControlValueError("{}: {} is given twice".format(
                        self._camera._subject(), control.name))
                writes.append((control, self.checked(control.name, value)))
            self._write_all(writes)

    # -------------------------------------------------------------------------------------
    # For the camera's settings and lxctl: the same checks and writes, by control.
    # -------------------------------------------------------------------------------------
    def checked(self, name, value, where=None):
        """`value` as the whole number the control `name` takes; ControlValueError (naming
        `where`, a settings file's line, when given) if it cannot take it."""
        control = self._find(name)
        info = self._info(control)
        subject = where or "{}: {}".format(self._camera._subject(), control.name)
        if isinstance(value, str):
            wanted = value.strip().lower()
            for number, label in info.labels.items():
                if label.lower() == wanted:
                    return number
            if info.labels:
                raise ControlValueError("{}: {!r} is none of its choices: {}".format(
                    subject, value, control_names.labels_text(control.display)))
        if isinstance(value, bool):
            raise _ControlTypeError("{}: takes a whole number, not a bool".format(subject))
        try:
            number = operator.index(value)
        except TypeError:
            raise _ControlTypeError("{}: takes a whole number{}, not {!r}".format(
                subject, " or a label" if info.labels else "", value)) from None
        if info.read_only:
            raise ControlValueError("{} is read-only".format(subject))
        if not info.min <= number <= info.max:
            raise ControlValueError("{}: {} is out of range: {} to {}".format(
                subject, number, info.min, info.max))
        return number

    def _write_all(self, writes):
        done = []
        try:
            for position, (control, value) in enumerate(writes):
                # The earlier value is needed only if a later write can fail.
                last = position == len(writes) - 1
                before = None if last else self._read(control)
                self._write(control, value)
                done.append((control, before))
        except BaseException:
            for control, before in reversed(done):
                try:
                    self._write(control, before)
                except Exception:  # noqa: BLE001 - the first failure is the one to report
                    pass
            raise

    def _call(self, function, *args):
        return self._camera._call(function, *args)

    def _read(self, control):
        if control.kind == "stream":
            getter = _STREAM_FUNCTIONS[control.prop][0]
            status, value = self._call(getter)
            self._check(status, getter, control)
            return int(value)
        function = "LxGetISPImageProcessing" if control.kind == "isp" else "LxGetUVCImageProcessing"
        status, value, _ = self._call(function, control.prop)
        self._check(status, function, control)
        return int(value)

    def _write(self, control, value):
        if control.kind == "stream":
            setter = _STREAM_FUNCTIONS[control.prop][1]
            self._check(self._call(setter, value), setter, control, value)
        elif control.kind == "isp":
            status = self._call("LxSetISPImageProcessing", control.prop, value)
            self._check(status, "LxSetISPImageProcessing", control, value)
        else:
            # The auxiliary integer stays what it was.
            status, _, aux = self._call("LxGetUVCImageProcessing", control.prop)
            self._check(status, "LxGetUVCImageProcessing", control)
            status = self._call("LxSetUVCImageProcessing", control.prop, value, aux)
            self._check(status, "LxSetUVCImageProcessing", control, value)

    def _info(self, control):
        labels = dict(control_names.CHOICE_LABELS.get(control.display, ()))
        if control.kind == "stream":
            minimum, maximum = control.bounds
            return ControlInfo(control.name, minimum, maximum, 1, None, False, labels)
        if control.kind == "isp":
            status, _, flag = self._call("LxGetISPImageProcessing", control.prop)
            self._check(status, "LxGetISPImageProcessing", control)
            read_only = flag == 1
            function = "LxGetISPImageProcessingRange"
        else:
            read_only = False
            function = "LxGetUVCImageProcessingRange"
        status, minimum, maximum, step, default = self._call(function, control.prop)
        self._check(status, function, control)
        return ControlInfo(control.name, minimum, maximum, step, default, read_only, labels)

    def _check(self, status, function, control, value=None):
        what = control.name if value is None else "{}={}".format(control.name, value)
        raise_for_status(status, function, self._camera._subject(), what)
