"""The console tool's typed-input validators and terminal helpers."""
import os

import pytest

from pylentrasdk import pylentractl

NOT_POSITIVE = "The input must be a positive integer."
OUT_OF_RANGE = "The property index is out of range!"


def refusals(output, prompt):
    """The messages printed between the prompts (a prompt is not followed by a line break)."""
    return [line for line in output.replace(prompt, "").splitlines() if line]


class TestGetValidIndex:
    @pytest.mark.parametrize("text, message", [
        ("0", None), ("2", None),
        ("3", OUT_OF_RANGE),
        ("-1", NOT_POSITIVE), ("+1", NOT_POSITIVE), (" 1", NOT_POSITIVE), ("", NOT_POSITIVE),
        # Digits for str.isdigit that int() refuses: refused, not a crash.
        ("\u00b2", NOT_POSITIVE), ("1\u00b2", NOT_POSITIVE),
    ])
    def test_accepts_or_refuses_and_asks_again(self, tool, typed, capsys, text, message):
        typed(text, "1")
        assert tool.GetValidIndex("Pick: ", 3) == (1 if message else int(text))
        out = capsys.readouterr().out
        assert refusals(out, "Pick: ") == ([message] if message else [])

    def test_nothing_to_choose_from_asks_nothing(self, tool, typed, capsys):
        assert tool.GetValidIndex("Pick: ", 0) is None
        assert capsys.readouterr().out == "There is nothing to choose from.\n"


class TestValidProperty:
    def test_prompt_shows_the_range(self, tool, typed, capsys):
        typed("5")
        assert tool.ValidProperty("Brightness", 0, 255) == 5
        assert capsys.readouterr().out == "\n(Range of Brightness: 0-255)\nEnter a value: "

    @pytest.mark.parametrize("text, value", [("0", 0), ("255", 255), (" 7 ", 7), ("1_0", 10)])
    def test_accepts_values_within_inclusive_bounds(self, tool, typed, text, value):
        typed(text)
        assert tool.ValidProperty("Brightness", 0, 255) == value

    @pytest.mark.parametrize("text, message", [
        ("", "The input cannot be empty."),
        ("7.5", "The input must be a number."),
        ("seven", "The input must be a number."),
        ("256", "The value is out of range. Brightness Range: 0-255"),
        ("-1", "The value is out of range. Brightness Range: 0-255"),
    ])
    def test_refuses_and_asks_again(self, tool, typed, capsys, text, message):
        typed(text, "9")
        assert tool.ValidProperty("Brightness", 0, 255) == 9
        out = capsys.readouterr().out
        assert refusals(out, "\n(Range of Brightness: 0-255)\nEnter a value: ") == [message]

    def test_float_bounds(self, tool, typed, capsys):
        typed("9", "10")
        assert tool.ValidProperty("Exposure", 10.0, 1000.0) == 10
        out = capsys.readouterr().out
        assert "(Range of Exposure: 10.0-1000.0)" in out
        assert "The value is out of range. Exposure Range: 10.0-1000.0" in out


class TestValidFilePath:
    @pytest.mark.parametrize("path, tag", [
        ("test.raw", "img"), ("a.b.npy", "img"), (".raw", "img"),
        ("test.jpeg", "jpg"), ("test.npy", "jpg"), ("c.bin", "bin"), ("any.thing", "other"),
    ])
    def test_accepts(self, tool, capsys, path, tag):
        assert tool.ValidFilePath(path, tag) is True
        assert capsys.readouterr().out == ""

    @pytest.mark.parametrize("path, tag, message", [
        ("", "img", "File Path must be a non-empty string."),
        (None, "img", "File Path must be a non-empty string."),
        ("config", "bin", "Filename must include a file extension."),
        ("test.RAW", "img", "Filename must include a file extension.(npy, raw)"),
        ("dir.d/file", "img", "Filename must include a file extension.(npy, raw)"),
        ("test.png", "jpg", "Filename must include a file extension.(npy, raw, jpg, jpeg)"),
        ("c.json", "bin", "Filename must include a file extension.(bin)"),
        ("c.bin", "json", "Filename must include a file extension.(json)"),
        ("r.yml", "yaml", "Filename must include a file extension.(yaml)"),
    ])
    def test_refuses_with_the_reason(self, tool, capsys, path, tag, message):
        assert tool.ValidFilePath(path, tag) is False
        assert capsys.readouterr().out == message + "\n"


def test_check_file_exist(tool, tmp_path, capsys):
    (tmp_path / "f.bin").write_bytes(b"x")
    assert tool.CheckFileExist(str(tmp_path / "f.bin")) is True
    assert tool.CheckFileExist(str(tmp_path)) is True
    assert capsys.readouterr().out == ""
    assert tool.CheckFileExist(str(tmp_path / "missing.bin")) is False
    assert capsys.readouterr().out == \
        "The binary file doesn't exist. Please ensure the binary path exists.\n"


class TestTerminal:
    def test_clear_console_runs_the_system_command(self, tool, clears, monkeypatch):
        assert tool.clearConsole() == 0
        monkeypatch.setattr(os, "name", "nt")
        tool.clearConsole()
        assert clears == ["clear", "cls"]

    @pytest.mark.parametrize("system", [os.name, "nt"])
    def test_echo_untouched_without_a_terminal(self, tool, monkeypatch, system):
        # Standard input is a StringIO here: it has no terminal attributes to change.
        monkeypatch.setattr(os, "name", system)
        assert tool.DisableEcho() is None
        tool.EnableEcho(None)

    def test_echo_off_and_back_on_a_terminal(self, tool, monkeypatch):
        termios = pytest.importorskip("termios")
        primary, secondary = os.openpty()
        try:
            stream = os.fdopen(secondary, "r", closefd=False)
            monkeypatch.setattr("sys.stdin", stream)
            before = termios.tcgetattr(secondary)
            assert before[3] & termios.ECHO
            old = tool.DisableEcho()
            assert old == before
            assert not termios.tcgetattr(secondary)[3] & termios.ECHO
            tool.EnableEcho(old)
            assert termios.tcgetattr(secondary) == before
        finally:
            os.close(primary)
            os.close(secondary)

    def test_documented_methods(self):
        assert pylentractl.pyLentraCtl.DisableEcho.__doc__ == (
            "\n        prevent special characters appear '^ [[' during continuous pressing of up"
            " or down\n        ")
        assert pylentractl.pyLentraCtl.OptionTerminal.__doc__ == (
            "\n        Restored echo state after the prompt, regardless of success or failure."
            " \n        ")
