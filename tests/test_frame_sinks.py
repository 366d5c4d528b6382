"""Sinks of a camera's running stream: every frame the stream delivers reaches each attached sink
once, in order, whatever else reads; a full sink drops and counts alone; format changes go on
under the sinks, stopping and closing end them; with the last sink gone reads are direct again.

The mechanism is tested on a RunningStream over a Link of its own (no Camera object), and
through Camera.sink where a Camera's behaviour is the point."""
import threading
import time

import pytest

import pylentrasdk as lx
from pylentrasdk import sim
from pylentrasdk.camera.link import Link
from pylentrasdk.camera.streaming import RunningStream

YUY2 = lx.LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_YUY2


@pytest.fixture
def running():
    """A RunningStream over a Link to the KAVL camera, in 640x480 YUY2, frames as fast as
    they can be made."""
    handle = lx.LxInitialCameraDevice(0)
    assert lx.LxOpen(handle) == 0
    link = Link(handle, "KAVL", threading.RLock())
    stream = RunningStream(link)
    stream.record = next(r for r in link.records()
                         if (r.format, r.width, r.height) == (YUY2, 640, 480))
    with sim.free_run():
        yield stream
        stream.stop()
    link.close()
    lx.LxClose(handle)


def take(sink, count, timeout=5.0):
    return [sink.get(timeout) for _ in range(count)]


def assert_consecutive(frames):
    """Each frame follows the one before it: its number is one more than the previous one's,
    plus the frames the stream says it dropped between them (none twice, none unaccounted)."""
    for before, after in zip(frames, frames[1:]):
        assert after.number == before.number + 1 + after.dropped, (before, after)


def test_every_sink_gets_every_frame_once_in_order_while_another_thread_reads(running):
    first, second = running.sink(200), running.sink(200)  # each holds what the test takes
    read, failed = [], []

    def reader():
        try:
            for _ in range(30):
                read.append(running.read(5.0))
        except Exception as error:  # noqa: BLE001 - the test reports it
            failed.append(error)

    thread = threading.Thread(target=reader)
    thread.start()
    got_first, got_second = take(first, 120), take(second, 120)
    thread.join(10)
    assert failed == [] and len(read) == 30
    assert_consecutive(got_first)
    numbers = [frame.number for frame in got_first]
    # The second sink came a little later: from its first frame on, the same frames in the
    # same order.
    second_numbers = [frame.number for frame in got_second]
    assert second_numbers[:120 - numbers.index(second_numbers[0])] == \
        numbers[numbers.index(second_numbers[0]):]
    assert sum(frame.dropped for frame in got_first[1:]) == 0  # free-run: nothing to drop
    # A reader gets frames the pump handed to the sinks too, never one twice.
    read_numbers = [frame.number for frame in read]
    assert len(set(read_numbers)) == 30 and read_numbers == sorted(read_numbers)
    assert {frame.number for frame in read if frame.number <= numbers[-1]} <= set(numbers)
    # The pictures are those frames: the number stamped in each is its own.
    for frame in got_first[::20]:
        assert sim.read_frame_number(frame.array, YUY2, 640, 480) == frame.number
    assert first.dropped == 0 and first.received >= 120


def test_a_full_sink_drops_and_counts_alone(running):
    slow = running.sink(2)  # never read from
    fast = running.sink(500)
    frames = take(fast, 100)
    assert_consecutive(frames)
    assert slow.pending == 2 and slow.received == 2
    assert slow.dropped >= 98  # at least every frame the other sink got but two
    assert fast.dropped == 0
    # What the slow sink kept are the first frames it was offered, in order.
    kept = take(slow, 2)
    assert kept[1].number == kept[0].number + 1


def test_frames_shared_by_the_consumers_are_read_only(running):
    sink = running.sink(8)
    frame = sink.get(5.0)
    with pytest.raises(ValueError):
        frame.array[0, 0, 0] = 1
    read = running.read(5.0)  # a reader's frame is shared with the sinks too
    with pytest.raises(ValueError):
        read.array[:] = 0
    sink.close()
    _wait_for_direct_reads(running)
    assert running.read(5.0).array.flags.writeable  # no sink: the reader's own frame again


def _wait_for_direct_reads(running, timeout=5.0):
    """Waits until the pump has gone (it ends after its current read)."""
    deadline = time.monotonic() + timeout
    while running._pump is not None:
        assert time.monotonic() < deadline, "the pump did not end after its last sink left"
        time.sleep(0.01)


def test_a_format_change_goes_on_under_the_sinks(running):
    sink = running.sink(300)
    before = take(sink, 5)
    new = next(r for r in running._link.records()
               if (r.format, r.width, r.height) == (YUY2, 1280, 720))
    running.restart(new)
    # The frames queued before the change come first (as many as the camera made meanwhile:
    # many, on a loaded machine), then 40 of the new format.
    after = [sink.get(5.0)]
    while after[-1].array.shape != (720, 1280, 2) and len(after) < 300:
        after.append(sink.get(5.0))
    after += take(sink, 39)
    shapes = [frame.array.shape for frame in before + after]
    changed = shapes.index((720, 1280, 2))
    assert set(shapes[:changed]) == {(480, 640, 2)} and set(shapes[changed:]) == {(720, 1280, 2)}
    assert_consecutive((before + after)[changed:])  # the new stream numbers from its start
    assert not sink.ended


@pytest.mark.parametrize("closing, raised", [(False, lx.StreamClosedError),
                                             (True, lx.CameraClosedError)])
def test_stopping_or_closing_ends_the_sinks_after_their_queued_frames(running, closing, raised):
    sink = running.sink(50)
    take(sink, 3)
    waiting = []

    def reader():
        try:
            for _ in range(50):  # until the stop ends the wait
                running.read(5.0)
        except lx.LentraError as error:
            waiting.append(error)

    sim.set_pacing("realtime")
    running._link.call("LxSetMaxFPS", 1)  # the reader waits at the stop
    thread = threading.Thread(target=reader)
    thread.start()
    time.sleep(0.2)
    queued = sink.pending
    with running._link.locked():
        running.stop(closing=closing)
        if closing:
            running._link.close()
    thread.join(5)
    assert [type(error) for error in waiting] == [raised]
    assert len(take(sink, queued)) == queued  # what was queued is still handed out
    with pytest.raises(raised):
        sink.get(1.0)
    assert list(sink) == []  # iteration ends with the sink
    assert running._pump is None


def test_the_last_sink_gone_reads_are_direct_again(running):
    first, second = running.sink(4), running.sink(4)
    first.get(5.0)
    first.close()
    time.sleep(0.1)
    assert running._pump is not None  # one sink left: still pumped
    second.get(5.0)
    second.close()
    _wait_for_direct_reads(running)
    frames = [running.read(5.0) for _ in range(5)]
    assert_consecutive(frames)
    # A new sink after that gets a pump of its own.
    third = running.sink(10)  # the ten frames taken all fit: none dropped by the sink
    assert_consecutive(take(third, 10))


def test_a_read_under_way_when_the_first_sink_comes_finishes_first(running):
    sim.set_pacing("realtime")
    running._link.call("LxSetMaxFPS", 2)  # a frame every half second
    running.read(5.0)
    got, failed = [], []

    def reader():
        try:
            got.append(running.read(5.0))
        except Exception as error:  # noqa: BLE001 - the test reports it
            failed.append(error)

    thread = threading.Thread(target=reader)
    thread.start()
    time.sleep(0.1)  # the reader waits inside the stream's own read
    sink = running.sink(8)
    thread.join(5)
    assert failed == [] and len(got) == 1
    # The pump's first reads met that read under way ("another thread is reading"): it tried
    # again rather than give up, and the sink gets the frames after it.
    assert sink.get(5.0).number > got[0].number


def test_a_failed_capture_reaches_the_waiting_reader_and_the_sinks_go_on(running):
    sim.set_pacing("realtime")
    running._link.call("LxSetMaxFPS", 2)  # a frame every half second
    sink = running.sink(100)
    sink.get(5.0)
    sink.get(5.0)  # a frame just came: the next is half a second away
    caught = []

    def reader():
        try:
            running.read(5.0)
        except lx.StreamError as error:
            caught.append(error)

    thread = threading.Thread(target=reader)
    thread.start()
    time.sleep(0.1)
    sim.inject("LxGetImage", result=lx.LX_CAPTURE_RESULT.LX_OTHER_ERROR)
    thread.join(5)
    assert [error.function for error in caught] == ["LxGetImage"]
    assert str(caught[0]).startswith("KAVL: LxGetImage failed")
    assert_consecutive(take(sink, 2))  # the sinks go on
    assert running.read(5.0).number > 0


def test_a_reader_under_the_pump_keeps_its_own_time_out(running):
    sink = running.sink(4)
    sink.get(5.0)
    sim.set_pacing("realtime")
    running._link.call("LxSetMaxFPS", 1)
    running.read(5.0)
    with pytest.raises(lx.CaptureTimeoutError) as raised:
        running.read(0.2)
    assert str(raised.value) == "KAVL: no frame within the time-out"


def test_a_fixed_pool_held_by_a_sink_waits_rather_than_fails():
    with lx.Camera(0) as cam, sim.free_run():
        cam.format = "640x480:YUY2@30"
        cam.start(2, fixed=True)
        with cam.sink(capacity=10) as sink:
            time.sleep(0.3)  # the sink holds both buffers; the pump waits for one
            assert sink.pending == 2
            read = []
            reader = threading.Thread(target=lambda: read.append(cam.read(timeout=5.0)))
            reader.start()  # waits too, rather than fail: the sink's frames will be freed
            time.sleep(0.1)
            numbers = []
            for _ in range(6):  # the pump goes on as each frame taken frees its buffer
                numbers.append(sink.get(5.0).number)
            assert numbers == sorted(set(numbers))
            reader.join(5.0)
            assert len(read) == 1


def test_a_camera_sink_with_a_reader_loop_and_camera_close():
    with lx.Camera(0) as cam, sim.free_run():
        cam.format = "640x480:MJPG@30"
        sink = cam.sink(capacity=64)
        assert cam.running
        read = [cam.read() for _ in range(5)]
        # The sink has every frame up to the newest one read, however far apart the reads
        # were (on a loaded machine the camera makes several frames between two reads).
        got = [sink.get(5.0)]
        while got[-1].number < read[-1].number and len(got) < 64:
            got.append(sink.get(5.0))
        assert_consecutive(got)
        assert {frame.number for frame in read} <= {frame.number for frame in got}
        assert repr(sink).startswith("<FrameSink of 'KAVL AR0822 USB Camera' attached pending=")
    with pytest.raises(lx.CameraClosedError):
        while True:
            sink.get(5.0)
    with lx.Camera(0) as cam, pytest.raises(ValueError):
        cam.sink(capacity=0)
