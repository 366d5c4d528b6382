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
import inquirer
from inquirer.themes import BlueComposure
import os
import sys
import numpy as np
import functools
import tempfile

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
    ("exit", "ExitTool"),
)

_CAMERA_MENU = (
    ("Device Information", "DeviceInfo"),
    ("List Formats", "FormatList"),
    ("Image operations", "ImageOperation"),
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

# A menu whose prompt keeps failing is given up after this many attempts in a row.
_PROMPT_ATTEMPTS = 3

# The status SetFormat reports when there was no format to choose.
_NO_FORMAT_CHOSEN = -1

_FORMAT_TEXTS = (
    (LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_YUY2, "YUY2"),
    (LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_UYVY, "UYVY"),
    (LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_NV12, "NV12"),
    (LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_MJPG, "MJPG"),
    (LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_BGRA, "BGRA"),
    (LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_BGRX, "BGRX"),
    (LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_BGR, "BGR"),
    (LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_RGB16, "RGB16"),
    (LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_RGB, "RGB"),
)

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


def _writeFileSafely(image, target):
    """Writes the array's bytes to `target` through a temporary file renamed into place, so a
    failed write never leaves half a file nor destroys the file that was there. Raises OSError
    naming `target`."""
    real = os.path.realpath(target)
    if os.path.exists(real) and not os.path.isfile(real):
        # A device, a pipe or a directory: nothing to replace; write (or fail) in place.
        image.tofile(target)
        return
    folder = os.path.dirname(real) or "."
    try:
        fd, tmpPath = tempfile.mkstemp(dir=folder, prefix="." + os.path.basename(real) + ".",
                                       suffix=".part")
    except OSError as e:
        raise OSError(e.errno, e.strerror, target)
    try:
        with os.fdopen(fd, "wb") as tmpFile:
            image.tofile(tmpFile)
        # mkstemp creates the file private; give it the mode a plain new file would have.
        umask = os.umask(0)
        os.umask(umask)
        os.chmod(tmpPath, 0o666 & ~umask)
        os.replace(tmpPath, real)
    except BaseException as e:
        try:
            os.unlink(tmpPath)
        except OSError:
            pass
        if isinstance(e, OSError):
            raise OSError(e.errno, e.strerror, target)
        raise


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

    def _Ask(self, message, choices):
        """Asks one list question and returns the chosen entry. A prompt that fails is asked
        again; one that keeps failing ends the tool rather than looping forever."""
        keywords = {"choices": choices, "carousel": True}
        if message is not None:
            keywords["message"] = message
        for attempt in range(_PROMPT_ATTEMPTS):
            answers = self.OptionTerminal([inquirer.List("pyLentraCtl", **keywords)])
            if answers:
                return answers.get("pyLentraCtl")
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
        for member, text in _FORMAT_TEXTS:
            if format == member:
                return text
        # LX_IMAGE_FORMAT_NONE, and any value the enumeration does not name.
        return "UNKNOWN"

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
                    _writeFileSafely(image, newfilePath)
                except (ValueError, OSError) as e:
                    print("Error to save the image: " + str(e))
                    break
                print("Save the image to " + newfilePath)
        finally:
            pylentrasdk.LxStopStreaming(cam)


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
