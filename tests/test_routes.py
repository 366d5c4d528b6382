"""Media routes: route files, activation, conflicts, reset, and platforms without routes."""
import os

import pytest

import pylentrasdk as lx
from peak_memory import peak_growth
from sanitizer import measures_memory
from pylentrasdk import sim

EXAMPLE = os.path.join(os.path.dirname(__file__), os.pardir, "sdk", "routes", "second_camera.yaml")
FIRST_CAMERA = [("ar0234 2-0010", 0, "csi2-receiver-0", 0), ("csi2-receiver-0", 1, "video-capture-0", 0)]
SECOND_CAMERA = [("ar0234 3-0010", 0, "csi2-receiver-1", 0), ("csi2-receiver-1", 1, "video-capture-1", 0)]


def route_file(tmp_path, text, name="routes.yaml"):
    path = tmp_path / name
    path.write_bytes(text.encode("utf-8") if isinstance(text, str) else text)
    return str(path)


def link(source, source_pad, sink, sink_pad):
    return ("  - {source: '%s', source_pad: %d, sink: '%s', sink_pad: %d}\n"
            % (source, source_pad, sink, sink_pad))


def no_route_platform():
    rig = sim.default_description()
    rig["platform"]["route_management"] = False
    sim.load(rig)


class TestActivation:
    def test_the_example_file_enables_the_second_camera(self):
        assert sim.active_routes() == FIRST_CAMERA
        route = lx.LxLoadRouteYaml(EXAMPLE)
        assert isinstance(route, lx.LxRoute)
        assert lx.LxActivateYamlRoutes(route) == 0
        assert sim.active_routes() == FIRST_CAMERA + SECOND_CAMERA
        # Activating links that are already active is no conflict.
        assert lx.LxActivateYamlRoutes(route) == 0

    def test_reset_clears_every_link(self):
        assert lx.LxResetActiveRoutes() == 0
        assert sim.active_routes() == []
        assert lx.LxResetActiveRoutes() == 0

    def test_a_sink_fed_elsewhere_refuses_the_whole_route(self, tmp_path):
        # Pad 1 of the first receiver into the second video node is offered only in this rig.
        rig = sim.default_description()
        rig["platform"]["media_graph"]["links"].append(
            {"source": "csi2-receiver-0", "source_pad": 1, "sink": "video-capture-1", "sink_pad": 0})
        sim.load(rig)
        assert lx.LxActivateYamlRoutes(lx.LxLoadRouteYaml(EXAMPLE)) == 0
        before = sim.active_routes()
        rival = lx.LxLoadRouteYaml(route_file(tmp_path, "routes:\n" + link("csi2-receiver-0", 1, "video-capture-1", 0)))
        assert rival is not None
        assert lx.LxActivateYamlRoutes(rival) == -4  # LX_STATUS_BUSY
        assert sim.active_routes() == before
        assert lx.LxResetActiveRoutes() == 0
        assert lx.LxActivateYamlRoutes(rival) == 0
        assert sim.active_routes() == [("csi2-receiver-0", 1, "video-capture-1", 0)]

    def test_a_route_is_checked_again_on_another_rig(self):
        route = lx.LxLoadRouteYaml(EXAMPLE)
        rig = sim.default_description()
        rig["platform"]["media_graph"]["links"] = rig["platform"]["media_graph"]["links"][:2]
        sim.load(rig)
        assert lx.LxActivateYamlRoutes(route) == -5
        assert sim.active_routes() == FIRST_CAMERA

    def test_empty_handles_and_arguments(self):
        assert lx.LxActivateYamlRoutes(None) == -2
        with pytest.raises(TypeError):
            lx.LxResetActiveRoutes(0)
        with pytest.raises(TypeError):
            lx.LxActivateYamlRoutes(lx.LxInitialCameraDevice(0))


BAD_FILES = {
    "missing file": None,
    "empty file": "",
    "not YAML": "routes: [unclosed\n",
    "not a mapping": "- a\n- b\n",
    "a scalar": "routes\n",
    "no routes key": "links: []\n",
    "empty list": "routes: []\n",
    "routes not a list": "routes: {source: x}\n",
    "unknown key": "routes:\n  - {source: 'ar0234 3-0010', sink: csi2-receiver-1, speed: 2}\n",
    "duplicate top key": "routes:\n" + link("ar0234 3-0010", 0, "csi2-receiver-1", 0) + "routes:\n"
                         + link("ar0234 3-0010", 0, "csi2-receiver-1", 0),
    "duplicate link key": "routes:\n  - {source: 'ar0234 3-0010', source: x, sink: csi2-receiver-1}\n",
    "unknown entity": "routes:\n" + link("ar9999", 0, "csi2-receiver-1", 0),
    "pad beyond the entity": "routes:\n" + link("ar0234 3-0010", 3, "csi2-receiver-1", 0),
    "pad not a number": "routes:\n  - {source: 'ar0234 3-0010', source_pad: one, sink: csi2-receiver-1}\n",
    "negative pad": "routes:\n  - {source: 'ar0234 3-0010', source_pad: -1, sink: csi2-receiver-1}\n",
    "link not offered": "routes:\n" + link("ar0234 3-0010", 0, "csi2-receiver-0", 0),
    "two links into one sink": "routes:\n" + link("ar0234 3-0010", 0, "csi2-receiver-1", 0)
                               + link("ar0234 3-0010", 0, "csi2-receiver-1", 0),
    "deeply nested": "routes: " + "[" * 5000 + "]" * 5000 + "\n",
    "not UTF-8": b"routes:\n  - {source: '\xff\xfe', sink: csi2-receiver-1}\n",
}


class TestLoading:
    @pytest.mark.parametrize("case", sorted(BAD_FILES))
    def test_bad_files_give_none_and_change_nothing(self, tmp_path, case):
        text = BAD_FILES[case]
        path = str(tmp_path / "missing.yaml") if text is None else route_file(tmp_path, text)
        assert lx.LxLoadRouteYaml(path) is None
        assert sim.active_routes() == FIRST_CAMERA

class TestPlatformWithoutRoutes:
    def test_every_route_function_raises(self, tmp_path):
        no_route_platform()
        with pytest.raises(RuntimeError):
            lx.LxResetActiveRoutes()
        with pytest.raises(RuntimeError):
            lx.LxLoadRouteYaml(EXAMPLE)
        with pytest.raises(RuntimeError):
            lx.LxActivateYamlRoutes(None)


@measures_memory
class TestMemory:
    # The largest file the cap allows, of shapes that a parse into a tree would amplify, takes at
    # most eight times its size in memory (plus a fixed base) to read; a file of more entries than
    # the largest route is refused.
    @pytest.mark.parametrize("shape", ["flow scalars", "block scalars", "mappings", "largest route"])
    def test_memory_is_bounded_by_the_input(self, tmp_path, shape):
        size = 1 << 20
        if shape == "flow scalars":
            text = "routes: [" + "0," * ((size - 20) // 2) + "0]\n"
        elif shape == "block scalars":
            text = "routes:\n" + "- 0\n" * ((size - 20) // 4)
        elif shape == "mappings":
            text = "routes:\n" + "- {a: 0}\n" * ((size - 20) // 9)
        else:  # 1024 links, every key given, padded to the cap with a comment
            links = "routes:\n" + link("ar0234 3-0010", 0, "csi2-receiver-1", 0) * 1024
            text = links + "#" + "x" * (size - len(links) - 2) + "\n"
        assert len(text) <= size
        path = route_file(tmp_path, text)
        growth = peak_growth("import pylentrasdk as lx", "lx.LxLoadRouteYaml(%r)" % path)
        assert growth <= 8 * len(text) + (8 << 20), growth
