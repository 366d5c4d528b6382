"""The pytest plugin (pylentrasdk.testing.plugin), run as a user runs it: pytester writes test
files that use its fixtures and runs pytest on them, in this process (sharing the simulated rig
with this test) or in a subprocess (xdist)."""
import os
import subprocess
import sys

import pytest

import pylentrasdk as lx
from pylentrasdk import sim

pytest_plugins = ["pytester"]

DEFAULT_NAMES = ["KAVL AR0822 USB Camera", "KAVN AR0234 MIPI Camera", "USB 2.0 HD Webcam"]

# A session rig of the test files' own, so that "the rig that was there before" is not the
# default one the fixture loads.
SESSION_RIG = """
import pylentrasdk as lx
from pylentrasdk import sim

sim.load({"devices": [{"name": "Session camera", "formats": [{"format": "YUY2"}]}]})
sim.set_pacing("realtime")


def names():
    status, found = lx.LxDiscoverCameraDevices()
    return list(found)
"""

# Each test of a session on SESSION_RIG checks it finds that rig untouched, whatever ran before.
UNTOUCHED = """
from conftest import names
import pylentrasdk as lx
from pylentrasdk import sim


def assert_untouched():
    assert names() == ["Session camera"] and sim.load_error() is None
    assert sim.get_pacing() == "realtime"
    cam = lx.LxInitialCameraDevice(0)
    assert lx.LxOpen(cam) == 0                      # not left open
    assert lx.LxGetDeviceName(cam) == (0, "Session camera")   # no fault left
    fmt = lx.LxGetFormatList(cam)[1][0]
    assert lx.LxSetFormat(cam, fmt) == 0 and lx.LxStartStreaming(cam) == 0
    assert lx.LxGetImage(cam, 3000, fmt)[0] == lx.LX_SUCCESS
    assert lx.LxExportSensorConfig(cam, "sensor.bin") == 0   # file writes do not fail
    assert lx.LxClose(cam) == 0
"""

REVERSED = """
def pytest_collection_modifyitems(items):
    items.reverse()
"""


@pytest.fixture
def session_rig(pytester):
    pytester.makeconftest(SESSION_RIG)
    pytester.makepyfile(untouched=UNTOUCHED)


def test_a_users_tests_of_each_fixture_pass(pytester):
    pytester.makepyfile(test_user="""
        import numpy as np
        import pytest
        import pylentrasdk as lx
        from pylentrasdk import sim
        from pylentrasdk.testing import expected_frame, frame_number

        def yuy2(cam):
            formats = lx.LxGetFormatList(cam)[1]
            return next(f for f in formats if f.format == lx.LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_YUY2)

        def test_rig_names_and_opens_cameras(lentra_rig):
            assert lentra_rig.cameras == {names!r}
            assert sim.get_pacing() == "free-run"
            kavn = lentra_rig.open("KAVN")
            assert lx.LxGetDeviceName(kavn) == (0, {names[1]!r})
            webcam = lentra_rig.open(2)
            assert lx.LxIsLentraCamera(webcam) != 0
            with pytest.raises(RuntimeError, match="LX_STATUS_BUSY"):
                lentra_rig.open("KAVN AR0234 MIPI Camera")
            with pytest.raises(LookupError, match="several"):
                lentra_rig.open("Camera")
            with pytest.raises(LookupError, match="0 'KAVL AR0822 USB Camera'"):
                lentra_rig.open("nothing")
            with pytest.raises(IndexError):
                lentra_rig.open(3)

        def test_camera_streams_free_run_and_frames_are_as_expected(lentra_camera):
            assert sim.call_count("LxOpen") == 0
            fmt = yuy2(lentra_camera)
            assert lx.LxSetFormat(lentra_camera, fmt) == 0
            assert lx.LxStartStreaming(lentra_camera) == 0
            numbers = []
            for _ in range(40):   # 1.3 s in real time at 30 frames a second
                result, frame = lx.LxGetImage(lentra_camera, 3000, fmt)
                assert result == lx.LX_SUCCESS
                numbers.append(frame_number(frame, fmt))
                assert np.array_equal(frame, expected_frame(fmt, numbers[-1], lentra_camera))
            assert numbers == list(range(numbers[0], numbers[0] + 40))

        def test_inject_in_a_block_and_for_the_rest_of_the_test(lentra_camera, lentra_inject):
            fmt = yuy2(lentra_camera)
            lx.LxSetFormat(lentra_camera, fmt)
            lx.LxStartStreaming(lentra_camera)
            with lentra_inject("LxGetImage", result="LX_BUFFER_CORRUPTED", count=5):
                assert lx.LxGetImage(lentra_camera, 3000, fmt)[0] == lx.LX_BUFFER_CORRUPTED
            assert lx.LxGetImage(lentra_camera, 3000, fmt)[0] == lx.LX_SUCCESS
            lentra_inject("LxGetDeviceName", status="LX_STATUS_IO_ERROR", text="half")
            assert lx.LxGetDeviceName(lentra_camera) == (-8, "half")

        opened = []

        def test_cam_is_the_first_camera_as_a_camera_object(lentra_cam):
            assert isinstance(lentra_cam, lx.Camera) and lentra_cam.name == {names[0]!r}
            assert sim.call_count("LxOpen") == 0
            lentra_cam.format = "640x480:NV12"
            frames = [lentra_cam.read() for _ in range(3)]
            assert [frame_number(frame) for frame in frames] == [f.number for f in frames]
            assert np.array_equal(frames[-1].array, expected_frame(frames[-1], camera=lentra_cam))
            opened.append(lentra_cam)

        def test_cam_was_closed_after_its_test():
            assert opened[0].closed
    """.format(names=DEFAULT_NAMES))
    result = pytester.runpytest("-W", "error")
    result.assert_outcomes(passed=5, warnings=0)


def test_a_failing_test_leaves_no_fault_rig_camera_or_pacing_in_any_order(pytester, session_rig):
    pytester.makepyfile(test_leaks="""
        import pytest
        import pylentrasdk as lx
        from pylentrasdk import sim
        from untouched import assert_untouched

        def test_closes_its_camera_itself(lentra_camera):
            assert lx.LxStartStreaming(lentra_camera) == 0
            assert lx.LxClose(lentra_camera) == 0

        @pytest.mark.lentra_rig({"devices": [{"name": "Marked", "formats": [{"format": "RGB"}]}]},
                                pacing="realtime")
        def test_fails_with_faults_and_a_streaming_camera(lentra_rig, lentra_inject):
            cam = lentra_rig.open("Marked")
            lx.LxStartStreaming(cam)
            lentra_inject("LxGetDeviceName", status=-1, count=100)
            lentra_inject("LxOpen", status=-4, count=100)
            sim.inject("LxGetImage", result=lx.LX_TIMEOUT, count=100)   # straight through sim
            sim.fail_file_writes(3)
            sim.set_pacing("free-run")
            assert False, "the test fails with its faults in place"

        def test_fails_with_a_fault_of_lentra_inject_alone(lentra_inject):
            lentra_inject("LxGetDeviceName", status=-1, count=100)
            assert False, "the test fails with its fault in place"

        def test_finds_the_session_rig_untouched():
            assert_untouched()

        def test_without_fixtures_again():
            assert_untouched()
    """)
    for order in ("collected", "reversed"):
        if order == "reversed":
            pytester.makepyfile(conftest=SESSION_RIG + REVERSED)
        result = pytester.runpytest()
        result.assert_outcomes(passed=3, failed=2)
        # This process's rig is the one the last session left: the session rig, made again.
        assert [str(n) for n in lx.LxDiscoverCameraDevices()[1]] == ["Session camera"]


def test_the_marker_rig_is_used_and_replaced_by_the_one_before(pytester, session_rig,
                                                               monkeypatch):
    pytester.makefile(".json", bench='{"devices": [{"name": "From a file"}]}')
    os.mkdir(str(pytester.path / "elsewhere"))
    monkeypatch.chdir(pytester.path / "elsewhere")   # a file's path starts at the test file
    pytester.makepyfile(test_marked="""
        import pytest
        import pylentrasdk as lx
        from pylentrasdk import sim
        from untouched import assert_untouched

        @pytest.mark.lentra_rig("bench.json")
        def test_a_file_beside_the_test_file(lentra_rig):
            assert lentra_rig.cameras == ["From a file"]
            assert sim.get_pacing() == "free-run"

        @pytest.mark.lentra_rig("bench.json")
        def test_the_camera_object_of_a_marked_rig(lentra_cam):
            assert lentra_cam.name == "From a file"

        @pytest.mark.lentra_rig('{"devices": [{"name": "From text"}, {"name": "Second"}]}')
        def test_json_text_with_no_fixture_named():
            assert [str(n) for n in lx.LxDiscoverCameraDevices()[1]] == ["From text", "Second"]

        @pytest.mark.lentra_rig(pacing="realtime")
        class TestClassMarker:
            def test_default_rig_in_real_time(self, lentra_rig):
                assert len(lentra_rig.cameras) == 3 and sim.get_pacing() == "realtime"

        def test_the_session_rig_is_back():
            assert_untouched()
    """)
    result = pytester.runpytest("--rootdir", str(pytester.path), "-p", "no:cacheprovider",
                                str(pytester.path / "test_marked.py"))
    result.assert_outcomes(passed=5)


def test_a_marker_that_does_not_load_fails_setup_in_one_line(pytester, session_rig):
    pytester.makepyfile(test_bad="""
        import pytest
        from untouched import assert_untouched

        @pytest.mark.lentra_rig({"devices": [{"nmae": "typo"}]})
        def test_misspelt_key(lentra_rig):
            pass

        @pytest.mark.lentra_rig("missing.json")
        def test_missing_file(lentra_camera):
            pass

        @pytest.mark.lentra_rig(pacing="fast")
        def test_unknown_pacing(lentra_rig):
            pass

        @pytest.mark.lentra_rig({}, "realtime")
        def test_pacing_not_named(lentra_rig):
            pass

        def test_then_the_session_rig_is_untouched():
            assert_untouched()

        @pytest.mark.lentra_rig
        def test_next_gets_a_good_rig(lentra_rig):
            assert len(lentra_rig.cameras) == 3
    """)
    result = pytester.runpytest()
    result.assert_outcomes(passed=2, errors=4)
    result.stdout.fnmatch_lines([
        "lentra_rig: the rig description did not load: devices[0].nmae: unknown key",
        "lentra_rig: the rig description did not load: */missing.json: *",
        "lentra_rig: pacing must be one of realtime, free-run, not 'fast'",
        "lentra_rig: @pytest.mark.lentra_rig(description=None, *, pacing='free-run'): too many *",
    ])
    assert "Traceback" not in result.stdout.str() and "sim.py" not in result.stdout.str()


def test_xdist_runs_such_tests_in_parallel_workers(pytester):
    body = """
        import os
        import pytest
        import pylentrasdk as lx
        from pylentrasdk import sim

        @pytest.mark.parametrize("n", range(6))
        def test_own_rig(lentra_rig, lentra_inject, n):
            assert sim.call_count("LxGetDeviceName") == 0
            cam = lentra_rig.open(n % 3)
            lentra_inject("LxGetDeviceName", text="worker {}".format(os.getpid()), count=2)
            assert lx.LxGetDeviceName(cam) == (0, "worker {}".format(os.getpid()))
            print("ran in", os.environ["PYTEST_XDIST_WORKER"])

        @pytest.mark.lentra_rig({"devices": [{"name": "One"}]})
        @pytest.mark.parametrize("n", range(4))
        def test_marked(lentra_rig, n):
            assert lentra_rig.cameras == ["One"]
    """
    pytester.makepyfile(test_parallel=body)
    result = pytester.runpytest_subprocess("-p", "xdist", "-n", "2", "-s", timeout=240)
    result.assert_outcomes(passed=10)
    result.stdout.fnmatch_lines(["*2 workers*"])


def test_the_plugin_by_itself_changes_nothing(pytester, session_rig, request):
    # Our own suite runs with it loaded (its own fixtures in tests/conftest.py still rule).
    assert request.config.pluginmanager.has_plugin("pylentrasdk")
    pytester.makepyfile(test_plain="""
        import pylentrasdk as lx
        from pylentrasdk import sim
        from conftest import NO_PLUGIN, names

        def test_first_sets_its_own_state():
            sim.inject("LxGetDeviceName", status=-1, count=2)
            assert names() == ["Session camera"]

        def test_second_finds_it_as_the_first_left_it(pytestconfig):
            assert pytestconfig.pluginmanager.has_plugin("pylentrasdk") != NO_PLUGIN
            cam = lx.LxInitialCameraDevice(0)
            lx.LxOpen(cam)
            assert lx.LxGetDeviceName(cam)[0] == -1
            assert sim.get_pacing() == "realtime"
    """)
    for extra in ([], ["-p", "no:pylentrasdk"]):
        pytester.makeconftest(SESSION_RIG + "\nNO_PLUGIN = {}\n".format(bool(extra)))
        result = pytester.runpytest(*extra)
        result.assert_outcomes(passed=2)


def test_importing_the_package_or_its_helpers_imports_no_pytest(tmp_path):
    code = ("import sys, pylentrasdk, pylentrasdk.testing, pylentrasdk.sim;"
            "assert 'pytest' not in sys.modules and '_pytest' not in sys.modules")
    subprocess.run([sys.executable, "-c", code], cwd=str(tmp_path), check=True)


def test_cameras_opened_by_the_rig_are_stopped_and_closed_at_its_end(lentra_rig):
    cam = lentra_rig.open(0)
    assert lx.LxStartStreaming(cam) == 0
    sim.inject("LxClose", status=-1)    # a fault left by the test does not keep it open
    lentra_rig._close_cameras()         # the first step of the fixture's end
    assert (sim.call_count("LxStopStreaming"), sim.call_count("LxClose")) == (1, 1)
    assert lx.LxOpen(cam) == 0          # closed: it opens again
    lentra_rig._close_cameras()         # nothing left to close
    assert sim.call_count("LxClose") == 1


def test_faults_its_fixtures_set_before_the_rig_are_kept_and_the_sessions_are_not(pytester):
    pytester.makepyfile(test_kept="""
        import pytest
        import pylentrasdk as lx
        from pylentrasdk import sim

        @pytest.fixture
        def busy_name(lentra_inject):
            lentra_inject("LxGetDeviceName", status="LX_STATUS_BUSY")

        @pytest.fixture
        def failing_discovery_and_write():
            sim.inject("LxDiscoverCameraDevices", status=-1)
            sim.fail_file_writes(1)

        def test_leaves_a_fault_to_the_session():
            sim.inject("LxGetHardwareID", status=-1, count=100)

        def test_keeps_its_fixtures_faults(busy_name, failing_discovery_and_write, lentra_camera,
                                           lentra_rig):
            assert lentra_rig.cameras == {names!r}           # the load used no fault up
            assert lx.LxDiscoverCameraDevices()[0] == -1
            assert lx.LxGetDeviceName(lentra_camera)[0] == lx.LxStatus.LX_STATUS_BUSY
            assert lx.LxExportSensorConfig(lentra_camera, "sensor.bin") != 0
            assert lx.LxExportSensorConfig(lentra_camera, "sensor.bin") == 0
            assert lx.LxGetHardwareID(lentra_camera)[0] == 0   # the session's fault is gone
    """.format(names=DEFAULT_NAMES))
    result = pytester.runpytest("-W", "error")
    result.assert_outcomes(passed=2)


def test_a_thread_a_test_left_running_is_named_and_reaches_no_later_rig(pytester):
    pytester.makepyfile(test_thread="""
        import _thread
        import threading
        import time
        import pylentrasdk as lx
        from pylentrasdk import sim

        stop = threading.Event()
        asked = {"calls": 0, "status": None}

        def ask_for_the_name(cam):
            while not stop.is_set():
                asked["status"] = lx.LxGetDeviceName(cam)[0]
                asked["calls"] += 1

        def test_leaves_a_thread_running(lentra_camera):
            global poller
            poller = threading.Thread(target=ask_for_the_name, args=(lentra_camera,),
                                      name="name poller", daemon=True)
            poller.start()

        def test_is_not_reached_by_it(lentra_camera, lentra_inject):
            lentra_inject("LxGetDeviceName", status="LX_STATUS_BUSY")
            calls = asked["calls"]
            while asked["calls"] < calls + 1000:
                assert poller.is_alive()
                time.sleep(0.001)
            assert asked["status"] == lx.LxStatus.LX_STATUS_INVALID_HANDLE
            assert sim.call_count("LxGetDeviceName") == 0
            assert lx.LxGetDeviceName(lentra_camera)[0] == lx.LxStatus.LX_STATUS_BUSY

        def test_stops_it():
            stop.set()
            poller.join()

        def test_a_thread_python_did_not_start_is_not_named(lentra_rig):
            # Python lists such a thread for ever once it has called into Python.
            called = threading.Event()
            _thread.start_new_thread(lambda: (threading.current_thread(), called.set()), ())
            called.wait()
    """)
    # As a user's run shows it (this suite makes warnings errors, and the run inherits that).
    result = pytester.runpytest("-W", "always::pylentrasdk.testing.LentraThreadWarning")
    result.assert_outcomes(passed=4, warnings=1)
    result.stdout.fnmatch_lines([
        "*test_thread.py::test_leaves_a_thread_running",
        "*LentraThreadWarning: the test left thread 'name poller' (ask_for_the_name) running*",
    ])
