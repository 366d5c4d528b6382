"""The conversions' SIMD kernels and row threads: every instruction set this processor runs gives
the NumPy oracle's picture for every format, size and thread count; the rows' threads work while
other Python threads run; `threads=` takes a positive int and nothing else."""
import sys
import threading

import numpy as np
import pytest

import pylentrasdk as lx
from pylentrasdk import _convert, frames

import frames_oracle as oracle

F = lx.LX_IMAGE_FORMAT
RAW = ("YUY2", "UYVY", "NV12", "BGRA", "BGRX", "BGR", "RGB", "RGB16")
# Runs shorter than one vector (16 to 64 pixels), whole vectors with and without a rest, rows of
# odd widths, and more threads than some frames have rows.
SIZES = [(2, 2), (14, 2), (62, 6), (64, 4), (130, 5), (514, 6), (1030, 3)]
ODD_SIZES = [(1, 1), (3, 7), (127, 3), (513, 5)]
THREADS = (1, 2, 3, 8, None)


def member(name):
    return getattr(F, "LX_IMAGE_FORMAT_" + name)


def sizes_of(name):
    facts = frames.PIXEL_FORMATS[member(name)]
    return [(w, h) for w, h in SIZES + ODD_SIZES
            if w % facts.width_multiple == 0 and h % facts.height_multiple == 0]


@pytest.fixture
def simd_target(request):
    _convert._use_simd_target(request.param)
    try:
        assert _convert._simd_target() == request.param
        yield request.param
    finally:
        _convert._use_simd_target("")


@pytest.mark.parametrize("simd_target", _convert._simd_targets(), indirect=True)
def test_every_instruction_set_gives_the_oracles_pictures_on_any_threads(simd_target):
    rng = np.random.default_rng(7)
    for name in RAW:
        for width, height in sizes_of(name):
            data = rng.integers(0, 256, frames.frame_size(member(name), width, height), np.uint8)
            rgb = oracle.to_rgb(data, name, width, height)
            gray = oracle.to_gray(data, name, width, height)
            for threads in THREADS:
                case = (simd_target, name, width, height, threads)
                got = frames.to_rgb(data, member(name), width, height, threads=threads)
                assert np.array_equal(got, rgb), case
                got = frames.to_bgr(data, member(name), width, height, threads=threads)
                assert np.array_equal(got, rgb[..., ::-1]), case
                got = frames.to_gray(data, member(name), width, height, threads=threads)
                assert np.array_equal(got, gray), case


@pytest.mark.parametrize("simd_target", _convert._simd_targets(), indirect=True)
def test_every_instruction_set_converts_every_chroma_pair_exactly(simd_target):
    # Every (U, V) pair under lumas running through all values: the 16-bit arithmetic must give
    # the 32-bit formula's result at every extreme, in every copy of the kernels.
    width, height = 512, 256
    u = np.repeat(np.arange(256, dtype=np.uint8)[:, None], 256, axis=1)
    v = np.repeat(np.arange(256, dtype=np.uint8)[None, :], 256, axis=0)
    y = ((np.arange(width)[None, :] * 7 + np.arange(height)[:, None] * 3) % 256).astype(np.uint8)
    uv = np.stack([u[::2], v[::2]], axis=-1).reshape(height // 2, width)
    layouts = {"YUY2": np.stack((y[:, 0::2], u, y[:, 1::2], v), axis=-1).reshape(-1),
               "UYVY": np.stack((u, y[:, 0::2], v, y[:, 1::2]), axis=-1).reshape(-1),
               "NV12": np.concatenate([y.reshape(-1), uv.reshape(-1)])}
    for name, data in layouts.items():
        np.testing.assert_array_equal(frames.to_rgb(data, member(name), width, height, threads=2),
                                      oracle.to_rgb(data, name, width, height), err_msg=name)


def test_an_unknown_instruction_set_is_refused():
    with pytest.raises(ValueError, match="no instruction set NOPE"):
        _convert._use_simd_target("NOPE")
    assert _convert._simd_target() == _convert._simd_targets()[0]


def test_other_python_threads_run_during_a_conversion():
    # With a long switch interval, the converting thread keeps the interpreter lock between
    # its calls: the counter can move during a call only if the call released the lock.
    data = np.full(frames.frame_size(F.LX_IMAGE_FORMAT_YUY2, 3840, 2160), 128, np.uint8)
    out = np.empty((2160, 3840, 3), np.uint8)
    count = [0]
    stop = threading.Event()

    def counter():
        while not stop.is_set():
            count[0] += 1

    interval = sys.getswitchinterval()
    sys.setswitchinterval(0.05)
    thread = threading.Thread(target=counter)
    thread.start()
    moved = 0
    try:
        for _ in range(10):
            before = count[0]
            frames.to_rgb(data, F.LX_IMAGE_FORMAT_YUY2, 3840, 2160, out=out, threads=1)
            moved += count[0] > before
    finally:
        stop.set()
        thread.join()
        sys.setswitchinterval(interval)
    assert moved >= 5, moved


def test_threads_is_a_positive_int():
    data = np.zeros(frames.frame_size(F.LX_IMAGE_FORMAT_NV12, 8, 4), np.uint8)
    nv12 = F.LX_IMAGE_FORMAT_NV12
    for call in (lambda t: frames.to_rgb(data, nv12, 8, 4, threads=t),
                 lambda t: _convert.to_gray(data, int(nv12), 8, 4, None, t)):
        for bad in (True, 2.0, "2", [2]):
            with pytest.raises(TypeError, match="threads must be an int"):
                call(bad)
        for bad in (0, -1, -2 ** 70):
            with pytest.raises(ValueError, match="threads must be at least 1"):
                call(bad)
        for good in (np.int64(2), 2 ** 70):
            assert call(good).shape[:2] == (4, 8)
