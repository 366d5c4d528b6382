"""lxctl record: a recording for some seconds or until Ctrl-C, its progress line on a terminal,
the pre-trigger buffer started by SIGUSR1, its JSON, and what it refuses."""
import json
import os
import signal
import subprocess
import sys
import time

import av
import pexpect
import pytest

from pylentrasdk import cli

LXCTL = os.path.join(os.path.dirname(sys.executable), "lxctl")


def frames_in(path):
    with av.open(path) as container:
        return sum(1 for _ in container.decode(video=0))


def test_a_recording_of_some_seconds(tmp_path, monkeypatch, capsys):
    monkeypatch.chdir(tmp_path)
    status = cli.main(["record", "-f", "640x480:YUY2@30", "--seconds", "0.6", "-o", "run.mp4",
                       "--json"])
    shown = json.loads(capsys.readouterr().out)
    assert status == 0 and sorted(shown) == ["dropped", "frames", "path", "seconds"]
    assert shown["path"] == "run.mp4" and frames_in("run.mp4") == shown["frames"] >= 10
    assert 0.5 <= shown["seconds"] <= 1.0

    # The file is there now: never replaced. A container lxctl does not write: a usage error.
    assert cli.main(["record", "-f", "0", "--seconds", "1", "-o", "run.mp4"]) == 1
    assert "run.mp4: a file is there already" in capsys.readouterr().err
    assert cli.main(["record", "-f", "0", "-o", "run.webm"]) == 2
    assert "a .mkv, .mp4, .avi file, not '.webm'" in capsys.readouterr().err
    assert os.listdir(".") == ["run.mp4"]


def test_ctrl_c_on_a_terminal_ends_the_recording_with_a_whole_file(tmp_path):
    child = pexpect.spawn(LXCTL, ["record", "-d", "0", "-f", "640x480:MJPG@30", "-o", "run.mkv"],
                          cwd=str(tmp_path), encoding="utf-8", timeout=20)
    child.expect(r"run\.mkv: \d+\.\d s, (\d+) frames, 0 dropped")  # the progress line
    child.expect(r"run\.mkv: \d+\.\d s, (\d+) frames")
    child.sendintr()
    child.expect(r"run\.mkv: (\d+) frames, (\d+) dropped, ")
    frames = int(child.match.group(1))
    child.expect(pexpect.EOF)
    child.close()
    assert child.exitstatus == 0
    assert frames_in(str(tmp_path / "run.mkv")) == frames > 0
    with av.open(str(tmp_path / "run.mkv")) as container:
        assert container.duration  # the file was ended: its length is written


def test_sigusr1_triggers_a_pre_trigger_recording(tmp_path):
    child = subprocess.Popen([LXCTL, "record", "-f", "640x480:YUY2@30", "--pre", "0.5",
                              "--seconds", "0.5", "-o", "event.mkv", "--json"],
                             cwd=str(tmp_path), stdout=subprocess.PIPE, stdin=subprocess.DEVNULL,
                             universal_newlines=True)
    time.sleep(2.0)
    assert os.path.getsize(tmp_path / "event.mkv") == 0  # nothing written before the trigger
    child.send_signal(signal.SIGUSR1)
    out, _ = child.communicate(timeout=20)
    shown = json.loads(out)
    assert child.returncode == 0 and frames_in(str(tmp_path / "event.mkv")) == shown["frames"]
    assert shown["seconds"] >= 0.9  # the half second before the trigger, and the one after


@pytest.mark.parametrize("sent", [signal.SIGTERM, signal.SIGINT])
def test_a_stopped_untriggered_recording_leaves_no_file(tmp_path, sent):
    child = subprocess.Popen([LXCTL, "record", "-f", "0", "--pre", "1", "-o", "event.mkv",
                              "--json"], cwd=str(tmp_path), stdout=subprocess.PIPE,
                             stdin=subprocess.DEVNULL, universal_newlines=True)
    try:
        time.sleep(1.0)
        child.send_signal(sent)
        out, _ = child.communicate(timeout=20)
    finally:
        if child.poll() is None:  # it did not stop: it is not left running after the test
            child.kill()
            child.communicate()
    assert child.returncode == 0 and json.loads(out)["frames"] == 0
    assert os.listdir(str(tmp_path)) == []
