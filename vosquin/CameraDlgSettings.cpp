// The camera dialog's setting lists (ISO, shooting mode, Tv, Av, quality), their
// changes, the host's puts by text and the reads of the camera's current values.

#include <QString>
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/os/Dialogs.h"
#include "vosquin/CCameraDlg.h"
#include "vosquin/CameraTexts.h"
#include "vosquin/RcResult.h"

namespace zelmora::vosquin {

namespace {

bool contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

void CCameraDlg::refillAll() {
    fillIso();
    fillMode();
    fillQuality();
    modeGate();
    notify();
}

void CCameraDlg::fillIso() {
    ComboModel& list = lists_[kIso];
    if (!list.visible()) return;
    list.setEnabled(false);
    list.clear();
    const RCHandle source = source_;
    std::uint16_t current = 0;
    std::uint32_t size = sizeof current;
    RCResult r = RCGetRelCamSettingData(source, RC_SETTING_ISO, &size, &current);
    if (!failed(r)) {
        RCHandle enumerator = 0;
        std::uint32_t valueSize = 0;
        r = RCEnumRelCamSettingDataReset(source, RC_SETTING_ISO, &enumerator, &valueSize);
        if (!failed(r)) {
            // Values come zero-extended to the size the library names; the code is
            // the first two bytes.
            std::vector<std::uint8_t> value(std::clamp<std::uint32_t>(valueSize, 2, 64));
            RCResult walk = 0;
            for (;;) {
                walk = RCEnumRelCamSettingDataNext(enumerator, std::uint32_t(value.size()),
                                                   value.data());
                if (failed(walk)) break;
                const std::uint16_t code = std::uint16_t(value[0] | (value[1] << 8));
                list.add({texts::isoText(code), code, 0});
            }
            r = walkResult(walk, RCEnumRelCamSettingDataRelease(enumerator));
        }
        list.select(list.findCode(current));
    }
    if (failed(r))
        logCode("Set ISO ErrorCode = ", r);
    else
        list.setEnabled(true);
}

void CCameraDlg::fillMode() {
    ComboModel& list = lists_[kMode];
    if (!list.visible()) return;
    list.setEnabled(false);
    list.clear();
    std::uint16_t mode = 0;
    const RCResult r = RCGetShootingMode(source_, &mode);
    if (failed(r)) {
        logCode("Set Mode ErrorCode = ", r);
        return;
    }
    // Only the current mode: the dial is on the camera, the list just shows it.
    list.select(list.add({texts::modeListText(mode), mode, 0}));
}

void CCameraDlg::fillQuality() {
    ComboModel& list = lists_[kQuality];
    if (!list.visible()) return;
    list.setEnabled(false);
    list.clear();
    const RCHandle source = source_;
    std::uint16_t quality = 0, size = 0;
    RCResult r = RCGetImageFormatAttribute(source, &quality, &size);
    if (!failed(r)) {
        RCHandle enumerator = 0;
        r = RCEnumImageFormatAttributeReset(source, &enumerator);
        if (!failed(r)) {
            RCResult walk = 0;
            for (;;) {
                std::uint16_t q = 0, s = 0;
                walk = RCEnumImageFormatAttributeNext(enumerator, &q, &s);
                if (failed(walk)) break;
                std::string text = texts::qualityListText(q) + texts::sizeListText(s);
                if (contains(text, "Error")) continue;
                list.add({std::move(text), q, s});
            }
            r = walkResult(walk, RCEnumImageFormatAttributeRelease(enumerator));
        }
        list.select(
            list.findIf([&](const ComboEntry& e) { return e.code == quality && e.size == size; }));
    }
    if (failed(r))
        logCode("Set QualitySize Error = ", r);
    else
        list.setEnabled(true);
}

void CCameraDlg::modeGate() {
    std::uint16_t mode = 0;
    const RCResult r = RCGetShootingMode(source_, &mode);
    if (failed(r)) {
        logCode("Error Getting shooting mode in LoadComboBoxes ErrorCode = ", r);
        return;
    }
    switch (mode) {
        case RC_MODE_TV:
            lists_[kTv].setEnabled(true);
            lists_[kAv].setEnabled(false);
            fillTv(mode);
            break;
        case RC_MODE_AV:
            lists_[kTv].setEnabled(false);
            lists_[kAv].setEnabled(true);
            fillAv(mode);
            break;
        case RC_MODE_MANUAL:
        case RC_MODE_BULB:
        case RC_MODE_MANUAL2:
            lists_[kTv].setEnabled(true);
            lists_[kAv].setEnabled(true);
            fillTv(mode);
            fillAv(mode);
            break;
        default:
            // Settings changed on the camera while this box is up must not stack
            // another one on it.
            if (modeBoxShowing_) break;
            modeBoxShowing_ = true;
            notify();
            platform::Dialogs::msgBox(
                QStringLiteral("Please set your camera to Manual, Tv, Av or Bulb mode!"),
                platform::Msg::Exclamation, QStringLiteral("Camera Mode Error"));
            modeBoxShowing_ = false;
            break;
    }
}

void CCameraDlg::fillTv(std::uint16_t mode) {
    ComboModel& list = lists_[kTv];
    if (!list.visible()) return;
    allowedTv_.clear();
    if (mode != RC_MODE_MANUAL && mode != RC_MODE_TV) return;
    list.setEnabled(false);
    list.clear();
    const RCHandle source = source_;
    std::uint16_t current = 0;
    RCResult r = RCGetTvValue(source, &current);
    if (!failed(r)) {
        RCHandle enumerator = 0;
        r = RCEnumTvValueReset(source, &enumerator);
        if (!failed(r)) {
            RCResult walk = 0;
            for (;;) {
                std::uint16_t code = 0;
                walk = RCEnumTvValueNext(enumerator, &code);
                if (failed(walk)) break;
                list.add({texts::tvText(code), code, 0});
                allowedTv_ += std::to_string(code) + ",";
            }
            r = walkResult(walk, RCEnumTvValueRelease(enumerator));
        }
    }
    if (failed(r)) {
        logCode("Set Tv Box ErrorCode = ", r);
        return;
    }
    bool bulbAdded = false;
    if (mode == RC_MODE_MANUAL) {
        // These bodies take Bulb from the Tv setting in Manual without listing it.
        for (const auto& [needle, line] : {std::pair{"20D", "Added Bulb to LB for 20D"},
                                           std::pair{"350D", "Added Bulb to LB for 350D"},
                                           std::pair{"REBEL XT", "Added Bulb to LB for 350D"}}) {
            if (!contains(model_, needle)) continue;
            list.add({"Bulb", RC_TV_BULB, 0});
            logLine(line);
            bulbAdded = true;
        }
    }
    list.select(list.findCode(current));
    if (bulbAdded && current == RC_TV_BULB) fire(ids::kOnReadyForRelease, {false});
    list.setEnabled(true);
}

void CCameraDlg::fillAv(std::uint16_t mode) {
    ComboModel& list = lists_[kAv];
    if (!list.visible()) return;
    if (mode != RC_MODE_MANUAL && mode != RC_MODE_AV) return;
    const RCHandle source = source_;
    std::uint16_t current = 0;
    RCResult r = RCGetAvValue(source, &current);
    if (!failed(r) && (current == 0 || current == RC_AV_NO_LENS)) {
        // No lens: nothing to choose; the entries stay as they were.
        list.setEnabled(false);
        return;
    }
    list.setEnabled(false);
    list.clear();
    if (!failed(r)) {
        RCHandle enumerator = 0;
        r = RCEnumAvValueReset(source, &enumerator);
        if (!failed(r)) {
            RCResult walk = 0;
            for (;;) {
                std::uint16_t code = 0;
                walk = RCEnumAvValueNext(enumerator, &code);
                if (failed(walk)) break;
                list.add({texts::avText(code), code, 0});
            }
            r = walkResult(walk, RCEnumAvValueRelease(enumerator));
        }
        list.select(list.findCode(current));
    }
    if (failed(r))
        logCode("Set Av Box ErrorCode = ", r);
    else
        list.setEnabled(true);
}

void CCameraDlg::selectionChanged(List which, int index) {
    if (!created_) return;
    lists_[which].select(index);
    switch (which) {
        case kIso:
            applyIso();
            break;
        case kMode:
            applyMode();
            break;
        case kTv:
            applyTv();
            break;
        case kAv:
            applyAv();
            break;
        case kQuality:
            applyQuality();
            break;
    }
    notify();
}

void CCameraDlg::applyIso() {
    const ComboEntry* e = lists_[kIso].selectedEntry();
    if (!e) return;
    const std::uint16_t code = e->code;
    logLine("Setting ISO:" + std::to_string(code));
    const RCResult r = RCSetRelCamSettingData(source_, RC_SETTING_ISO, sizeof code, &code);
    if (failed(r))
        logCode("Error Setting ISO ErrorCode = ", r);
    else
        refillAll();
}

void CCameraDlg::applyMode() {
    const ComboEntry* e = lists_[kMode].selectedEntry();
    if (!e) return;
    const RCResult r = RCSetShootingMode(source_, e->code);
    if (failed(r)) {
        logCode("On Selchange shooting mode ErrorCode = ", r);
        return;
    }
    refillAll();  // the mode list first among them
}

void CCameraDlg::applyTv() {
    const ComboEntry* e = lists_[kTv].selectedEntry();
    if (!e) return;
    const std::uint16_t code = e->code;
    const RCHandle source = source_;
    logLine("Setting TV:" + std::to_string(code));
    std::uint16_t current = 0;
    RCResult r = RCGetTvValue(source, &current);
    if (!failed(r) && current == code) return;
    if (!failed(r)) r = RCLockUI(source);
    if (!failed(r)) {
        r = RCSetTvValue(source, code);
        if (!failed(r)) {
            if (code == RC_TV_BULB) {
                fire(ids::kOnReadyForRelease, {false});
                fire(ids::kOnBulbMode, {true});
            } else {
                fire(ids::kOnBulbMode, {false});
            }
        }
    }
    // The failing call's code is the one worth logging, not the unlock's.
    const RCResult unlocked = RCUnlockUI(source);
    if (!failed(r)) r = unlocked;
    if (failed(r))
        logCode("OnSelchangeTv ErrorCode = ", r);
    else
        refillAll();
}

void CCameraDlg::applyAv() {
    const ComboEntry* e = lists_[kAv].selectedEntry();
    if (!e) return;
    const std::uint16_t code = e->code;
    const RCHandle source = source_;
    logLine("Setting AV:" + std::to_string(code));
    std::uint16_t current = 0;
    RCResult r = RCGetAvValue(source, &current);
    if (!failed(r) && current == code) return;
    if (!failed(r)) r = RCLockUI(source);
    if (!failed(r)) r = RCSetAvValue(source, code);
    const RCResult unlocked = RCUnlockUI(source);
    if (!failed(r)) r = unlocked;
    if (failed(r))
        logCode("OnSelchangeAv ErrorCode = ", r);
    else
        refillAll();
}

void CCameraDlg::applyQuality() {
    const ComboEntry* e = lists_[kQuality].selectedEntry();
    if (!e) return;
    const std::uint16_t quality = e->code, size = e->size;
    const RCHandle source = source_;
    logLine("Setting QualSize:" + std::to_string(quality) + std::to_string(size));
    std::uint16_t q = 0, s = 0;
    RCResult r = RCGetImageFormatAttribute(source, &q, &s);
    if (!failed(r) && q == quality && s == size) return;
    if (!failed(r)) r = RCLockUI(source);
    if (!failed(r)) r = RCSetImageFormatAttribute(source, quality, size);
    const RCResult unlocked = RCUnlockUI(source);
    if (!failed(r)) r = unlocked;
    if (failed(r))
        logCode("On Quality Size Change ErrorCode = ", r);
    else
        refillAll();
}

void CCameraDlg::putByText(List which, const std::string& text, const char* what) {
    // Before the window exists there is no list to choose from.
    if (!created_) return;
    const ComboModel& list = lists_[which];
    int index = -1;
    if (!text.empty()) {
        if (which == kQuality)
            // A quality word alone picks the first entry of that quality; an entry of
            // unknown size only by its whole text.
            index = list.findIf([&](const ComboEntry& e) {
                return startsWithIgnoringCase(e.text, text) &&
                       (e.size != 0xFFFF || equalsIgnoringCase(e.text, text));
            });
        else
            index = list.findExact(text);
    }
    if (index < 0) {
        // The camera keeps its value and the list its selection.
        logLine(std::string(what) + " not changed, no entry matches:" + text);
        return;
    }
    selectionChanged(which, index);
}

void CCameraDlg::putTv(const std::string& text) {
    putByText(kTv, text, "Tv");
}
void CCameraDlg::putAv(const std::string& text) {
    putByText(kAv, text, "Av");
}
void CCameraDlg::putIso(const std::string& text) {
    putByText(kIso, text, "ISO");
}
void CCameraDlg::putImageQuality(const std::string& text) {
    putByText(kQuality, text, "Quality");
}

std::int16_t CCameraDlg::shotsLeft() {
    std::uint32_t shots = 0;
    const RCResult r = RCGetNumAvailableShot(source_, &shots);
    if (failed(r)) {
        logCode("Get Shots Left ErrorCode = ", r);
        return 0;
    }
    return std::int16_t(std::min<std::uint32_t>(shots, 32767));
}

std::string CCameraDlg::imageQualityText() {
    std::uint16_t q = 0, s = 0;
    if (failed(RCGetImageFormatAttribute(source_, &q, &s))) return {};
    return texts::qualityPropertyText(q);
}

std::string CCameraDlg::imageSizeText() {
    std::uint16_t q = 0, s = 0;
    if (failed(RCGetImageFormatAttribute(source_, &q, &s))) return {};
    return texts::sizePropertyText(s);
}

std::string CCameraDlg::shootingModeText() {
    std::uint16_t mode = 0;
    if (failed(RCGetShootingMode(source_, &mode))) return {};
    return texts::modePropertyText(mode);
}

void CCameraDlg::ReadBatteryLevel() {
    std::uint32_t level = 0;
    const RCResult r = readProperty(source_, RC_PROP_BATTERY, &level, sizeof level);
    if (failed(r)) {
        logCode("Getting Battery Status error ErrorCode = ", r);
        return;
    }
    fire(ids::kOnBatteryLevelChange, {texts::batteryText(level)});
}

bool CCameraDlg::GetMirrorLock() {
    logLine("Getting Mirror Lock Setting for:" + model_);
    RCHandle enumerator = 0;
    RCResult r = RCEnumCustomFunctionSettingReset(source_, &enumerator);
    if (failed(r)) {
        logCode("Get Mirror Lock ErrorCode = ", r);
        return false;
    }
    const std::string& m = model_;
    const bool is20D = contains(m, "20D") || contains(m, "20Da");
    const bool is350D = contains(m, "350D") || contains(m, "REBEL XT") || contains(m, "XT") ||
                        contains(m, "Kiss Digital N") || contains(m, "RebelXT") ||
                        contains(m, "EOS Kiss N");
    const bool is10D = contains(m, "10D") || contains(m, "D60");
    const bool is300D = contains(m, "300D") || contains(m, "DIGITAL REBEL");
    bool on = false;
    for (;;) {
        RCCustomFunction f{};
        r = RCEnumCustomFunctionSettingNext(enumerator, &f);
        if (failed(r)) break;
        logCustomFunction(f);
        auto is = [&](std::uint32_t type, std::uint32_t kind) {
            return f.type == type && f.kind == kind && f.value == 1;
        };
        if (is20D) {
            logLine("Its a 20D");
            if (is(2, 12)) {
                logLine("Mirror Lock on 20D is True");
                on = true;
                break;
            }
        } else if (is350D) {
            logLine("Its a 350D");
            if (is(2, 7)) {
                logLine("Mirror Lock on 350D is True");
                on = true;
                break;
            }
        } else if (is10D) {
            logLine("Its a 10D or D60");
            if (is(1, 12)) {
                logLine("Mirror Lock on 10D is True");
                on = true;
                break;
            }
        } else if (is300D) {
            logLine("Its a 300D No mirror lock");
            break;
        }
    }
    r = walkResult(r, RCEnumCustomFunctionSettingRelease(enumerator));
    if (failed(r)) {
        logCode("Get Mirror Lock ErrorCode = ", r);
        return false;
    }
    return on;
}

}  // namespace zelmora::vosquin
