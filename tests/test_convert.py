"""pylentrasdk.frames' compiled conversions: every format gives exactly the NumPy oracle's picture,
`out=` is written in place, stream frames are taken as they come, JPEG files hold the picture, and
every kind of bad input is refused with an exception before a byte is read."""
import io
import threading

import numpy as np
import pytest
from PIL import Image

import pylentrasdk as lx
from pylentrasdk import _convert, frames, sim
from pylentrasdk.stream import FrameStream

import frames_oracle as oracle

F = lx.LX_IMAGE_FORMAT
RAW = ("YUY2", "UYVY", "NV12", "BGRA", "BGRX", "BGR", "RGB", "RGB16")
# Widths around the conversions' chunk of 256 pixel pairs, odd widths for the RGB formats, and
# the smallest frames.
SIZES = [(2, 2), (6, 4), (514, 2), (1030, 4), (640, 6)]
ODD_SIZES = [(1, 1), (3, 5), (513, 3)]


def member(name):
    return getattr(F, "LX_IMAGE_FORMAT_" + name)


def random_frame(name, width, height, seed=0):
    size = frames.frame_size(member(name), width, height)
    return np.random.default_rng(seed).integers(0, 256, size, dtype=np.uint8)


def sizes_of(name):
    return SIZES + (ODD_SIZES if frames.PIXEL_FORMATS[member(name)].width_multiple == 1 else [])


@pytest.mark.parametrize("name", RAW)
def test_raw_formats_give_the_oracles_pictures_exactly(name):
    for seed, (width, height) in enumerate(sizes_of(name)):
        data = random_frame(name, width, height, seed)
        rgb = oracle.to_rgb(data, name, width, height)
        np.testing.assert_array_equal(frames.to_rgb(data, member(name), width, height), rgb)
        np.testing.assert_array_equal(frames.to_bgr(data, member(name), width, height),
                                      rgb[..., ::-1])
        np.testing.assert_array_equal(frames.to_gray(data, member(name), width, height),
                                      oracle.to_gray(data, name, width, height))


@pytest.mark.parametrize("name", ["YUY2", "UYVY", "NV12"])
def test_every_chroma_pair_converts_exactly(name):
    # Row j holds U = j and every V, with luma running through all values: the 16-bit
    # arithmetic of the conversions must give the 32-bit formula's result at every extreme.
    width, height = 512, 256
    u = np.repeat(np.arange(256, dtype=np.uint8)[:, None], 256, axis=1)
    v = np.repeat(np.arange(256, dtype=np.uint8)[None, :], 256, axis=0)
    y = ((np.arange(width)[None, :] * 7 + np.arange(height)[:, None] * 3) % 256).astype(np.uint8)
    if name == "NV12":
        uv = np.stack([u[::2], v[::2]], axis=-1).reshape(height // 2, width)
        data = np.concatenate([y.reshape(-1), uv.reshape(-1)])
    else:
        order = (y[:, 0::2], u, y[:, 1::2], v) if name == "YUY2" else (u, y[:, 0::2], v, y[:, 1::2])
        data = np.stack(order, axis=-1).reshape(-1)
    np.testing.assert_array_equal(frames.to_rgb(data, member(name), width, height),
                                  oracle.to_rgb(data, name, width, height))


def test_mjpg_frames_decode_as_pillow_decodes_them():
    picture = np.random.default_rng(3).integers(0, 256, (48, 80, 3), dtype=np.uint8)
    for subsampling in (0, 1, 2):  # 4:4:4, 4:2:2, 4:2:0
        out = io.BytesIO()
        Image.fromarray(picture).save(out, format="JPEG", quality=90, subsampling=subsampling)
        data = np.frombuffer(out.getvalue(), dtype=np.uint8)
        rgb = oracle.to_rgb(data, "MJPG", 80, 48)
        np.testing.assert_array_equal(frames.to_rgb(data, F.LX_IMAGE_FORMAT_MJPG, 80, 48), rgb)
        np.testing.assert_array_equal(frames.to_bgr(data, F.LX_IMAGE_FORMAT_MJPG, 80, 48),
                                      rgb[..., ::-1])
        np.testing.assert_array_equal(frames.to_gray(data, F.LX_IMAGE_FORMAT_MJPG, 80, 48),
                                      oracle.to_gray(data, "MJPG", 80, 48))


def test_out_is_written_in_place_and_returned():
    data = random_frame("YUY2", 64, 8)
    out = np.zeros((8, 64, 3), dtype=np.uint8)
    assert frames.to_rgb(data, F.LX_IMAGE_FORMAT_YUY2, 64, 8, out=out) is out
    np.testing.assert_array_equal(out, oracle.to_rgb(data, "YUY2", 64, 8))
    other = random_frame("YUY2", 64, 8, seed=1)
    assert frames.to_bgr(other, F.LX_IMAGE_FORMAT_YUY2, 64, 8, out=out) is out
    np.testing.assert_array_equal(out, oracle.to_rgb(other, "YUY2", 64, 8)[..., ::-1])
    gray = np.zeros((8, 64), dtype=np.uint8)
    assert frames.to_gray(data, F.LX_IMAGE_FORMAT_YUY2, 64, 8, out=gray) is gray
    np.testing.assert_array_equal(gray, oracle.to_gray(data, "YUY2", 64, 8))


def test_an_unfit_out_is_refused_and_left_alone():
    data = random_frame("RGB", 4, 2)
    fmt = F.LX_IMAGE_FORMAT_RGB
    cases = [
        (np.zeros((2, 4), np.uint8), ValueError, r"shape \(2, 4, 3\)"),
        (np.zeros((4, 2, 3), np.uint8), ValueError, "shape"),
        (np.zeros((2, 4, 3), np.uint16), TypeError, "uint8"),
        (np.zeros((2, 4, 3), np.float32), TypeError, "uint8"),
        (np.zeros((4, 2, 3), np.uint8).transpose(1, 0, 2), ValueError, "C-contiguous"),
        (np.zeros((2, 8, 3), np.uint8)[:, ::2], ValueError, "C-contiguous"),
        (np.zeros((2, 4, 3), np.uint8).tolist(), TypeError, "NumPy array"),
    ]
    for out, error, message in cases:
        with pytest.raises(error, match=message):
            frames.to_rgb(data, fmt, 4, 2, out=out)
    read_only = np.zeros((2, 4, 3), np.uint8)
    read_only.flags.writeable = False
    with pytest.raises(ValueError, match="read-only"):
        frames.to_rgb(data, fmt, 4, 2, out=read_only)
    assert not read_only.any()
    # A picture written over its own frame would read bytes it has already overwritten.
    shared = np.zeros(2 * 4 * 3, np.uint8)
    with pytest.raises(ValueError, match="shares memory"):
        frames.to_rgb(shared, fmt, 4, 2, out=shared.reshape(2, 4, 3))


def test_bad_frames_are_refused_before_any_byte_is_read():
    yuy2 = F.LX_IMAGE_FORMAT_YUY2
    data = random_frame("YUY2", 8, 4)
    with pytest.raises(ValueError, match="is 64 bytes, this one is 63"):
        frames.to_rgb(data[:-1], yuy2, 8, 4)
    with pytest.raises(ValueError, match="is 64 bytes, this one is 65"):
        frames.to_gray(np.concatenate([data, data[:1]]), yuy2, 8, 4)
    with pytest.raises(ValueError, match="is 64 bytes, this one is 0"):
        frames.to_jpeg(b"", yuy2, 80, 8, 4)
    with pytest.raises(TypeError, match="uint8"):
        frames.to_rgb(data.astype(np.int16), yuy2, 8, 4)
    with pytest.raises(TypeError, match="uint8"):
        frames.to_rgb(data.view(np.uint16), yuy2, 8, 4)  # 16-bit words only for RGB16
    for other_bytes in (data.view(np.int8), memoryview(data.tobytes()).cast("c")):
        with pytest.raises(TypeError, match="uint8"):
            frames.to_rgb(other_bytes, yuy2, 8, 4)
    with pytest.raises(ValueError, match="not contiguous"):
        frames.to_rgb(np.repeat(data, 2)[::2], yuy2, 8, 4)
    with pytest.raises(TypeError, match="NumPy array of uint8 or bytes"):
        frames.to_rgb(list(data), yuy2, 8, 4)
    with pytest.raises(TypeError, match="only a FrameStream frame"):
        frames.to_rgb(data)
    with pytest.raises(ValueError, match="quality is 1 to 100"):
        frames.to_jpeg(data, yuy2, 0, 8, 4)
    with pytest.raises(ValueError, match="quality is 1 to 100"):
        frames.to_jpeg(data, yuy2, 101, 8, 4)


def test_sizes_and_qualities_are_ints_in_range():
    yuy2 = F.LX_IMAGE_FORMAT_YUY2
    data = random_frame("YUY2", 8, 4)
    for width in ("8", 8.0, 8.9, True, [8]):
        with pytest.raises(TypeError, match="width must be an int"):
            frames.to_rgb(data, yuy2, width, 4)
        with pytest.raises(TypeError, match="width must be an int"):
            _convert.to_rgb(data, int(yuy2), width, 4)
        with pytest.raises(TypeError, match="width must be an int"):
            frames.frame_size(yuy2, width, 4)
    for quality in ("80", 80.0, True):
        with pytest.raises(TypeError, match="quality must be an int"):
            frames.to_jpeg(data, yuy2, quality, 8, 4)
        with pytest.raises(TypeError, match="quality must be an int"):
            _convert.to_jpeg(data, int(yuy2), 8, 4, quality)
    # Beyond what a C int holds, refused with the documented ValueError, not pybind11's
    # "incompatible function arguments".
    for side in (2 ** 16, 2 ** 31, 2 ** 40, 2 ** 70):
        with pytest.raises(ValueError, match="larger than 65535 on a side"):
            frames.frame_size(yuy2, side, 2)
        with pytest.raises(ValueError, match="larger than 65535 on a side"):
            _convert.to_gray(data, int(yuy2), side, 4)
        with pytest.raises(ValueError, match="larger than 65535 on a side"):
            _convert.frame_bytes(int(yuy2), 2, side)
    with pytest.raises(ValueError, match="holds no picture"):
        _convert.to_rgb(data, int(yuy2), -2 ** 40, 4)
    with pytest.raises(ValueError, match="format 2147483648 carries no picture"):
        _convert.to_rgb(data, 2 ** 31, 8, 4)
    for quality in (2 ** 31, -2 ** 31 - 1, 2 ** 70):
        with pytest.raises(ValueError, match="quality is 1 to 100"):
            frames.to_jpeg(data, yuy2, quality, 8, 4)
        with pytest.raises(ValueError, match="quality is 1 to 100"):
            _convert.to_jpeg(data, int(yuy2), 8, 4, quality)
    # NumPy's integers are ints.
    assert frames.frame_size(yuy2, np.int64(8), np.uint16(4)) == 64
    assert frames.to_rgb(data, yuy2, np.int32(8), 4).shape == (4, 8, 3)


def test_bad_jpeg_frames_are_refused():
    mjpg = F.LX_IMAGE_FORMAT_MJPG
    out = io.BytesIO()
    Image.new("RGB", (32, 16), (200, 30, 90)).save(out, format="JPEG")
    jpeg = np.frombuffer(out.getvalue(), dtype=np.uint8)
    for convert in (frames.to_rgb, frames.to_gray):
        with pytest.raises(ValueError, match="no readable JPEG"):
            convert(jpeg[: jpeg.size - 20], mjpg, 32, 16)  # the end of the data is lost
        with pytest.raises(ValueError, match="no readable JPEG"):
            convert(np.arange(200, dtype=np.uint8), mjpg, 32, 16)
        with pytest.raises(ValueError, match="no readable JPEG"):
            convert(b"", mjpg, 32, 16)
        with pytest.raises(ValueError, match="32 x 16 picture, the format is 16 x 16"):
            convert(jpeg, mjpg, 16, 16)
    with pytest.raises(ValueError, match="no readable JPEG"):
        frames.to_jpeg(b"\xff\xd8 not a JPEG", mjpg, 80, 32, 16)


def test_the_c_and_python_tables_of_formats_agree():
    for fmt, facts in frames.PIXEL_FORMATS.items():
        assert frames.format_name(fmt) == facts.name == fmt.name.replace("LX_IMAGE_FORMAT_", "")
        for width, height in [(2, 2), (640, 480), (1920, 1080), (3840, 2160)]:
            assert frames.frame_size(fmt, width, height) == _convert.frame_bytes(
                int(fmt), width, height)
    assert frames.format_name(F.LX_IMAGE_FORMAT_NONE) is None
    with pytest.raises(ValueError, match="carry no picture"):
        _convert.frame_bytes(int(F.LX_IMAGE_FORMAT_NONE), 2, 2)
    with pytest.raises(ValueError, match="format 42 carries no picture"):
        _convert.frame_bytes(42, 2, 2)


def _jpeg_picture(data):
    with Image.open(io.BytesIO(data)) as image:
        assert image.format == "JPEG"
        return np.asarray(image.convert("RGB")).astype(int)


@pytest.mark.parametrize("name", RAW)
def test_jpeg_files_hold_the_picture(name):
    # The test pattern in every format, made by the SDK's encoders; at this size JPEG's loss at
    # the bars' edges averages about one level.
    width, height = 320, 240
    sim.load({"devices": [{"name": "one", "formats": [
        {"format": name, "width": width, "height": height}]}]})
    cam = lx.LxInitialCameraDevice(0)
    assert lx.LxOpen(cam) == 0
    try:
        with sim.free_run(), FrameStream(cam, lx.LxGetFormatList(cam)[1][0]) as stream:
            frame = stream.read()
    finally:
        lx.LxClose(cam)
    jpeg = frames.to_jpeg(frame, quality=95)
    difference = np.abs(_jpeg_picture(jpeg) - frame.to_rgb())
    assert difference.mean() < 2.5


def test_yuv_jpeg_keeps_black_and_white():
    # The planes are limited range (16 to 235); JPEG's YCbCr is full range, so they are
    # stretched first: black stays black, white stays white, not grey.
    pairs = np.array([[16, 128, 16, 128], [235, 128, 235, 128]], dtype=np.uint8)
    data = np.repeat(pairs, 8 * 16 // 2, axis=0).reshape(-1)  # top half black, bottom white
    picture = _jpeg_picture(frames.to_jpeg(data, F.LX_IMAGE_FORMAT_YUY2, 90, 16, 16))
    assert picture[:6].max() <= 3 and picture[10:].min() >= 252


def test_mjpg_frames_pass_through_as_they_are():
    out = io.BytesIO()
    Image.new("RGB", (32, 16), (10, 200, 30)).save(out, format="JPEG")
    assert frames.to_jpeg(out.getvalue(), F.LX_IMAGE_FORMAT_MJPG, 50, 32, 16) == out.getvalue()


def test_stream_frames_convert_as_they_come():
    # RGB16's uint16 array, NV12's planes and YUY2's pixel pairs, and the Frame itself.
    names = ("RGB16", "NV12", "YUY2", "MJPG")
    sim.load({"devices": [{"name": "all", "formats": [
        {"format": n, "width": 48, "height": 16} for n in names]}]})
    cam = lx.LxInitialCameraDevice(0)
    assert lx.LxOpen(cam) == 0
    try:
        for fmt in lx.LxGetFormatList(cam)[1]:
            with sim.free_run(), FrameStream(cam, fmt) as stream:
                frame = stream.read()
            name = frames.format_name(fmt.format)
            assert frame.format.format == fmt.format and frame.format.width == 48
            flat = np.ascontiguousarray(frame.array).view(np.uint8).reshape(-1)
            rgb = oracle.to_rgb(flat, name, 48, 16)
            np.testing.assert_array_equal(frames.to_rgb(frame.array, fmt), rgb)
            np.testing.assert_array_equal(frames.to_rgb(frame), rgb)
            np.testing.assert_array_equal(frame.to_rgb(), rgb)
            np.testing.assert_array_equal(frame.to_bgr(threads=3), rgb[..., ::-1])
            with pytest.raises(TypeError, match="threads must be an int"):
                frame.to_rgb(threads=1.5)
            out = np.empty((16, 48), np.uint8)
            assert frame.to_gray(out=out) is out
            np.testing.assert_array_equal(out, oracle.to_gray(flat, name, 48, 16))
    finally:
        lx.LxClose(cam)


def test_threads_convert_at_once():
    # Conversions run without the interpreter lock, each thread with its own JPEG codecs, all
    # sharing the pool of row threads.
    out = io.BytesIO()
    Image.fromarray(np.random.default_rng(5).integers(0, 256, (64, 96, 3), dtype=np.uint8)).save(
        out, format="JPEG")
    jpeg = np.frombuffer(out.getvalue(), dtype=np.uint8)
    yuy2 = random_frame("YUY2", 96, 64)
    expected = (oracle.to_rgb(jpeg, "MJPG", 96, 64), oracle.to_rgb(yuy2, "YUY2", 96, 64))
    wrong = []

    def work():
        # Each call also splits its rows over the shared pool of workers.
        for i in range(50):
            if not (np.array_equal(frames.to_rgb(jpeg, F.LX_IMAGE_FORMAT_MJPG, 96, 64), expected[0])
                    and np.array_equal(frames.to_rgb(yuy2, F.LX_IMAGE_FORMAT_YUY2, 96, 64,
                                                     threads=1 + i % 4), expected[1])):
                wrong.append(1)
            frames.to_jpeg(yuy2, F.LX_IMAGE_FORMAT_YUY2, 80, 96, 64)

    threads = [threading.Thread(target=work) for _ in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert not wrong
