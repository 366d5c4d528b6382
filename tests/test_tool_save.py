"""Saving frames to files from the console tool."""
import os

import pytest

import pylentrasdk
from pylentrasdk import LX_IMAGE_FORMAT
from conftest import OutOfAnswers, calls

CLOSING = [" << Back to Camera Control and Management Tool", "exit"]
NON_DIGITS = "The input string contains non-digit characters."


@pytest.fixture(autouse=True)
def fast_frames():
    with pylentrasdk.sim.free_run():
        yield


def smallest_format(cam, member=None):
    """The tool's index of the camera's smallest format (of the given pixel format), and it."""
    status, records = pylentrasdk.LxGetFormatList(cam)
    listed = [r for r in records if r.format != LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_NONE]
    candidates = [(r.width * r.height, i) for i, r in enumerate(listed)
                  if member is None or r.format == member]
    if not candidates:
        pytest.skip("the camera offers no such format")
    index = min(candidates)[1]
    return index, listed[index]


BYTES_PER_PIXEL = {"YUY2": 2, "UYVY": 2, "RGB16": 2, "NV12": 1.5, "BGR": 3, "RGB": 3,
                   "BGRA": 4, "BGRX": 4}


def frame_size(record):
    return int(record.width * record.height * BYTES_PER_PIXEL[record.format.name[16:]])


def save(tool, prompter, cam, typed, *lines):
    """Runs the save dialogue with the typed lines; stops at the closing menu."""
    typed(*lines)
    with pytest.raises(OutOfAnswers):
        tool.SaveImage(cam)
    assert (prompter.asked[-1].message, prompter.asked[-1].choices) == ("", CLOSING)


class TestSavedFiles:
    def test_numbered_files_hold_the_bare_frames(self, tool, prompter, kavn_camera, typed, tmp_path,
                                                capsys):
        index, record = smallest_format(kavn_camera)
        path = str(tmp_path / "test.raw")
        save(tool, prompter, kavn_camera, typed, str(index), path, "2", "3")
        names = sorted(os.listdir(tmp_path))
        assert names == ["test_1.raw", "test_2.raw", "test_3.raw"]
        for name in names:
            assert os.path.getsize(tmp_path / name) == frame_size(record)
        out = capsys.readouterr().out
        assert "Valid extension: npy, raw\n" in out
        assert "Skip  1\nSkip  2\n" in out
        assert [line for line in out.splitlines() if line.startswith("Save the image to ")] == \
            ["Save the image to " + str(tmp_path / name) for name in names]
        assert calls("LxGetImage") == 5
        assert calls("LxStartStreaming") == calls("LxStopStreaming") == 1

    @pytest.mark.parametrize("count, names", [
        ("1", ["a.b.npy"]),  # one frame: the path as typed
        ("2", ["a.b_1.npy", "a.b_2.npy"]),  # only the last dot splits the name
    ])
    def test_file_names(self, tool, prompter, kavn_camera, typed, tmp_path, capsys, count, names):
        index, record = smallest_format(kavn_camera)
        folder = tmp_path / "dir.d"
        folder.mkdir()
        save(tool, prompter, kavn_camera, typed, str(index), str(folder / "a.b.npy"), "0", count)
        assert sorted(os.listdir(folder)) == names
        data = (folder / names[0]).read_bytes()
        assert len(data) == frame_size(record) and not data.startswith(b"\x93NUMPY")
        assert "Skip" not in capsys.readouterr().out
        assert calls("LxGetImage") == int(count)

    def test_jpeg_name_refused_for_raw_frames(self, tool, prompter, kavn_camera, typed, tmp_path,
                                              capsys):
        index, record = smallest_format(kavn_camera)
        save(tool, prompter, kavn_camera, typed, str(index), str(tmp_path / "f.jpg"), "noext",
             str(tmp_path / "f.raw"), "0", "1")
        out = capsys.readouterr().out
        assert out.count("Enter the File Path (e.g: test.raw): ") == 3
        assert "Filename must include a file extension.(npy, raw)\n" in out
        assert "Filename must include a file extension.\n" in out
        assert os.listdir(tmp_path) == ["f.raw"]

    def test_new_files_get_the_usual_permissions(self, tool, prompter, kavn_camera, typed, tmp_path):
        index, record = smallest_format(kavn_camera)
        umask = os.umask(0o027)
        try:
            save(tool, prompter, kavn_camera, typed, str(index), str(tmp_path / "f.raw"), "0", "1")
        finally:
            os.umask(umask)
        assert os.stat(tmp_path / "f.raw").st_mode & 0o777 == 0o640


class TestCounts:
    @pytest.mark.parametrize("skip", ["", "x", "-1", "1.5", "\u00b2"])
    def test_skip_count_must_be_digits(self, tool, prompter, kavn_camera, typed, tmp_path, capsys,
                                       skip):
        index, record = smallest_format(kavn_camera)
        save(tool, prompter, kavn_camera, typed, str(index), str(tmp_path / "f.raw"), skip, "0", "1")
        out = capsys.readouterr().out
        assert out.count(NON_DIGITS) == 1
        assert out.count("Enter the numbers of image to skip: ") == 2

    @pytest.mark.parametrize("count, message", [
        ("0", "Number is invalid, please enter the number > 0."),
        ("one", NON_DIGITS),
        ("3\u00b2", NON_DIGITS)])
    def test_save_count_must_be_positive(self, tool, prompter, kavn_camera, typed, tmp_path, capsys,
                                         count, message):
        index, record = smallest_format(kavn_camera)
        save(tool, prompter, kavn_camera, typed, str(index), str(tmp_path / "f.raw"), "0", count,
             "1")
        out = capsys.readouterr().out
        assert out.count(message) == 1
        assert os.listdir(tmp_path) == ["f.raw"]


class TestFailures:
    def test_failed_skip_goes_on_to_saving(self, tool, prompter, kavn_camera, typed, tmp_path,
                                           capsys):
        index, record = smallest_format(kavn_camera)
        typed(str(index), str(tmp_path / "f.raw"), "3", "2")
        pylentrasdk.sim.inject("LxGetImage", result=-1)
        with pytest.raises(OutOfAnswers):
            tool.SaveImage(kavn_camera)
        out = capsys.readouterr().out
        assert "Skip  1\nFailed to get image during skip.\n" in out and "Skip  2" not in out
        assert sorted(os.listdir(tmp_path)) == ["f_1.raw", "f_2.raw"]
        assert calls("LxStartStreaming") == calls("LxStopStreaming") == 1

    def test_failed_capture_ends_saving(self, tool, prompter, kavn_camera, typed, tmp_path, capsys):
        index, record = smallest_format(kavn_camera)
        typed(str(index), str(tmp_path / "f.raw"), "0", "3")
        pylentrasdk.sim.inject("LxGetImage", result=-3)
        with pytest.raises(OutOfAnswers):
            tool.SaveImage(kavn_camera)
        assert "Failed to save image.\n" in capsys.readouterr().out
        assert os.listdir(tmp_path) == []
        assert calls("LxGetImage") == 1
        assert calls("LxStopStreaming") == 1

    def test_write_failure_on_the_second_of_three(self, tool, prompter, kavn_camera, typed, tmp_path,
                                                  capsys):
        index, record = smallest_format(kavn_camera)
        (tmp_path / "f_2.raw").mkdir()
        save(tool, prompter, kavn_camera, typed, str(index), str(tmp_path / "f.raw"), "0", "3")
        out = capsys.readouterr().out
        assert "Save the image to " + str(tmp_path / "f_1.raw") in out
        assert "Error to save the image: " in out and str(tmp_path / "f_2.raw") in out
        assert sorted(os.listdir(tmp_path)) == ["f_1.raw", "f_2.raw"]
        assert os.path.getsize(tmp_path / "f_1.raw") == frame_size(record)
        assert calls("LxGetImage") == 2
        assert calls("LxStopStreaming") == 1

    def test_missing_folder(self, tool, prompter, kavn_camera, typed, tmp_path, capsys):
        index, record = smallest_format(kavn_camera)
        target = str(tmp_path / "nowhere" / "f.raw")
        save(tool, prompter, kavn_camera, typed, str(index), target, "0", "1")
        out = capsys.readouterr().out
        assert "Error to save the image: [Errno 2] No such file or directory: '%s'" % target in out

    def test_failed_write_keeps_the_file_that_was_there(self, tool, prompter, kavn_camera, typed,
                                                        tmp_path, capsys, monkeypatch):
        index, record = smallest_format(kavn_camera)
        (tmp_path / "f.raw").write_bytes(b"keep me")
        real_fdopen = os.fdopen

        class FullDisk:
            def __init__(self, stream):
                self.stream = stream

            def __enter__(self):
                return self

            def __exit__(self, *exc):
                self.stream.close()

            def fileno(self):
                raise OSError(28, "No space left on device")

            def write(self, data):
                raise OSError(28, "No space left on device")

            def flush(self):
                pass

        monkeypatch.setattr(os, "fdopen", lambda *a, **k: FullDisk(real_fdopen(*a, **k)))
        save(tool, prompter, kavn_camera, typed, str(index), str(tmp_path / "f.raw"), "0", "1")
        assert "Error to save the image: [Errno 28] No space left on device" in \
            capsys.readouterr().out
        assert os.listdir(tmp_path) == ["f.raw"]
        assert (tmp_path / "f.raw").read_bytes() == b"keep me"

    def test_format_not_applied_goes_to_the_closing_menu(self, tool, prompter, kavn_camera, typed,
                                                         capsys):
        pylentrasdk.sim.inject("LxSetFormat", status=-5)
        save(tool, prompter, kavn_camera, typed, "0")  # nothing more is read
        assert "Fail to Set Format." in capsys.readouterr().out
        assert calls("LxStartStreaming") == 0

    def test_no_format_to_choose_goes_to_the_closing_menu(self, tool, prompter, kavn_camera, typed,
                                                          capsys):
        pylentrasdk.sim.inject("LxGetFormatList", value=[])
        save(tool, prompter, kavn_camera, typed)
        assert "There is nothing to choose from." in capsys.readouterr().out
        assert calls("LxSetFormat") == calls("LxStartStreaming") == 0


class TestMenus:
    def test_image_operation_menu(self, tool, prompter, kavn_camera):
        prompter.script(" < Back to Camera Control and Management Tool")
        with pytest.raises(OutOfAnswers):
            tool.ImageOperation(kavn_camera)
        assert (prompter.asked[0].message, prompter.asked[0].choices) == (
            "Image Operation",
            ["Save Image", " < Back to Camera Control and Management Tool", "exit"])
        assert prompter.asked[1].message == "Camera Control and Management Tool"

    def test_closing_menu_leads_back_or_out(self, tool, prompter, kavn_camera, typed, tmp_path):
        pylentrasdk.sim.inject("LxGetFormatList", value=[])
        prompter.script(CLOSING[0], "exit")
        before = calls("LxClose")
        with pytest.raises(SystemExit) as ended:
            tool.SaveImage(kavn_camera)
        assert (ended.value.code or 0) == 0
        assert prompter.messages == ["", "Camera Control and Management Tool"]
        assert calls("LxClose") == before + 1
