"""pylentrasdk.frames: captured frames of every pixel format as RGB pictures and files."""
import io
import os

import numpy as np
import pytest
from PIL import Image

import pylentrasdk as lx
from pylentrasdk import frames, sim

import pattern_reference as ref

F = lx.LX_IMAGE_FORMAT
NAMES = ("MJPG", "YUY2", "UYVY", "NV12", "BGRA", "BGRX", "BGR", "RGB", "RGB16")
WIDTH, HEIGHT = 96, 64


@pytest.fixture
def captured():
    """One frame of each of the nine pixel formats from a camera that offers them all:
    {name: (frame, LxFormat)}."""
    sim.load({"devices": [{"name": "all formats", "formats": [
        {"format": name, "width": WIDTH, "height": HEIGHT} for name in NAMES]}]})
    cam = lx.LxInitialCameraDevice(0)
    assert lx.LxOpen(cam) == 0
    status, formats = lx.LxGetFormatList(cam)
    assert status == 0
    taken = {}
    with sim.free_run():
        for fmt in formats:
            assert lx.LxSetFormat(cam, fmt) == 0 and lx.LxStartStreaming(cam) == 0
            result, frame = lx.LxGetImage(cam, 3000, fmt)
            assert result == lx.LX_CAPTURE_RESULT.LX_SUCCESS
            assert lx.LxStopStreaming(cam) == 0
            taken[fmt.format.name.replace("LX_IMAGE_FORMAT_", "")] = (frame, fmt)
    lx.LxClose(cam)
    return taken


def expected_picture(frame, fmt):
    return ref.picture(fmt.width, fmt.height, sim.read_frame_number(frame, fmt))


@pytest.mark.parametrize("name", ["BGRA", "BGRX", "BGR", "RGB"])
def test_rgb_family_frames_give_the_picture_exactly(captured, name):
    frame, fmt = captured[name]
    rgb = frames.to_rgb(frame, fmt)
    assert rgb.shape == (HEIGHT, WIDTH, 3) and rgb.dtype == np.uint8
    np.testing.assert_array_equal(rgb, expected_picture(frame, fmt))
    np.testing.assert_array_equal(frames.to_bgr(frame, fmt), rgb[..., ::-1])


def test_rgb16_channels_are_shifted_up(captured):
    frame, fmt = captured["RGB16"]
    picture = expected_picture(frame, fmt)
    truncated = np.stack([(picture[..., 0] >> 3) << 3, (picture[..., 1] >> 2) << 2,
                          (picture[..., 2] >> 3) << 3], axis=-1)
    np.testing.assert_array_equal(frames.to_rgb(frame, fmt), truncated)


@pytest.mark.parametrize("name", ["YUY2", "UYVY", "NV12"])
def test_yuv_frames_come_back_within_one_level(captured, name):
    # The pattern's bands and stamp cells are even-aligned, so chroma averaging never mixes two
    # colours; what remains is the rounding of the BT.601 matrix and its inverse.
    frame, fmt = captured[name]
    rgb = frames.to_rgb(frame, fmt).astype(int)
    difference = np.abs(rgb - expected_picture(frame, fmt))
    assert difference.max() <= 1


def test_yuv_white_and_black_are_exact():
    # Y 235 and 16 with neutral chroma are the ends of the range: 255 and 0, not 254 or 1.
    pair = np.array([235, 128, 16, 128], dtype=np.uint8)
    np.testing.assert_array_equal(frames.to_rgb(pair, F.LX_IMAGE_FORMAT_YUY2, 2, 1),
                                  [[[255, 255, 255], [0, 0, 0]]])


def test_mjpg_frames_are_decoded(captured):
    frame, fmt = captured["MJPG"]
    rgb = frames.to_rgb(frame, fmt)
    assert rgb.shape == (HEIGHT, WIDTH, 3) and rgb.dtype == np.uint8
    assert np.abs(rgb.astype(int) - expected_picture(frame, fmt)).mean() < 8


@pytest.mark.parametrize("name", [n for n in NAMES if n != "MJPG"])
def test_a_frame_of_the_wrong_size_names_both_sizes(captured, name):
    frame, fmt = captured[name]
    expected = frames.frame_size(fmt)
    assert expected == frame.size
    with pytest.raises(ValueError, match=r"is {} bytes, this one is {}".format(expected,
                                                                             expected - 1)):
        frames.to_rgb(frame[:-1], fmt)


def test_a_jpeg_of_another_size_or_no_jpeg_is_refused(captured):
    frame, fmt = captured["MJPG"]
    with pytest.raises(ValueError, match=r"{} x {} picture, the format is 32 x 16".format(
            WIDTH, HEIGHT)):
        frames.to_rgb(frame, F.LX_IMAGE_FORMAT_MJPG, 32, 16)
    with pytest.raises(ValueError, match="no readable JPEG"):
        frames.to_rgb(frame[: frame.size // 2], fmt)


def test_formats_without_a_picture_and_odd_sizes_are_refused():
    with pytest.raises(ValueError, match="even width"):
        frames.to_rgb(bytes(6), F.LX_IMAGE_FORMAT_YUY2, 3, 1)
    with pytest.raises(ValueError, match="even height"):
        frames.to_rgb(bytes(9), F.LX_IMAGE_FORMAT_NV12, 2, 3)
    with pytest.raises(ValueError, match="carry no picture"):
        frames.to_rgb(bytes(4), F.LX_IMAGE_FORMAT_NONE, 2, 2)
    with pytest.raises(TypeError, match="uint8"):
        frames.to_rgb(np.zeros(12, dtype=np.uint16), F.LX_IMAGE_FORMAT_RGB, 2, 2)


@pytest.mark.parametrize("name", ["NV12", "MJPG", "RGB16"])
def test_png_files_hold_the_picture(captured, name, tmp_path):
    frame, fmt = captured[name]
    path = tmp_path / "frame.png"
    frames.to_png(frame, fmt, path)
    with Image.open(path) as image:
        assert (image.format, image.mode) == ("PNG", "RGB")
        np.testing.assert_array_equal(np.asarray(image), frames.to_rgb(frame, fmt))
    assert os.listdir(tmp_path) == ["frame.png"]


def test_a_failed_png_leaves_the_old_file_and_no_temporary(captured, tmp_path):
    frame, fmt = captured["BGR"]
    path = tmp_path / "frame.png"
    path.write_bytes(b"the old picture")
    with pytest.raises(ValueError):
        frames.to_png(frame[:-3], fmt, path)
    with pytest.raises(OSError):
        frames.to_png(frame, fmt, tmp_path / "missing" / "frame.png")
    (tmp_path / "folder").mkdir()
    with pytest.raises(OSError):
        frames.to_png(frame, fmt, tmp_path / "folder")  # a folder is no file
    assert path.read_bytes() == b"the old picture"
    assert sorted(os.listdir(tmp_path)) == ["folder", "frame.png"]



class TestStreamFramesAsFiles:
    """frame.save and frames.save write the kind of file the extension names, through the one
    atomic writer; a notebook shows a frame as its picture (Frame._repr_png_)."""

    @pytest.fixture
    def taken(self):
        """A stream Frame of YUY2, MJPG and RGB16: {name: Frame}."""
        sim.load({"devices": [{"name": "three formats", "formats": [
            {"format": name, "width": WIDTH, "height": HEIGHT} for name in ("YUY2", "MJPG",
                                                                            "RGB16")]}]})
        taken = {}
        with sim.free_run(), lx.Camera(0) as cam:
            for name in ("YUY2", "MJPG", "RGB16"):
                cam.format = "{}x{}:{}".format(WIDTH, HEIGHT, name)
                taken[name] = cam.read()
        return taken

    @pytest.mark.parametrize("name", ["YUY2", "MJPG", "RGB16"])
    def test_a_notebook_shows_the_picture(self, taken, name):
        with Image.open(io.BytesIO(taken[name]._repr_png_())) as image:
            assert image.format == "PNG"
            np.testing.assert_array_equal(np.asarray(image), taken[name].to_rgb())

    def test_a_frame_without_a_picture_shows_its_text(self):
        sim.load({"devices": [{"name": "jpeg", "formats": [
            {"format": "MJPG", "width": WIDTH, "height": HEIGHT}]}]})
        sim.inject("LxGetImage", size=100)  # 100 bytes of whatever: no JPEG
        with sim.free_run(), lx.Camera(0) as cam:
            frame = cam.read()
        assert frame._repr_png_() is None and repr(frame).startswith("<Frame 96x64:MJPG@30")

    @pytest.mark.parametrize("name", ["YUY2", "RGB16"])
    def test_each_kind_of_file(self, taken, name, tmp_path):
        frame = taken[name]
        frame.save(tmp_path / "f.PNG")
        with Image.open(tmp_path / "f.PNG") as image:
            assert image.format == "PNG"
            np.testing.assert_array_equal(np.asarray(image), frame.to_rgb())
        frame.save(str(tmp_path / "f.jpg"), quality=95)  # compressed from the frame
        with Image.open(tmp_path / "f.jpg") as image:
            assert (image.format, image.size) == ("JPEG", (WIDTH, HEIGHT))
            assert np.abs(np.asarray(image).astype(int) - frame.to_rgb()).mean() < 4
        frame.save(tmp_path / "f.npy")
        loaded = np.load(tmp_path / "f.npy")
        assert (loaded.shape, loaded.dtype) == (frame.array.shape, frame.array.dtype)
        np.testing.assert_array_equal(loaded, frame.array)
        frame.save(tmp_path / "f.raw")
        assert (tmp_path / "f.raw").read_bytes() == frame.array.tobytes()
        assert sorted(os.listdir(tmp_path)) == ["f.PNG", "f.jpg", "f.npy", "f.raw"]

    def test_an_mjpg_frame_is_its_own_jpeg_and_captured_bytes_save_too(self, taken, tmp_path):
        frame = taken["MJPG"]
        frame.save(tmp_path / "f.jpeg")
        assert (tmp_path / "f.jpeg").read_bytes() == frame.array.tobytes()
        # LxGetImage's flat array with its record, and bytes.
        flat, record = frame.array.copy(), frame.format
        frames.save(flat, tmp_path / "flat.png", record)
        with Image.open(tmp_path / "flat.png") as image:
            np.testing.assert_array_equal(np.asarray(image), frame.to_rgb())
        frames.save(flat.tobytes(), tmp_path / "flat.npy")
        np.testing.assert_array_equal(np.load(tmp_path / "flat.npy"), flat)

    def test_what_is_not_a_file_is_left_as_it_was(self, taken, tmp_path):
        target = tmp_path / "target"
        target.write_bytes(b"kept")
        (tmp_path / "link.npy").symlink_to(target)
        with pytest.raises(OSError, match="is a symbolic link"):
            taken["YUY2"].save(tmp_path / "link.npy")
        assert target.read_bytes() == b"kept" and (tmp_path / "link.npy").is_symlink()
