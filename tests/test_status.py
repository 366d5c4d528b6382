"""Named statuses: pylentrasdk.LxStatus against the SDK library's own names for its codes."""
import pylentrasdk as lx
from pylentrasdk import LxStatus, sim, status_name


def library_name(code):
    name = sim._lib.lxsim_status_name(int(code))
    return None if name is None else name.decode()


def test_every_member_has_the_librarys_name_for_its_code():
    assert [(m.name, library_name(m)) for m in LxStatus] == [(m.name, m.name) for m in LxStatus]


def test_every_code_the_library_names_is_a_member():
    named = {code for code in range(-1000, 1000) if library_name(code) is not None}
    assert named == {int(m) for m in LxStatus}


def test_statuses_compare_with_what_the_binding_returns():
    assert lx.LxOpen(None) == LxStatus.LX_STATUS_INVALID_HANDLE
    assert status_name(lx.LxGetDeviceName(None)[0]) == "LX_STATUS_INVALID_HANDLE"


def test_names_of_other_results():
    assert status_name(lx.LX_CAPTURE_RESULT.LX_TIMEOUT) == "LX_TIMEOUT"
    assert status_name(LxStatus.LX_STATUS_BUSY) == "LX_STATUS_BUSY"
    assert status_name(-99) == "status -99"
