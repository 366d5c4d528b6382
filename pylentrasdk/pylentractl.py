"""Camera Control and Management Tool: a console tool for the cameras reached through pylentrasdk.

Every screen is one method of `pyLentraCtl`: it clears the terminal, asks one list question and
goes where the chosen entry leads. The opened camera travels from screen to screen as the
argument `cam`; the tool object keeps nothing else.
"""
import pylentrasdk
from pylentrasdk import (
    LX_CAMERA_INTERFACE_TYPE,
    LX_CAMERA_PRODUCT_TYPE,
    LX_IMAGE_FORMAT,
    LX_ISP_IMAGE_PROPERTIES,
    LX_OSP_PROFILE_FLAG,
    LX_CAPTURE_RESULT,
    LX_IMU_MODE,
    LX_IMU_SELF_TEST_MODE,
)
from pylentrasdk import control_names, frames
import inquirer
from inquirer.themes import BlueComposure
import os
import sys
import numpy as np
import functools
from pylentrasdk._files import write_atomically

if os.name == "posix":
    import termios


# ---------------------------------------------------------------------------------------------
# Navigation between screens.
#
# A screen names the next screen by calling its method in tail position
# (`return self.CtlList(cam)`). Inside a running navigation loop that call does not nest: it
# hands the loop a deferred next screen, and the loop runs it once the current screen has
# returned. So however long the user moves between menus, the call stack stays flat. Called
# from anywhere else (main, a test, a user's script), a screen method runs the loop itself and
# returns when a screen ends without naming a next one, exactly as the nested call would have.
# ---------------------------------------------------------------------------------------------
class _NextScreen(object):
    """A screen method call deferred to the running navigation loop."""

    __slots__ = ("method", "args")

    def __init__(self, method, args):
        self.method = method
        self.args = args


class _Navigation(object):
    running = False
    # The last screen named during the current screen's body. A body that names a screen
    # without returning it still leads there, as the nested call would have.
    pending = None


_navigation = _Navigation()


def _runScreens(nextScreen):
    _navigation.running = True
    try:
        result = nextScreen
        while isinstance(result, _NextScreen):
            _navigation.pending = None
            result = result.method(*result.args)
            if not isinstance(result, _NextScreen) and _navigation.pending is not None:
                result = _navigation.pending
        return result
    finally:
        _navigation.running = False
        _navigation.pending = None


def _screen(method):
    """Marks a method as a screen (see the navigation notes above)."""

    @functools.wraps(method)
    def enter(self, *args):
        nextScreen = _NextScreen(method, (self,) + args)
        if _navigation.running:
            _navigation.pending = nextScreen
            return nextScreen
        return _runScreens(nextScreen)

    return enter


# ---------------------------------------------------------------------------------------------
# Menus. An entry is (text, name of the method it leads to[, test of the camera's product type
# that decides whether it is offered]). The method is called with the menu's arguments.
# ---------------------------------------------------------------------------------------------
_BACK_TO_CAMERA_MENU = " < Back to Camera Control and Management Tool"


def _isKAVN(camtype):
    return camtype == LX_CAMERA_PRODUCT_TYPE.LXCAM_PRODUCT_TYPE_KAVN


_HOME_MENU = (
    ("Device List", "GetDeviceList"),
    ("Media Route", "MediaRoute"),
    ("exit", "ExitTool"),
)

_CAMERA_MENU = (
    ("Device Information", "DeviceInfo"),
    ("Camera Control", "CameraControl"),
    ("List Formats", "FormatList"),
    ("Image operations", "ImageOperation"),
    ("OSP Profile management", "OSPProfile"),
    ("Timestamp operations", "Timestamp"),
    ("Sensor config operations", "SensorConfig"),
    ("IMU operations", "IMUData", _isKAVN),
    (" < Back to Device List", "BackToDeviceList"),
    ("exit", "ExitCamera"),
)

# The way out of every operation screen of an open camera.
_CAMERA_SCREEN_END = (
    (_BACK_TO_CAMERA_MENU, "CtlList"),
    ("exit", "ExitCamera"),
)

_IMAGE_OPERATION_MENU = (("Save Image", "SaveImage"),) + _CAMERA_SCREEN_END

_SAVE_IMAGE_END = (
    (" << Back to Camera Control and Management Tool", "CtlList"),
    ("exit", "ExitCamera"),
)

# The two stream settings of the control table: their fixed bounds (shared with lxctl) and how a
# listing shows them.
_STREAM_FORMATS = {
    "Throughput": ("{:>8.2f}", "{:<8.2f}"),
    "Max_FPS": ("{:>8}", "{:<8}"),
}
_STREAM_SETTINGS = {
    name: (minimum, maximum) + _STREAM_FORMATS[name]
    for name, minimum, maximum in control_names.STREAM_SETTINGS
}

# The labels of choice controls, shown under their rows (the table is shared with lxctl).
_MODE_TEXTS = {name: " " + control_names.labels_text(name) for name in control_names.CHOICE_LABELS}

def _OptionalControls(cam):
    """The (display name, ISP member name) entries this camera adds after the stream settings.

    An identity query that fails leaves out the entries that depend on it. The binding's
    functions are looked up on the package at each call."""
    optional = []
    status, interface = pylentrasdk.LxGetDeviceInterfaceType(cam)
    if status == 0 and interface == pylentrasdk.LX_CAMERA_INTERFACE_TYPE.INTERFACE_MIPI_CSI2:
        optional.append(control_names.TRIGGER_CONTROL)
    typeStatus, camtype = pylentrasdk.LxGetDeviceProductType(cam)
    nameStatus, name = pylentrasdk.LxGetDeviceName(cam)
    families = [getattr(pylentrasdk.LX_CAMERA_PRODUCT_TYPE, family) for family in control_names.EHDR_FAMILIES]
    if typeStatus == 0 and nameStatus == 0 and camtype in families \
            and any(sensor in name for sensor in control_names.EHDR_SENSORS):
        optional.extend(control_names.EHDR_CONTROLS)
    return optional


_CAMERA_CONTROL_MENU = (
    ("Get Controls", "GetControl"),
    ("Set Controls", "_ClearThenSetControl"),
    (_BACK_TO_CAMERA_MENU, "_BackToCameraMenu"),
    ("exit", "_ExitCameraWithControls"),
)

_GET_CONTROL_MENU = (
    ("Get all controls value", "_ShowAllControls"),
    ("Get specific control value", "GetSpecificControl"),
    (" < Back to Camera Control Menu", "_BackToCameraControl"),
    ("exit", "_ExitCameraWithControls"),
)

_CONTROL_VIEW_END = (
    (" < Back to Get Controls Menu", "GetControl"),
    (" << Back to Camera Control Menu", "_BackToCameraControl"),
    ("exit", "_ExitCameraWithControls"),
)

_SET_CONTROL_END = (
    (" < Back to Camera Control Menu", "_BackToCameraControl"),
    ("exit", "_ExitCameraWithControls"),
)

_TIMESTAMP_WARNING = "[!] The reset functions must be used when the camera is streaming."

_TIMESTAMP_MENU = (
    ("Get Timestamp", "GetTimestamp"),
    ("Get FrameCount", "GetFrameCount"),
    ("Reset Timestamp", "ResetTimestamp"),
    ("Reset FrameCount", "ResetFrameCount"),
) + _CAMERA_SCREEN_END

_TIMESTAMP_END = (
    (" < Back to Timestamp Operations", "Timestamp"),
    ("exit", "ExitCamera"),
)

_OSP_MENU = (
    ("Get OSP Flag", "GetOSPFlag"),
    ("Set OSP Flag", "SetOSPFlag"),
    (_BACK_TO_CAMERA_MENU, "_BackToCameraMenu"),
    ("exit", "_ExitCameraWithControls"),
)

_OSP_END = (
    (" < Back to OSP Profile Management", "_BackToOSPProfile"),
    ("exit", "_ExitCameraWithControls"),
)

_IMU_MENU = (
    ("Enable IMU", "EnableIMU"),
    ("Reboot IMU", "RebootIMU"),
    ("IMU Acc data", "IMUAcc"),
    ("IMU Gyr data", "IMUGyr"),
    ("IMU ISPU data", "IMUIspu"),
) + _CAMERA_SCREEN_END

_IMU_SCREEN_END = (
    (" < Back to IMU Operations", "IMUData"),
    ("exit", "ExitCamera"),
)

# Choice text -> the mode it selects, in the order the questions offer them.
_IMU_MODES = (
    ("Self-Test", LX_IMU_MODE.SELF_TEST),
    ("ISPU", LX_IMU_MODE.ISPU),
)
_IMU_SELF_TEST_MODES = (
    ("Normal", LX_IMU_SELF_TEST_MODE.NORMAL),
    ("Positive", LX_IMU_SELF_TEST_MODE.POSITIVE),
    ("Negative", LX_IMU_SELF_TEST_MODE.NEGATIVE),
)

_SENSOR_CONFIG_MENU = (
    ("Export sensor config", "ExportSensor"),
    ("Decode sensor config", "DecodeSensor"),
) + _CAMERA_SCREEN_END

_SENSOR_CONFIG_END = (
    (" < Back to Sensor Config Operations", "SensorConfig"),
    ("exit", "ExitCamera"),
)

_MEDIA_ROUTE_MENU = (
    ("Reset Active Routes", "ResetRoute"),
    ("Activate YAML routes", "ActivateRoute"),
    ("< Back to Home menu", "BackToHome"),
    ("exit", "ExitTool"),
)

_MEDIA_ROUTE_END = (
    ("< Back to Media Route Operations", "MediaRoute"),
    ("exit", "ExitTool"),
)

_ROUTE_ACTIVATION_FAILED = ("Route activation failed. Please ensure your YAML file is correct or "
                            "verify the platform supports active route management.\n")

# A menu whose prompt keeps failing is given up after this many attempts in a row.
_PROMPT_ATTEMPTS = 3

# The status SetFormat reports when there was no format to choose.
_NO_FORMAT_CHOSEN = -1

# File type tag -> extensions that ValidFilePath accepts for it; other tags accept any.
_FILE_EXTENSIONS = {
    "img": ("npy", "raw"),
    "jpg": ("npy", "raw", "jpg", "jpeg"),
    "bin": ("bin",),
    "json": ("json",),
    "yaml": ("yaml",),
}


def _digitsToInt(text):
    """The number written in `text` when it is made of digits only, otherwise None.

    str.isdigit also accepts characters such as superscript digits that int() refuses."""
    if not text.isdigit():
        return None
    try:
        return int(text)
    except ValueError:
        return None


def _writeBytes(image, out):
    # Through the file's own write (not numpy's tofile, whose failures carry no error number):
    # a full disk is reported as such.
    out.write(image.tobytes())


class pyLentraCtl:
    def __init__(self, mainCallback):
        self.mainCallback = mainCallback

    # -----------------------------------------------------------------------------------------
    # Terminal and typed input
    # -----------------------------------------------------------------------------------------
    def clearConsole(self):
        command = "cls" if os.name in ("nt", "dos") else "clear"
        return os.system(command)

    def DisableEcho(self):
        """
        prevent special characters appear '^ [[' during continuous pressing of up or down
        """
        if os.name != "posix":
            return None
        try:
            fd = sys.stdin.fileno()
            old = termios.tcgetattr(fd)
            new = termios.tcgetattr(fd)
            new[3] = new[3] & ~termios.ECHO
            termios.tcsetattr(fd, termios.TCSADRAIN, new)
        except (termios.error, OSError, ValueError, AttributeError):
            # Standard input is no terminal (a pipe, a file, a closed stream): no echo to turn off.
            return None
        return old

    def EnableEcho(self, old):
        if os.name != "posix" or old is None:
            return
        try:
            termios.tcsetattr(sys.stdin.fileno(), termios.TCSADRAIN, old)
        except (termios.error, OSError, ValueError, AttributeError):
            pass

    def GetValidIndex(self, prompt, maxIdx):
        if maxIdx <= 0:
            # No number could ever be accepted: asking would never end.
            print("There is nothing to choose from.")
            return None
        while True:
            index = _digitsToInt(input(prompt))
            if index is None:
                print("The input must be a positive integer.")
            elif index > maxIdx - 1:
                print("The property index is out of range!")
            else:
                return index

    def ValidProperty(self, propName, minVal, maxVal):
        bounds = str(minVal) + "-" + str(maxVal)
        prompt = "\n(Range of " + str(propName) + ": " + bounds + ")\nEnter a value: "
        while True:
            text = input(prompt)
            if text == "":
                print("The input cannot be empty.")
                continue
            try:
                value = int(text)
            except ValueError:
                print("The input must be a number.")
                continue
            if value < minVal or value > maxVal:
                print("The value is out of range. " + str(propName) + " Range: " + bounds)
                continue
            return value

    def ValidFilePath(self, filePath, typeName):
        if not filePath or not isinstance(filePath, str):
            print("File Path must be a non-empty string.")
            return False
        if "." not in filePath:
            print("Filename must include a file extension.")
            return False
        fileName, exten = filePath.rsplit(".", 1)
        allowed = _FILE_EXTENSIONS.get(typeName)
        if allowed is not None and exten not in allowed:
            print("Filename must include a file extension.(" + ", ".join(allowed) + ")")
            return False
        return True

    def CheckFileExist(self, binPath):
        if os.path.exists(binPath):
            return True
        print("The binary file doesn't exist. Please ensure the binary path exists.")
        return False

    # -----------------------------------------------------------------------------------------
    # Menus
    # -----------------------------------------------------------------------------------------
    def OptionTerminal(self, options):
        """
        Restored echo state after the prompt, regardless of success or failure. 
        """
        old = self.DisableEcho()
        try:
            answers = inquirer.prompt(options, theme=BlueComposure())
            if answers:
                return answers
            print("Prompt cancelled or no selection. Exiting...")
            sys.exit(0)
        except Exception as e:
            print("Error during prompt: " + str(e))
            return None
        finally:
            self.EnableEcho(old)

    def _Ask(self, message, choices, name="pyLentraCtl"):
        """Asks one list question and returns the chosen entry. A prompt that fails is asked
        again; one that keeps failing ends the tool rather than looping forever."""
        keywords = {"choices": choices, "carousel": True}
        if message is not None:
            keywords["message"] = message
        for attempt in range(_PROMPT_ATTEMPTS):
            answers = self.OptionTerminal([inquirer.List(name, **keywords)])
            if answers:
                return answers.get(name)
        print("The prompt failed " + str(_PROMPT_ATTEMPTS) + " times in a row. Exiting...")
        sys.exit(1)

    def _Menu(self, message, entries, *args):
        """Asks the menu's question and goes where the chosen entry leads."""
        answer = self._Ask(message, [entry[0] for entry in entries])
        for entry in entries:
            if entry[0] == answer:
                return getattr(self, entry[1])(*args)
        return None

    @_screen
    def HomeMenu(self):
        self.clearConsole()
        return self._Menu("pyLentraCtl", _HOME_MENU)

    def ExitTool(self):
        self.clearConsole()
        sys.exit()

    def ExitCamera(self, cam):
        self.clearConsole()
        pylentrasdk.LxClose(cam)
        sys.exit(0)

    def BackToDeviceList(self, cam):
        pylentrasdk.LxClose(cam)
        return self.GetDeviceList()

    def BackToHome(self):
        # main, called back from a running screen, makes the home menu the next screen of the
        # running loop rather than starting a second tool inside the first.
        return self.mainCallback()

    def _ReadPath(self, prompt, isValid):
        """Reads a path until isValid(path) holds; the checks print their own reasons."""
        filePath = input(prompt)
        while not isValid(filePath):
            filePath = input(prompt)
        return filePath

    # -----------------------------------------------------------------------------------------
    # Cameras
    # -----------------------------------------------------------------------------------------
    @_screen
    def GetDeviceList(self):
        result, camera_list = pylentrasdk.LxDiscoverCameraDevices()
        cameras = list(camera_list)
        self.clearConsole()
        if not cameras:
            if self._Ask("No Camera detected! Please exit.", ["exit"]) == "exit":
                sys.exit()
            return None
        # Each entry carries its position, so the camera picked is the one opened even when
        # two cameras report the same name.
        devIndex = self._Ask("Cameras List", [(name, index) for index, name in enumerate(cameras)])
        if not isinstance(devIndex, int):
            if devIndex not in cameras:
                return None
            devIndex = cameras.index(devIndex)
        cam = self.InitialDev(devIndex)
        return self.CtlList(cam)

    def InitialDev(self, devIndex):
        cam = pylentrasdk.LxInitialCameraDevice(devIndex)
        pylentrasdk.LxOpen(cam)
        return cam

    @_screen
    def CtlList(self, cam):
        self.clearConsole()
        status, camtype = pylentrasdk.LxGetDeviceProductType(cam)
        entries = [entry for entry in _CAMERA_MENU if len(entry) < 3 or entry[2](camtype)]
        return self._Menu("Camera Control and Management Tool", entries, cam)

    # -----------------------------------------------------------------------------------------
    # Device information and formats
    # -----------------------------------------------------------------------------------------
    @_screen
    def DeviceInfo(self, cam):
        self.clearConsole()
        print("Device Information:")
        status, name = pylentrasdk.LxGetDeviceName(cam)
        print("Device Name: ", name)
        if pylentrasdk.LxIsLentraCamera(cam) == 0:
            status, tyname = pylentrasdk.LxGetDeviceInterfaceType(cam)
            status, camtype = pylentrasdk.LxGetDeviceProductType(cam)
            self.GetFWVersion(cam, tyname, camtype)
        return self._Menu(None, _CAMERA_SCREEN_END, cam)

    def GetFWVersion(self, cam, interface, camtype):
        if interface == LX_CAMERA_INTERFACE_TYPE.INTERFACE_USB:
            status, usbVersion = pylentrasdk.LxGetUSBFirmwareVersion(cam)
            status, hardwareID = pylentrasdk.LxGetHardwareID(cam)
            print("HardWareID: ", hardwareID)
            print("Interface Type: ", "USB")
            print("USB Firmware: ", usbVersion)
        elif interface == LX_CAMERA_INTERFACE_TYPE.INTERFACE_MIPI_CSI2:
            print("Interface Type: ", "Sensor")
        else:
            print("Interface Type: ", "Unknown")
        if camtype == LX_CAMERA_PRODUCT_TYPE.LXCAM_PRODUCT_TYPE_KAVL:
            status, sensorVersion = pylentrasdk.LxGetSensorFirmwareVersion(cam)
            print("Sensor Firmware: ", sensorVersion)
        elif camtype in (LX_CAMERA_PRODUCT_TYPE.LXCAM_PRODUCT_TYPE_KAVR,
                         LX_CAMERA_PRODUCT_TYPE.LXCAM_PRODUCT_TYPE_KAVN):
            status, sensorVersion = pylentrasdk.LxGetKAVRFirmwareVersion(cam)
            print("Sensor Firmware: ", sensorVersion)

    def FormattoStr(self, format):
        # The names of the package's table of pixel formats; LX_IMAGE_FORMAT_NONE, and any
        # value the enumeration does not name, is "UNKNOWN".
        return frames.format_name(format) or "UNKNOWN"

    def GetFormatList(self, cam):
        status, records = pylentrasdk.LxGetFormatList(cam)
        formats = []
        formatList = []
        i = 0
        for record in records:
            if record.format == LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_NONE:
                continue
            # str.format, not "%5s": Cython compiles "%5s" to a left-aligned field.
            line = "[{:2d}]: {:5d} x {:4d} {:>5} {:4d}fps".format(
                i, record.width, record.height, self.FormattoStr(record.format), record.framerate)
            print(line)
            formats.append(line)
            formatList.append(record)
            i += 1
        return formatList, formats

    @_screen
    def FormatList(self, cam):
        self.clearConsole()
        self.GetFormatList(cam)
        return self._Menu("Format List", _CAMERA_SCREEN_END, cam)

    def SetFormat(self, cam, formatList, formats):
        index = self.GetValidIndex("\nChoose a format index: ", len(formatList))
        if index is None:
            return _NO_FORMAT_CHOSEN, None
        self.clearConsole()
        record = formatList[index]
        result = pylentrasdk.LxSetFormat(cam, record)
        if result == 0:
            print("Set Format Success: \n", formats[index])
        else:
            print("Fail to Set Format.\n")
        return result, record

    # -----------------------------------------------------------------------------------------
    # Image operations
    # -----------------------------------------------------------------------------------------
    @_screen
    def ImageOperation(self, cam):
        self.clearConsole()
        return self._Menu("Image Operation", _IMAGE_OPERATION_MENU, cam)

    def _ReadCount(self, prompt, minimum, refusal):
        while True:
            count = _digitsToInt(input(prompt))
            if count is None:
                print("The input string contains non-digit characters.")
            elif count < minimum:
                print(refusal)
            else:
                return count

    @_screen
    def SaveImage(self, cam):
        self.clearConsole()
        formatList, formats = self.GetFormatList(cam)
        result, imgFormat = self.SetFormat(cam, formatList, formats)
        if result == 0:
            self._CaptureToFiles(cam, imgFormat)
        return self._Menu(None, _SAVE_IMAGE_END, cam)

    def _CaptureToFiles(self, cam, imgFormat):
        if imgFormat.format == LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_MJPG:
            typeName = "jpg"
            print("Valid extension: npy, raw, jpg, jpeg")
        else:
            typeName = "img"
            print("Valid extension: npy, raw")
        filePath = input("Enter the File Path (e.g: test.raw): ")
        while not self.ValidFilePath(filePath, typeName):
            filePath = input("Enter the File Path (e.g: test.raw): ")
        imgSkip = self._ReadCount("Enter the numbers of image to skip: ", 0,
                                  "Number is invalid, please enter the number >= 0.")
        imgSave = self._ReadCount("Enter the numbers of image to save: ", 1,
                                  "Number is invalid, please enter the number > 0.")

        pylentrasdk.LxStartStreaming(cam)
        try:
            for s in range(1, imgSkip + 1):
                print("Skip ", s)
                captured, image = pylentrasdk.LxGetImage(cam, 3000, imgFormat)
                if captured != LX_CAPTURE_RESULT.LX_SUCCESS:
                    print("Failed to get image during skip.")
                    break
            for i in range(1, imgSave + 1):
                captured, image = pylentrasdk.LxGetImage(cam, 3000, imgFormat)
                if captured != LX_CAPTURE_RESULT.LX_SUCCESS:
                    print("Failed to save image.")
                    break
                if imgSave > 1:
                    fileName, extension = filePath.rsplit(".", 1)
                    newfilePath = fileName + "_" + str(i) + "." + extension
                else:
                    newfilePath = filePath
                try:
                    # The frame's bytes as captured, through the package's one file writer:
                    # a failed write leaves no partial file and keeps the one that was there;
                    # a link, FIFO, folder or device at the path is refused and left alone.
                    write_atomically(newfilePath, functools.partial(_writeBytes, image))
                except (ValueError, OSError) as e:
                    print("Error to save the image: " + str(e))
                    break
                print("Save the image to " + newfilePath)
        finally:
            pylentrasdk.LxStopStreaming(cam)

    # -----------------------------------------------------------------------------------------
    # Camera controls. The control table maps display names to ISP properties, and the two
    # stream settings to the (status, value) pairs read when the table was built.
    # -----------------------------------------------------------------------------------------
    def _ControlTable(self, cam):
        controls = {}
        for name, member in control_names.ISP_CONTROLS:
            controls[name] = getattr(LX_ISP_IMAGE_PROPERTIES, member)
        controls["Throughput"] = pylentrasdk.LxGetThroughPut(cam)
        controls["Max_FPS"] = pylentrasdk.LxGetMaxFPS(cam)
        for name, member in _OptionalControls(cam):
            controls[name] = getattr(LX_ISP_IMAGE_PROPERTIES, member)
        return controls

    def _ControlRow(self, name, value, minimum, maximum, readOnly, position=None,
                    formats=("{:>8}", "{:<8}")):
        row = "" if position is None else "[" + "{:>2}".format(position) + "] "
        row += "{:<25}".format(name) + " " + "{:>8}".format(value)
        row += " | " + formats[0].format(minimum) + " - " + formats[1].format(maximum)
        if readOnly:
            row += " (Read-only)"
        return row

    def _PrintControl(self, cam, controls, name, position=None):
        """Prints the row of one control (after its read-only line); False when it could not
        be read, after printing the failure line."""
        prop = controls[name]
        if name in _STREAM_SETTINGS:
            minimum, maximum, minFormat, maxFormat = _STREAM_SETTINGS[name]
            print(self._ControlRow(name, prop[1], minimum, maximum, False, position,
                                   (minFormat, maxFormat)))
            return True
        status, value, flag = pylentrasdk.LxGetISPImageProcessing(cam, prop)
        if status == -1:
            if position is None:
                print("Failed to get " + name)
            else:
                print("Failed to get [" + str(position) + "]: " + name)
            return False
        limits = pylentrasdk.LxGetISPImageProcessingRange(cam, prop)
        if flag == 1:
            print(name + " control is read-only")
        print(self._ControlRow(name, value, limits[1], limits[2], flag == 1, position))
        return True

    @_screen
    def CameraControl(self, cam):
        controls = self._ControlTable(cam)
        self.clearConsole()
        return self._Menu("Camera Control", _CAMERA_CONTROL_MENU, cam, controls)

    def _BackToCameraMenu(self, cam, *rest):
        return self.CtlList(cam)

    def _BackToCameraControl(self, cam, *rest):
        return self.CameraControl(cam)

    def _ExitCameraWithControls(self, cam, *rest):
        return self.ExitCamera(cam)

    def _ClearThenSetControl(self, cam, controls):
        self.clearConsole()
        return self.SetControl(cam, controls)

    @_screen
    def GetControl(self, cam, controls):
        self.clearConsole()
        return self._Menu("Get Controls", _GET_CONTROL_MENU, cam, controls)

    def _ShowAllControls(self, cam, controls):
        self.clearConsole()
        self.GetAllControl(cam, controls)
        return self._Menu(None, _CONTROL_VIEW_END, cam, controls)

    def GetAllControl(self, cam, controls):
        print("Available controls:")
        print("=" * 61)
        for position, name in enumerate(controls):
            shown = self._PrintControl(cam, controls, name, position)
            if shown and name in _MODE_TEXTS:
                print(" " * 39 + " | " + " " * 6 + _MODE_TEXTS[name])

    @_screen
    def GetSpecificControl(self, cam, controls):
        self.clearConsole()
        names = list(controls)
        for position, name in enumerate(names):
            print("[" + str(position) + "] " + name)
        propIndex = self.GetValidIndex("\nEnter a property index: ", len(names))
        if propIndex is not None:
            print("{:25} {:>8} | {:>8}".format("Name", "Value", "Range"))
            self._PrintControl(cam, controls, names[propIndex])
        return self._Menu(None, _CONTROL_VIEW_END, cam, controls)

    @_screen
    def SetControl(self, cam, controls):
        self.GetAllControl(cam, controls)
        names = list(controls)
        propIndex = self.GetValidIndex("\nEnter a property index: ", len(names))
        if propIndex is None:
            return self._Menu(None, _SET_CONTROL_END, cam, controls)
        propName = names[propIndex]
        propId = controls[propName]
        if propName in _STREAM_SETTINGS:
            minimum, maximum = _STREAM_SETTINGS[propName][:2]
        else:
            status, value, flag = pylentrasdk.LxGetISPImageProcessing(cam, propId)
            if flag == 1 or status == -1:
                self.clearConsole()
                if flag == 1:
                    print(propName + " control is read-only")
                else:
                    print(propName + " fail to be set")
                # Starts anew as the next screen, so attempts do not pile up on the stack.
                return self.SetControl(cam, controls)
            limits = pylentrasdk.LxGetISPImageProcessingRange(cam, propId)
            minimum, maximum = limits[1], limits[2]
        value = self.ValidProperty(propName, minimum, maximum)
        if propName == "Throughput":
            pylentrasdk.LxSetThroughPut(cam, value)
        elif propName == "Max_FPS":
            pylentrasdk.LxSetMaxFPS(cam, value)
        elif pylentrasdk.LxSetISPImageProcessing(cam, propId, value) == 0:
            print("Set Successfully!")
        else:
            print("Fail to set " + propName)
        return self._Menu(None, _SET_CONTROL_END, cam, controls)

    # -----------------------------------------------------------------------------------------
    # OSP profile and timestamp
    # -----------------------------------------------------------------------------------------
    def _OSPLabels(self):
        return {
            LX_OSP_PROFILE_FLAG.DISABLED: "DISABLED",
            LX_OSP_PROFILE_FLAG.ENABLED: "ENABLED",
            LX_OSP_PROFILE_FLAG.ENABLED_AND_SAVE: "ENABLE_AND_SAVE",
        }

    @_screen
    def OSPProfile(self, cam):
        options = self._OSPLabels()
        self.clearConsole()
        return self._Menu("OSP Profile Management", _OSP_MENU, cam, options)

    def _BackToOSPProfile(self, cam, *rest):
        return self.OSPProfile(cam)

    @_screen
    def GetOSPFlag(self, cam, flag):
        self.clearConsole()
        status, member = pylentrasdk.LxGetOSPProfileFlag(cam)
        # A failed read, or a value no label names, shows as UNKNOWN rather than a made-up flag.
        label = "UNKNOWN"
        if status == 0:
            for known, text in flag.items():
                if member == known:
                    label = text
        print("OSP Profile Flag: ", label)
        return self._Menu("OSP Profile Management", _OSP_END, cam, flag)

    @_screen
    def SetOSPFlag(self, cam, options):
        self.clearConsole()
        labels = list(options.values())
        label = self._Ask(None, labels, name="setOSP")
        if label in labels:
            member = list(options.keys())[labels.index(label)]
            if pylentrasdk.LxSetOSPProfileFlag(cam, member) == 0:
                print("Set OSP Profile Successful!")
            else:
                print("Fail to set OSP Profile Flag " + label)
        return self._Menu("OSP Profile Management", _OSP_END, cam, options)

    @_screen
    def Timestamp(self, cam):
        self.clearConsole()
        print(_TIMESTAMP_WARNING)
        return self._Menu("Timestamp Operations", _TIMESTAMP_MENU, cam)

    def _ShowReading(self, cam, read, label, failure):
        self.clearConsole()
        status, value = read(cam)
        if status == 0:
            print(label + str(value) + "\n")
        else:
            print(failure)
        return self._Menu(None, _TIMESTAMP_END, cam)

    @_screen
    def GetTimestamp(self, cam):
        return self._ShowReading(cam, pylentrasdk.LxGetTimestamp, "Timestamp: ",
                                 "Failed to get Timestamp")

    @_screen
    def GetFrameCount(self, cam):
        return self._ShowReading(cam, pylentrasdk.LxGetFrameCount, "FrameCount: ",
                                 "Failed to get FrameCount")

    @_screen
    def ResetTimestamp(self, cam):
        self.clearConsole()
        pylentrasdk.LxResetTimestamp(cam)
        return self._Menu(None, _TIMESTAMP_END, cam)

    @_screen
    def ResetFrameCount(self, cam):
        self.clearConsole()
        pylentrasdk.LxResetFrameCount(cam)
        return self._Menu(None, _TIMESTAMP_END, cam)
    # IMU operations
    # -----------------------------------------------------------------------------------------
    @_screen
    def IMUData(self, cam):
        self.clearConsole()
        return self._Menu("IMU Operations:", _IMU_MENU, cam)

    @_screen
    def EnableIMU(self, cam):
        return self._SetIMUMode(cam, "EnableMode", "Select a mode to enable:", "LxEnableIMUMode",
                                "Success to enable IMU ")

    @_screen
    def RebootIMU(self, cam):
        return self._SetIMUMode(cam, "RebootMode", "Select a mode to reboot:", "LxRebootIMUMode",
                                "Success to reboot IMU ")

    def _SetIMUMode(self, cam, questionName, message, function, successText):
        self.clearConsole()
        mode = self._Ask(message, [text for text, member in _IMU_MODES], questionName)
        status = -1
        for text, member in _IMU_MODES:
            if mode == text:
                status = getattr(pylentrasdk, function)(cam, member)
        # A failed enable or reboot prints nothing.
        if status == 0:
            print(successText + mode + " mode")
        return self._Menu("", _IMU_SCREEN_END, cam)

    @_screen
    def IMUAcc(self, cam):
        return self._IMUSample(cam, "AccMode", "LxGetIMUAccData", "Accelerometer")

    @_screen
    def IMUGyr(self, cam):
        return self._IMUSample(cam, "GyrMode", "LxGetIMUGyrData", "Gyroscope")

    def _IMUSample(self, cam, questionName, function, sensorName):
        self.clearConsole()
        mode = self._Ask("Select a mode to retrieve", [text for text, member in _IMU_SELF_TEST_MODES],
                         questionName)
        status, sample = -1, None
        for text, member in _IMU_SELF_TEST_MODES:
            if mode == text:
                status, sample = getattr(pylentrasdk, function)(cam, member)
        values = _firstThree(sample) if status == 0 else None
        # A success with fewer than three values is shown as the failure it is.
        if values is not None:
            print("Success to get IMU " + sensorName + " " + mode + " data:\n ("
                  + ", ".join(format(v, ".2f") for v in values) + ")\n")
        else:
            print("Failed to get IMU " + sensorName + " " + str(mode) + " data\n")
        return self._Menu("", _IMU_SCREEN_END, cam)

    @_screen
    def IMUIspu(self, cam):
        self.clearConsole()
        status, ispu = pylentrasdk.LxGetISPUData(cam)
        tempStatus, temperature = pylentrasdk.LxGetIMUTemperature(cam)
        timeStatus, sensorTime = pylentrasdk.LxGetIMUSensorTime(cam)
        if status == 0:
            print("Success to get ISPU data:")
            print("Data: (" + format(ispu.x, ".2f") + ", " + format(ispu.y, ".2f") + ", "
                  + format(ispu.z, ".2f") + ")")
            print("Scalar: " + format(ispu.w, ".2f"))
            print("Yaw: " + format(ispu.yaw, ".2f"))
            print("Pitch: " + format(ispu.pitch, ".2f"))
            print("Roll: " + format(ispu.roll, ".2f"))
        else:
            print("Failed to get ISPU data")
        if tempStatus == 0:
            print("Temperature (degC): " + format(temperature, ".2f"))
        else:
            print("\nFailed to get IMU sensor temperature\n")
        if timeStatus == 0:
            print("Time (s): " + format(sensorTime, ".2f") + "\n")
        else:
            print("\nFailed to get IMU sensor Time\n")
        return self._Menu("", _IMU_SCREEN_END, cam)

    # -----------------------------------------------------------------------------------------
    # Sensor config and media routes
    # -----------------------------------------------------------------------------------------
    @_screen
    def SensorConfig(self, cam):
        self.clearConsole()
        return self._Menu("Sensor Config Operations", _SENSOR_CONFIG_MENU, cam)

    @_screen
    def ExportSensor(self, cam):
        self.clearConsole()
        binPath = self._ReadPath("Enter the File Path (e.g: config.bin): ",
                                 lambda path: self.ValidFilePath(path, "bin"))
        if pylentrasdk.LxExportSensorConfig(cam, binPath) == 0:
            print("Save the sensor config to ", binPath)
        return self._Menu("Export Sensor:", _SENSOR_CONFIG_END, cam)

    @_screen
    def DecodeSensor(self, cam):
        self.clearConsole()
        binPath = self._ReadPath("Enter the Binary File Path (e.g: config.bin): ",
                                 lambda path: self.ValidFilePath(path, "bin")
                                 and self.CheckFileExist(path))
        jsonPath = self._ReadPath("Enter the JSON File Path (e.g: config.json): ",
                                  lambda path: self.ValidFilePath(path, "json"))
        if pylentrasdk.LxDecodeSensorConfig(binPath, jsonPath) == 0:
            print("Decode the sensor config to ", jsonPath)
        return self._Menu("Decode Sensor:", _SENSOR_CONFIG_END, cam)

    @_screen
    def MediaRoute(self):
        self.clearConsole()
        return self._Menu("Media Route Operations", _MEDIA_ROUTE_MENU)

    # A platform without route management is recognised by the error its route functions raise;
    # the guards below turn that error into a message. Ended input is not such an error: it ends
    # the tool as anywhere else.
    @_screen
    def ResetRoute(self):
        try:
            self.clearConsole()
            if pylentrasdk.LxResetActiveRoutes() == 0:
                print("Active routes have been reset. Route configuration required before device "
                      "operation.\n")
            else:
                print("Route reset failed. Please ensure your platform supports active route "
                      "management.\n")
            return self._Menu("Reset Active Routes", _MEDIA_ROUTE_END)
        except EOFError:
            raise
        except Exception:
            print("This platform does not support Media Route Operations.\n")
        return self._Menu("Reset Active Routes", _MEDIA_ROUTE_END)

    @_screen
    def ActivateRoute(self):
        try:
            self.clearConsole()
            yamlPath = self._ReadPath("Enter the File Path (e.g: routes.yaml): ",
                                      lambda path: self.ValidFilePath(path, "yaml"))
            routesYaml = pylentrasdk.LxLoadRouteYaml(yamlPath)
            if routesYaml:
                if pylentrasdk.LxActivateYamlRoutes(routesYaml) == 0:
                    print("Activate the routes from YAML file.\n")
                else:
                    print(_ROUTE_ACTIVATION_FAILED)
            else:
                print("Failed to load the routes from YAML file")
            return self._Menu("Activate YAML routes", _MEDIA_ROUTE_END)
        except EOFError:
            raise
        except Exception:
            print(_ROUTE_ACTIVATION_FAILED)
        return self._Menu("Activate YAML routes", _MEDIA_ROUTE_END)


def _firstThree(sample):
    """The first three elements of a sample as floats, or None when it has fewer."""
    try:
        return [float(sample[i]) for i in range(3)]
    except (IndexError, TypeError, ValueError):
        return None


def _hasTerminal():
    """The menus read keys from standard input and draw on standard output: both must be a
    terminal."""
    try:
        return sys.stdin.isatty() and sys.stdout.isatty()
    except (AttributeError, ValueError):
        return False


def main():
    if _navigation.running:
        # Called back from a running screen (a menu's way home): the home menu becomes that
        # loop's next screen instead of a second loop nested inside the first.
        return pyLentraCtl(main).HomeMenu()
    if not _hasTerminal():
        # Without a terminal every prompt would fail; say so once, before asking anything.
        sys.stderr.write("pylentractl needs an interactive terminal\n")
        sys.exit(2)
    try:
        pyCtl = pyLentraCtl(main)
        while True:
            pyCtl.HomeMenu()
    except (KeyboardInterrupt, EOFError):
        # EOFError: standard input has ended, so nothing more can be asked.
        print("\nPrompt cancelled. Exiting...")
        sys.exit(0)


if __name__ == "__main__":
    main()
