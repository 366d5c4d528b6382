"""A Camera's running stream: captures and reads of one stream kept between calls, time-outs and
faults that reach the caller, readers in several threads, format changes under a reader; and what
reaches a caller of the camera layer: public exceptions, objects that print what they hold."""
import threading
import time

import pytest

import pylentrasdk as lx
from pylentrasdk import errors, sim

KAVL, KAVN, WEBCAM = 0, 1, 2
YUY2 = lx.LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_YUY2


@pytest.fixture
def cam():
    with lx.Camera(KAVL) as camera:
        camera.format = "640x480:YUY2@30"
        yield camera


def stamped(frame):
    return sim.read_frame_number(frame.array, YUY2, frame.format.width, frame.format.height)


def test_captures_come_from_one_running_stream_at_the_cameras_pace(cam):
    sim.set_pacing("realtime")
    first = cam.capture(timeout=3.0)
    assert cam.running
    time.sleep(0.2)
    second = cam.read(timeout=3.0)
    # At 30 frames a second, 0.2 s is about six frames; frames are numbered as stamped.
    assert second.number - first.number >= 4
    assert (stamped(first), stamped(second)) == (first.number, second.number)
    assert second.dropped == second.number - first.number - 1
    cam.stop()
    assert not cam.running
    assert cam.read().number == 0  # a new stream counts from its start


def test_a_wait_that_passes_its_timeout_raises_after_that_time(cam):
    sim.set_pacing("realtime")
    cam.controls["max_fps"] = 1  # a frame a second
    cam.read()  # the first frame comes at once
    started = time.monotonic()
    with pytest.raises(lx.CaptureTimeoutError) as raised:
        cam.read(timeout=0.5)
    assert 0.3 <= time.monotonic() - started <= 2.5
    assert isinstance(raised.value, TimeoutError)
    assert str(raised.value).startswith("KAVL AR0822 USB Camera: ")
    assert cam.read(timeout=3.0).number == 1  # the stream goes on


@pytest.mark.parametrize("result, raised, name", [
    (lx.LX_CAPTURE_RESULT.LX_OTHER_ERROR, lx.StreamError, "LX_OTHER_ERROR"),
    (lx.LX_CAPTURE_RESULT.LX_BUFFER_CORRUPTED, lx.StreamError, "LX_BUFFER_CORRUPTED"),
])
def test_an_injected_capture_fault_reaches_the_caller(cam, result, raised, name):
    cam.read()
    sim.inject("LxGetImage", result=result)
    with pytest.raises(raised) as caught:
        cam.capture()
    assert (caught.value.function, caught.value.status_name) == ("LxGetImage", name)
    assert str(caught.value).startswith("KAVL AR0822 USB Camera: LxGetImage failed: " + name)
    assert cam.capture().array.shape == (480, 640, 2)  # the next capture gets its frame


def test_threads_capturing_at_once_take_turns(cam):
    got, failed = [], []

    def capture():
        try:
            for _ in range(20):
                got.append(cam.capture(timeout=5.0).number)
        except Exception as error:  # noqa: BLE001 - the test reports it
            failed.append(error)

    threads = [threading.Thread(target=capture) for _ in range(3)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert failed == [] and len(got) == 60
    assert len(set(got)) == 60  # no frame handed out twice


def test_a_format_change_restarts_the_stream_under_a_waiting_reader(cam):
    sim.set_pacing("realtime")
    cam.controls["max_fps"] = 2
    shapes = []
    with cam.stream() as frames:
        shapes.append(next(frames).array.shape)

        def read_next():
            shapes.append(frames.read(timeout=5.0).array.shape)

        reader = threading.Thread(target=read_next)
        reader.start()
        time.sleep(0.1)  # waiting for the next frame, 0.5 s away
        cam.format = "1280x720:YUY2"
        reader.join()
        assert repr(frames).startswith("<CameraStream of 'KAVL AR0822 USB Camera' "
                                       "1280x720:YUY2@30 buffers=4 frames=")
    assert shapes == [(480, 640, 2), (720, 1280, 2)]
    assert frames.closed and not cam.running
    with pytest.raises(lx.StreamClosedError):
        frames.read()


def test_stopping_or_closing_ends_a_waiting_read_with_its_exception(cam):
    sim.set_pacing("realtime")
    cam.controls["max_fps"] = 1
    cam.read()
    for end, expected in ((cam.stop, lx.StreamClosedError), (cam.close, lx.CameraClosedError)):
        if cam.closed:
            cam.open()
        if not cam.running:
            cam.controls["max_fps"] = 1
            cam.read()
        caught = []

        def read(caught=caught):
            try:
                cam.read(timeout=5.0)
            except lx.LentraError as error:
                caught.append(error)

        reader = threading.Thread(target=read)
        reader.start()
        time.sleep(0.1)
        end()
        reader.join(5.0)
        assert [type(e) for e in caught] == [expected]


def _private_exceptions(calls):
    """The exceptions of `calls` whose class is private or from another module than
    pylentrasdk.errors and the built-ins."""
    found = []
    for call in calls:
        try:
            call()
        except Exception as error:  # noqa: BLE001 - every kind is looked at
            cls = type(error)
            if cls.__name__.startswith("_") or cls.__module__ not in ("builtins",
                                                                      "pylentrasdk.errors"):
                found.append("{}.{}".format(cls.__module__, cls.__name__))
        else:
            found.append("no exception from {!r}".format(call))
    return found


def test_no_private_exception_reaches_a_caller(cam, tmp_path):
    (tmp_path / "bad.yaml").write_text("controls:\n  loudness: 3\n")
    controls = cam.controls
    assert _private_exceptions([
        lambda: controls["loudness"],
        lambda: controls.update(brightness="bright"),
        lambda: controls.update(brightness=300),
        lambda: controls.update({1: 2}),
        lambda: setattr(cam, "format", "garbage"),
        lambda: setattr(cam, "format", "640x480:BGRA"),
        lambda: cam.settings.load(str(tmp_path / "bad.yaml")),
        lambda: cam.settings.load(str(tmp_path / "missing.yaml")),
        lambda: cam.read(timeout=-1),
        lambda: lx.Camera("no such camera"),
        lambda: lx.Format.parse("1280x720"),
        lambda: lx.frames.to_png(b"12", lx.LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_RGB, str(tmp_path),
                                 2, 1),
        lambda: sim.load("{"),
    ]) == []
    assert issubclass(errors.UnknownControlError, KeyError)
    assert issubclass(errors.ControlTypeError, TypeError)
    from pylentrasdk import stream

    assert stream.StreamError is errors.StreamError
    assert stream.CaptureTimeoutError is errors.CaptureTimeoutError


def test_what_the_layer_hands_out_prints_what_it_holds(cam):
    frames = cam.stream(buffers=2)
    shown = [repr(cam), repr(frames), repr(cam.settings), repr(cam.controls),
             repr(lx.Camera), repr(cam.formats[0])]
    for text in shown:
        assert " at 0x" not in text, text
    assert repr(cam) == "<Camera 0 'KAVL AR0822 USB Camera' open 640x480:YUY2@30 streaming>"
    assert repr(cam.settings) == "<Settings of 'KAVL AR0822 USB Camera'>"
    frames.close()
    assert repr(frames) == "<CameraStream of 'KAVL AR0822 USB Camera' closed>"
