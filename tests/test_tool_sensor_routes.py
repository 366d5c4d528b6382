"""The console tool's sensor-config and media-route menus."""
import inspect
import json
import os

import inquirer
import pytest

from pylentrasdk import pylentractl, sim
from conftest import BACK, OutOfAnswers

EXAMPLE = os.path.join(os.path.dirname(__file__), os.pardir, "sdk", "routes", "second_camera.yaml")
SENSOR_CLOSING = [" < Back to Sensor Config Operations", "exit"]
ROUTE_CLOSING = ["< Back to Media Route Operations", "exit"]
EXPORT_PROMPT = "Enter the File Path (e.g: config.bin): "
BINARY_PROMPT = "Enter the Binary File Path (e.g: config.bin): "
JSON_PROMPT = "Enter the JSON File Path (e.g: config.json): "
YAML_PROMPT = "Enter the File Path (e.g: routes.yaml): "
RESET_DONE = "Active routes have been reset. Route configuration required before device operation.\n\n"
ACTIVATION_FAILED = ("Route activation failed. Please ensure your YAML file is correct or verify "
                     "the platform supports active route management.\n\n")
NOT_SUPPORTED = "This platform does not support Media Route Operations.\n\n"


def stops(screen, *args):
    with pytest.raises(OutOfAnswers):
        screen(*args)


class TestSensorConfig:
    def test_export_then_decode(self, tool, prompter, kavl_camera, typed, tmp_path, capsys):
        binPath, jsonPath = str(tmp_path / "c.bin"), str(tmp_path / "c.json")
        typed("config", binPath, binPath, jsonPath)
        prompter.script(" < Back to Sensor Config Operations", "Decode sensor config")
        stops(tool.ExportSensor, kavl_camera)
        assert capsys.readouterr().out == (
            EXPORT_PROMPT + "Filename must include a file extension.\n" + EXPORT_PROMPT
            + "Save the sensor config to  " + binPath + "\n" + BINARY_PROMPT + JSON_PROMPT
            + "Decode the sensor config to  " + jsonPath + "\n")
        assert [(a.message, a.choices) for a in prompter.asked] == [
            ("Export Sensor:", SENSOR_CLOSING), ("Sensor Config Operations",
                                                 ["Export sensor config", "Decode sensor config", BACK, "exit"]),
            ("Decode Sensor:", SENSOR_CLOSING)]
        with open(jsonPath) as decoded:
            assert json.load(decoded)["device_name"] == "KAVL AR0822 USB Camera"

    def test_decode_asks_for_an_existing_binary_before_the_json(self, tool, prompter, kavl_camera, typed,
                                                                tmp_path, capsys):
        garbage = tmp_path / "g.bin"
        garbage.write_bytes(b"not a configuration")
        typed("c.txt", str(tmp_path / "missing.bin"), str(garbage), "out.yaml", str(tmp_path / "o.json"))
        stops(tool.DecodeSensor, kavl_camera)
        out = capsys.readouterr().out
        assert out == (BINARY_PROMPT + "Filename must include a file extension.(bin)\n"
                       + BINARY_PROMPT
                       + "The binary file doesn't exist. Please ensure the binary path exists.\n"
                       + BINARY_PROMPT + JSON_PROMPT + "Filename must include a file extension.(json)\n"
                       + JSON_PROMPT)
        assert not (tmp_path / "o.json").exists()


class TestMediaRoute:
    def test_menu_and_way_home_without_nesting_main(self, tool, prompter, monkeypatch):
        depths = []

        def prompt(questions, theme=None):
            depths.append(len(inspect.stack(0)))
            return prompter(questions, theme=theme)

        monkeypatch.setattr(inquirer, "prompt", prompt)
        prompter.script("Media Route", "< Back to Home menu", "Media Route", "< Back to Home menu", "exit")
        with pytest.raises(SystemExit):
            pylentractl.main()
        assert prompter.messages == ["pyLentraCtl", "Media Route Operations", "pyLentraCtl",
                                     "Media Route Operations", "pyLentraCtl"]
        assert prompter.asked[1].choices == ["Reset Active Routes", "Activate YAML routes",
                                             "< Back to Home menu", "exit"]
        # Each return home is a screen of the one running loop: no home menu runs inside another.
        assert depths[0] == depths[2] == depths[4]

    def test_reset(self, tool, prompter, capsys):
        stops(tool.ResetRoute)
        assert capsys.readouterr().out == RESET_DONE
        assert (prompter.asked[0].message, prompter.asked[0].choices) == ("Reset Active Routes", ROUTE_CLOSING)
        assert sim.active_routes() == []

    def test_activate(self, tool, prompter, typed, capsys):
        typed("routes.yml", EXAMPLE)
        stops(tool.ActivateRoute)
        assert capsys.readouterr().out == (YAML_PROMPT + "Filename must include a file extension.(yaml)\n"
                                           + YAML_PROMPT + "Activate the routes from YAML file.\n\n")
        assert (prompter.asked[0].message, prompter.asked[0].choices) == ("Activate YAML routes", ROUTE_CLOSING)
        assert ("ar0234 3-0010", 0, "csi2-receiver-1", 0) in sim.active_routes()

    def test_activation_refused(self, tool, prompter, typed, capsys):
        sim.inject("LxActivateYamlRoutes", status=-4)
        typed(EXAMPLE)
        stops(tool.ActivateRoute)
        assert capsys.readouterr().out == YAML_PROMPT + ACTIVATION_FAILED


class TestPlatformWithoutRoutes:
    @pytest.fixture(autouse=True)
    def no_routes(self):
        rig = sim.default_description()
        rig["platform"]["route_management"] = False
        sim.load(rig)

    def test_reset_says_so_and_offers_the_closing_menu(self, tool, prompter, capsys):
        prompter.script("< Back to Media Route Operations")
        stops(tool.ResetRoute)
        assert capsys.readouterr().out == NOT_SUPPORTED
        assert [(a.message, a.choices) for a in prompter.asked][0] == ("Reset Active Routes", ROUTE_CLOSING)
        assert prompter.messages[-1] == "Media Route Operations"

    def test_activate_says_so(self, tool, prompter, typed, capsys):
        typed(EXAMPLE)
        stops(tool.ActivateRoute)
        assert capsys.readouterr().out == YAML_PROMPT + ACTIVATION_FAILED
        assert prompter.asked[0].message == "Activate YAML routes"
