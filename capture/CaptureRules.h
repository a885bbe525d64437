#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

// The capture window's rules as plain functions: exposure time, total run
// time, the pre-run checks, the enabling rules of its tabs, file naming and
// save targets. The window feeds them its boxes' texts and applies the result.
namespace zelmora::capture::rules {

// Seconds of the camera's shutter-speed text ("1/125" 0.008, "0''5" 0.5,
// "30''" 30, "1.5''" 1.5, "1/6(1/3)" 0.1667); "Bulb", "" and anything else 0.
double tvSeconds(const QString& tv);

// Long exposure: minutes * 60 + seconds, each box read as a 32-bit whole
// number (AppError 13 for a non-number, 6 on overflow). Empty boxes count as 0.
double longSeconds(const QString& minutes, const QString& seconds);

// Total run time in seconds: (D + E) * N + ((N - 1) * B + L), 0 when N is 0.
// leadin = seconds between exposures (B), delay = lead-in (L); the mirror delay
// only when it counts (long tab with mirror lock). Raises on boxes that do not convert.
std::int32_t totalExposure(const QString& count, const QString& between, const QString& leadIn,
                           const QString& mirrorDelay, bool mirrorCounts, double exposure);
QString totalLabel(std::int32_t total, bool longTab);

// 0 < seconds between exposures < 8, the warning wanted and a camera connected.
bool needsGapWarning(const QString& between, bool checkGap, bool connected);

// The mirror lock-up delay must be a whole number 1 to 59; a text that is no
// number or does not fit 16 bits counts as outside.
bool mirrorDelayValid(const QString& text);

inline const QString kGapQuestion = QStringLiteral(
    "Please note that setting time a between exposures of less than 8 seconds can cause your "
    "camera to freeze after 4 or 5 images when the camera buffer fills up. The camera needs about "
    "8 - 10 seconds between each shot to write the image data to the Memory Card. Show this "
    "warning again ?");
inline const QString kNoSaveTarget = QStringLiteral(
    "You have not chosen where to save your images. Check \"Save Image(s) to PC:\" or \"Save "
    "Image(s) to Cam:\" and try again!");
inline const QString kNoCamera = QStringLiteral(
    "Short exposures are taken by the camera, but no camera is connected. Connect your camera and "
    "try again!");

// One step of a pre-run check: a message to show (style as the message box
// takes it), or the gap question at its place in the order.
struct CheckStep {
    QString text;
    int style = 0;
    bool gapQuestion = false;
};
struct CheckResult {
    std::vector<CheckStep> steps;
    bool ok = true;
};

struct RunInputs {
    QString expCount, expMin, expSec, directory;
    bool pictoPC = false, pictoCam = false, mirrorLockBox = false;
    bool connected = false;
    QString tv;  // the camera's Tv (read only while connected)
    bool cameraMirrorLock = false;
    double expTime = 0;       // getExpTime
    bool gapWarning = false;  // needsGapWarning
    bool dsusbEnabled = false, dsusbConnected = false;
    bool directoryExists = false;
};
CheckResult shortRunChecks(const RunInputs& in);
CheckResult longRunChecks(const RunInputs& in);

// The enabling rules of a tab, as changes to apply (unset = leave alone).
struct ModeChanges {
    std::optional<bool> txtObjPrefix, cbExpStart, cbExpStop, chPictoCam, chPictoPC, button19;
    std::optional<bool> chkUseISO, txtDirectory, cmdBrowse;
    std::optional<int> setPictoPC, setPictoCam;  // values to put into the boxes
    bool showShortExpLB = false;
    bool operator==(const ModeChanges&) const = default;
};
ModeChanges modeControls(int tab, bool connected, const QString& tv, bool pictoPC, bool pictoCam);

// Why the enabling rules above turn Start off, saying what turns it on; "" when
// they leave it on or alone.
QString startHint(int tab, bool connected, const QString& tv, bool pictoPC, bool pictoCam);
inline const QString kHintConnect =
    QStringLiteral("Start is off: short exposures are taken by the camera. Connect the camera.");
inline const QString kHintBulbOnShortTab = QStringLiteral(
    "Start is off: the camera's shutter speed is Bulb. Set a shutter speed on the camera, or use "
    "the Long Exposures tab.");
inline const QString kHintNotBulb = QStringLiteral(
    "Start is off: the camera's shutter speed is not Bulb. Set the camera to Bulb (mode dial on B "
    "or M), then choose the Long Exposures tab again.");
inline const QString kHintNoTarget = QStringLiteral(
    "Start is off: choose where the images go (Save Image(s) to PC or to Cam), then choose the "
    "tab again.");
inline const QString kHintNoTime = QStringLiteral("Start is off: enter an exposure time.");
inline const QString kHintDsusb = QStringLiteral(
    "Start is off: the DSUSB box is not connected. Plug it in, then choose the tab again.");

// The object name as it may stand in a file name: path separators, "..",
// characters a file name cannot hold and control characters become "_".
QString safeObjectName(const QString& name);
// The file-name stem: "" for an empty prefix box, else trimmed prefix & "-"
// [& seconds & "s-" & ISO & "-"].
QString fileStem(const QString& prefixBox, bool useISO, double seconds, const QString& iso);
// The fixed illustration in the sample box.
QString sampleName(const QString& prefixBox, bool useISO);

// The control's download switches.
struct SaveTargets {
    std::optional<bool> PicPc, PicCam, ThumbPc;
    bool operator==(const SaveTargets&) const = default;
};
// What a save-target box's new value sets on the control (camera connected).
SaveTargets pcBoxChanged(bool checked);
SaveTargets camBoxChanged(bool checked);
// ApplySaveTargets: the camera box's handler, then the computer box's.
SaveTargets applySaveTargets(bool pictoPC, bool pictoCam);

// The folder a run hands the control at its start ("" = none is set), ending in "/".
QString runSavePath(bool longRun, bool connected, bool controlPicPc, bool pictoPC, bool pictoCam,
                    const QString& directory, const QString& appDir);

}  // namespace zelmora::capture::rules
