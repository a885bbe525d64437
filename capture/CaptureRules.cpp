#include "capture/CaptureRules.h"

#include "platform/core/AppError.h"
#include "platform/os/Dialogs.h"
#include "shell/AppPaths.h"
#include "shell/Conv.h"

namespace zelmora::capture::rules {

using platform::Msg::Exclamation;

double tvSeconds(const QString& tvText) {
    QString t = tvText;
    // A seconds mark after a decimal number ("1.5''") is a plain mark, not the
    // decimal point that "0''5" uses.
    if (t.endsWith(QStringLiteral("''")) && t.contains(u'.')) t.chop(2);
    t.replace(QStringLiteral("''"), QStringLiteral("."));
    t.remove(QStringLiteral("(1/3)"));
    if (t.contains(u'/')) {
        // "1/125": the first "1" and the first "/" become "0" -> "00125".
        const int one = t.indexOf(u'1');
        if (one >= 0) t[one] = u'0';
        t[t.indexOf(u'/')] = u'0';
        if (!Conv::isNumeric(t)) return 0;
        const double n = Conv::parseDouble(t);
        if (n == 0) return 0;
        t = Conv::fixed(1.0 / n, 4);
    }
    return Conv::isNumeric(t) ? Conv::parseDouble(t) : 0.0;
}

double longSeconds(const QString& minutes, const QString& seconds) {
    const std::int32_t m = Conv::parseInt32(minutes.isEmpty() ? QStringLiteral("00") : minutes);
    const std::int32_t s = Conv::parseInt32(seconds.isEmpty() ? QStringLiteral("00") : seconds);
    const std::int64_t whole = std::int64_t(m) * 60;
    if (whole > INT32_MAX || whole < INT32_MIN) Conv::toInt32(double(whole));  // raises 6
    return double(whole) + s;
}

std::int32_t totalExposure(const QString& count, const QString& between, const QString& leadIn,
                           const QString& mirrorDelay, bool mirrorCounts, double exposure) {
    const std::int32_t b = Conv::parseInt32(between);
    const std::int32_t n = Conv::parseInt32(count);
    const std::int32_t l = Conv::parseInt32(leadIn);
    const std::int32_t d = mirrorCounts ? Conv::parseInt32(mirrorDelay) : 0;
    if (n == 0) return 0;
    const std::int32_t gaps = Conv::toInt32(double(std::int64_t(n - 1) * b + l));
    return Conv::toInt32((d + exposure) * n + gaps);
}

QString totalLabel(std::int32_t total, bool longTab) {
    return (longTab ? QStringLiteral("Total Exp Time: ")
                    : QStringLiteral("Total Approx Exp Time: ")) +
           QString::number(total) + QStringLiteral(" secs");
}

bool needsGapWarning(const QString& between, bool checkGap, bool connected) {
    if (!checkGap || !connected) return false;
    try {
        const std::int16_t b = Conv::parseInt16(between);
        return b > 0 && b < 8;
    } catch (const AppError&) {
        return false;
    }
}

bool mirrorDelayValid(const QString& text) {
    try {
        const std::int16_t v = Conv::parseInt16(text);
        return v >= 1 && v <= 59;
    } catch (const AppError&) {
        return false;
    }
}

namespace {
const QString kNoDirectory = QStringLiteral(
    "You have chosen to download images to the PC but have not specified a download directory. Go "
    "to the File Naming TAB and choose a download directory.");
const QString kBadDirectory = QStringLiteral(
    "You have chosen to download images to the PC but the directory you have specified is invalid. "
    "Go to the File Naming TAB and choose a valid download directory.");

void fail(CheckResult& r, const QString& text, int style) {
    r.steps.push_back({text, style, false});
    r.ok = false;
}
void folderChecks(CheckResult& r, const RunInputs& in) {
    if (!in.pictoPC) return;
    if (in.directory.isEmpty()) fail(r, kNoDirectory, Exclamation);
    if (!in.directoryExists) fail(r, kBadDirectory, Exclamation);
}
void gapQuestion(CheckResult& r, const RunInputs& in) {
    if (in.gapWarning && !in.pictoPC) r.steps.push_back({kGapQuestion, 0, true});
}
// Images neither downloaded nor kept on the card would be lost.
void saveTargetCheck(CheckResult& r, const RunInputs& in) {
    if (in.connected && !in.pictoPC && !in.pictoCam) fail(r, kNoSaveTarget, Exclamation);
}
}  // namespace

CheckResult shortRunChecks(const RunInputs& in) {
    CheckResult r;
    if (!in.connected) fail(r, kNoCamera, Exclamation);
    if (in.expCount.isEmpty() || in.expCount == QStringLiteral("0"))
        fail(r, QStringLiteral("Enter Valid Values in the No Exposures entry field!"), 0);
    if (in.connected && in.tv == QStringLiteral("Bulb"))
        fail(r,
             QStringLiteral("Your Camera is currently set to Bulb Mode. Choose a Tv setting other "
                            "than Bulb and try again!"),
             Exclamation);
    folderChecks(r, in);
    saveTargetCheck(r, in);
    if (in.cameraMirrorLock)
        fail(r,
             QStringLiteral("You currently Mirror Lock Turned on. Turn off Mirror Lock in your "
                            "camera and try again."),
             Exclamation);
    gapQuestion(r, in);
    return r;
}

CheckResult longRunChecks(const RunInputs& in) {
    CheckResult r;
    if (in.expMin.isEmpty() || in.expSec.isEmpty())
        fail(r,
             QStringLiteral("Enter Valid Values in the Exposure Control Min & Sec entry fields!"),
             0);
    else if (in.expTime <= 0)  // a negative time is as unusable as none
        fail(r, QStringLiteral("Exposure Time Cannot be 0 seconds!"), 0);
    folderChecks(r, in);
    saveTargetCheck(r, in);
    gapQuestion(r, in);
    if (in.connected && in.cameraMirrorLock && !in.mirrorLockBox)
        fail(r,
             QStringLiteral("You have Mirror Lock set in your Camera, but have not selected the "
                            "Mirror Lock Checkbox. Either Turn Mirror Lock off in your camera, or "
                            "select the Mirror Lock checkbox!"),
             Exclamation);
    if (in.connected && !in.cameraMirrorLock && in.mirrorLockBox)
        fail(r,
             QStringLiteral("You have the Mirror Lock Checkbox selected, but do not have Mirror "
                            "Lock enabled in your camera. Either Turn on Mirror Lock in your "
                            "camera, or deselect the Mirror Lock checkbox!"),
             Exclamation);
    if (in.dsusbEnabled && !in.dsusbConnected)
        fail(
            r,
            QStringLiteral("You have told Zelmora to use a DSUSB to control your camera shutter, "
                           "but no DSUSB seems to be connected. Connect your DSUSB and try again!"),
            Exclamation);
    return r;
}

ModeChanges modeControls(int tab, bool connected, const QString& tv, bool pictoPC, bool pictoCam) {
    ModeChanges c;
    const bool target = pictoPC || pictoCam;
    const bool bulb = tv == QStringLiteral("Bulb");
    switch (tab) {
        case 1:
            if (connected && !bulb && target) {
                c.txtObjPrefix = c.cbExpStart = c.cbExpStop = c.chPictoCam = c.chPictoPC =
                    c.button19 = true;
            } else if (connected) {
                c.cbExpStart = c.cbExpStop = c.button19 = false;
            } else {
                c.chPictoPC = c.cbExpStart = c.cbExpStop = c.chPictoCam = c.txtObjPrefix =
                    c.button19 = false;
            }
            c.showShortExpLB = true;
            break;
        case 2:
            c.button19 = false;
            if (connected && bulb && target) {
                c.cbExpStart = c.cbExpStop = c.chPictoCam = c.chPictoPC = true;
            } else if (connected) {
                c.cbExpStart = c.cbExpStop = false;
            } else {
                c.txtObjPrefix = false;
                c.setPictoPC = 0;
                c.chPictoPC = false;
                c.setPictoCam = 1;
                c.cbExpStart = c.cbExpStop = true;
            }
            break;
        case 3:
            c.txtObjPrefix = c.chkUseISO = c.txtDirectory = c.cmdBrowse = pictoPC;
            break;
        default:
            break;
    }
    return c;
}

QString startHint(int tab, bool connected, const QString& tv, bool pictoPC, bool pictoCam) {
    const bool target = pictoPC || pictoCam;
    const bool bulb = tv == QStringLiteral("Bulb");
    if (tab == 1) {
        if (!connected) return kHintConnect;
        if (bulb) return kHintBulbOnShortTab;
        if (!target) return kHintNoTarget;
    } else if (tab == 2 && connected) {
        if (!bulb) return kHintNotBulb;
        if (!target) return kHintNoTarget;
    }
    return {};
}

QString safeObjectName(const QString& name) {
    static const QString kInvalid = QStringLiteral("\\/:*?\"<>|");
    QString out = name;
    for (QChar& ch : out)
        if (kInvalid.contains(ch) || ch.unicode() < 0x20 || ch.unicode() == 0x7F) ch = u'_';
    while (out.contains(QStringLiteral("..")))
        out.replace(QStringLiteral(".."), QStringLiteral("_"));
    return out;
}

QString fileStem(const QString& prefixBox, bool useISO, double seconds, const QString& iso) {
    if (prefixBox.isEmpty()) return {};
    const QString prefix = safeObjectName(prefixBox.trimmed());
    if (!useISO) return prefix + u'-';
    return prefix + u'-' + Conv::numberText(seconds) + QStringLiteral("s-") + safeObjectName(iso) +
           u'-';
}

QString sampleName(const QString& prefixBox, bool useISO) {
    const QString prefix = safeObjectName(prefixBox.trimmed());
    return useISO ? prefix + QStringLiteral("-360s-ISO400-001.crw")
                  : prefix + QStringLiteral("-001.crw");
}

SaveTargets pcBoxChanged(bool checked) {
    return checked ? SaveTargets{true, std::nullopt, false}
                   : SaveTargets{false, std::nullopt, true};
}

SaveTargets camBoxChanged(bool checked) {
    return checked ? SaveTargets{std::nullopt, true, true}
                   : SaveTargets{std::nullopt, false, false};
}

SaveTargets applySaveTargets(bool pictoPC, bool pictoCam) {
    SaveTargets r = camBoxChanged(pictoCam);
    const SaveTargets pc = pcBoxChanged(pictoPC);
    if (pc.PicPc) r.PicPc = pc.PicPc;
    if (pc.ThumbPc) r.ThumbPc = pc.ThumbPc;
    return r;
}

QString runSavePath(bool longRun, bool connected, bool controlPicPc, bool pictoPC, bool pictoCam,
                    const QString& directory, const QString& appDir) {
    const auto withSlash = [](QString d) { return d.endsWith(u'/') ? d : d + u'/'; };
    const QString thumbs = withSlash(AppPaths::join(appDir, QStringLiteral("Thumbs")));
    if (!longRun) return controlPicPc ? withSlash(directory) : thumbs;
    if (!connected) return {};
    if (pictoCam) return thumbs;
    if (pictoPC) return withSlash(directory);
    return {};
}

}  // namespace zelmora::capture::rules
