"""Every fuzz target has its source, a seed corpus and a row in the README's table of targets.

The fuzz targets themselves run in tools/fuzz.sh (clang and libFuzzer); this checks only that the
table in fuzz/CMakeLists.txt, the files and the documentation agree, so that a target cannot be
added without seeds or left out of the README.
"""
import os
import re

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FUZZ = os.path.join(ROOT, "fuzz")


def _targets():
    with open(os.path.join(FUZZ, "CMakeLists.txt"), encoding="utf-8") as f:
        return re.findall(r"^lentra_fuzz_target\((\w+)", f.read(), re.MULTILINE)


def test_every_target_has_source_seeds_and_a_readme_row():
    targets = _targets()
    assert "api_calls" in targets and "rig_description" in targets
    with open(os.path.join(ROOT, "README.md"), encoding="utf-8") as f:
        rows = set(re.findall(r"^\| `(\w+)` \|", f.read(), re.MULTILINE))
    for target in targets:
        assert os.path.isfile(os.path.join(FUZZ, target + ".cpp")), target
        corpus = os.path.join(FUZZ, "corpus", target)
        seeds = os.listdir(corpus) if os.path.isdir(corpus) else []
        assert seeds, "{} has no seed inputs".format(target)
        assert all(os.path.getsize(os.path.join(corpus, s)) > 0 for s in seeds), target
        assert target in rows, "{} is not in the README's table".format(target)
