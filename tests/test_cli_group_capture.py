"""lxctl capture --device 0,1: matched sets of several cameras saved to files; the list form of
--device for capture only."""
import json
import os

import pytest
from PIL import Image

from pylentrasdk import cli, sim


@pytest.fixture
def run(capsys, monkeypatch, tmp_path):
    """run(*argv) -> (exit status, standard output, standard error), in tmp_path."""
    monkeypatch.chdir(tmp_path)

    def run_lxctl(*argv):
        try:
            status = cli.main(list(argv))
        except SystemExit as ended:  # argparse's usage errors
            status = ended.code
        out, err = capsys.readouterr()
        return status, out, err

    return run_lxctl


def test_sets_of_the_cameras_are_saved_one_file_per_camera(run, tmp_path):
    sim.load_file(sim.sample_path("stereo.json"))
    status, out, err = run("capture", "--device", "0,1", "--sync", "-f", "640x480:UYVY",
                           "-o", "cam{camera}_{n}.png", "-n", "2", "--skip", "1", "--json")
    assert (status, err) == (0, "")
    shown = json.loads(out)
    assert [c["index"] for c in shown["cameras"]] == [0, 1] and shown["sync"] is True
    assert shown["incomplete"] == 0
    assert [s["n"] for s in shown["sets"]] == [1, 2]
    for entry in shown["sets"]:
        left, right = entry["files"]
        assert entry["skew_ms"] == 0.0
        assert left["sensor_timestamp"] == right["sensor_timestamp"]
        assert [left["path"], right["path"]] == ["cam0_{}.png".format(entry["n"]),
                                                 "cam1_{}.png".format(entry["n"])]
    assert sorted(os.listdir(str(tmp_path))) == ["cam0_1.png", "cam0_2.png", "cam1_1.png",
                                                 "cam1_2.png"]
    with Image.open(str(tmp_path / "cam1_2.png")) as picture:
        assert picture.size == (640, 480)
    # The text form: each set's skew, then its files; the counts last.
    status, out, _ = run("capture", "-d", "1,0", "-f", "640x480:UYVY", "-o", "c{camera}.raw")
    lines = out.splitlines()
    assert status == 0 and lines[0].startswith("set 1: skew ")
    assert lines[1] == "  c1.raw (614400 bytes captured, 614400 bytes written)"
    assert lines[2] == "  c0.raw (614400 bytes captured, 614400 bytes written)"
    assert lines[3].startswith("1 sets saved; 0 incomplete, ")


@pytest.mark.parametrize("argv, status, message", [
    (["capture", "-d", "0,1", "-f", "0", "-o", "x{n}.raw"], 2, "the name needs {camera}"),
    (["capture", "-d", "0,1", "-f", "0", "-o", "x{camera}.raw", "-n", "2"], 2,
     "with --count above 1 the name needs {n}"),
    (["capture", "-d", "0,1", "-f", "0", "-o", "x{camera}{m}.raw"], 2,
     "only {camera} and {n} may stand in braces"),
    (["capture", "--sync", "-f", "0", "-o", "x.raw"], 2,
     "--sync is for several cameras: give them as --device 0,1"),
    (["capture", "-d", "0,0", "-f", "0", "-o", "x{camera}.raw"], 2, "camera 0 is given twice"),
    (["capture", "-d", "0,x", "-f", "0", "-o", "x{camera}.raw"], 2, "'x' is not a whole number"),
    (["info", "-d", "0,1"], 2, "--device 0,1: this command works on one camera; a list of "
                               "cameras is for `lxctl capture`"),
    (["-d", "0,1", "formats"], 2, "this command works on one camera"),
    (["capture", "-d", "0,7", "-f", "0", "-o", "x{camera}.raw"], 1, "no camera 7"),
    # The default rig's MIPI camera has no YUY2 format.
    (["capture", "-d", "0,1", "-f", "1920x1080:YUY2", "-o", "x{camera}.raw"], 1,
     "the camera has no 1920x1080:YUY2 format"),
])
def test_bad_input_is_one_line_and_leaves_no_file(run, tmp_path, argv, status, message):
    ended, out, err = run(*argv)
    assert ended == status
    assert out == "" and err.count("\n") == 1 and message in err, err
    assert os.listdir(str(tmp_path)) == []
