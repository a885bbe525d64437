#include "camera/CameraSettingLists.h"

#include <utility>

#include "camera/clsCamera.h"
#include "platform/os/Dialogs.h"
#include "shell/Globals.h"
#include "shell/ProgramState.h"
#include "vosquin/CameraTexts.h"

namespace zelmora {

namespace {

struct Entry {
    std::int32_t code;
    const char* text;
};

template <std::size_t N>
const char* find(const Entry (&table)[N], std::int32_t code) {
    for (const auto& e : table)
        if (e.code == code) return e.text;
    return nullptr;
}

constexpr Entry kMode[] = {
    {0, "Auto"},
    {1, "Program"},
    {2, "Tv"},
    {3, "Av"},
    {4, "Manual"},
    {101, "Manual"},
    {5, "A_DEP"},
    {6, "M_DEP"},
    {7, "Bulb"},
    {102, "Far Scene"},
    {103, "Fast Shutter"},
    {104, "Slow Shutter"},
    {105, "Night Scene"},
    {106, "Gray Scale"},
    {107, "Sepia"},
    {108, "Portrait"},
    {-1, "(Invalid)"},
};  // the modes from 109 on are named by the control's one table of mode names

constexpr Entry kAv[] = {
    {0, "No Lens"},   {8, "1.0"},  {11, "1.1"}, {12, "1.2"}, {13, "1.2"},      {16, "1.4"},
    {19, "1.6"},      {20, "1.8"}, {21, "1.8"}, {24, "2.0"}, {27, "2.2"},      {28, "2.5"},
    {29, "2.5"},      {32, "2.8"}, {35, "3.2"}, {36, "3.5"}, {37, "3.5(1/3)"}, {40, "4.0"},
    {43, "4.5(1/3)"}, {44, "4.5"}, {45, "5.0"}, {48, "5.6"}, {51, "6.3"},      {52, "6.7"},
    {53, "7.1"},      {56, "8"},   {59, "9"},   {60, "9.5"}, {61, "10"},       {64, "11"},
    {67, "13(1/3)"},  {68, "13"},  {69, "14"},  {72, "16"},  {75, "18"},       {76, "19"},
    {77, "20"},       {80, "22"},  {83, "25"},  {84, "27"},  {85, "29"},       {88, "32"},
    {91, "36"},       {92, "38"},  {93, "40"},  {96, "45"},  {99, "51"},       {100, "54"},
    {101, "57"},      {104, "64"}, {107, "72"}, {108, "76"}, {109, "81"},      {112, "91"},
};

// Tried in this order on cameras that cannot list their apertures.
constexpr Entry kProbe[] = {
    {8, "1"},    {11, "1.1"}, {13, "1.2"}, {16, "1.4"}, {19, "1.6"}, {21, "1.8"}, {24, "2"},
    {27, "2.2"}, {29, "2.5"}, {32, "2.8"}, {35, "3.2"}, {37, "3.5"}, {40, "4"},   {43, "4.5"},
    {45, "5"},   {48, "5.6"}, {51, "6.3"}, {52, "6.7"}, {53, "7.1"}, {56, "8"},   {59, "9"},
    {60, "9.5"}, {61, "10"},  {64, "11"},  {67, "13"},  {69, "14"},  {72, "16"},  {75, "18"},
    {76, "19"},  {77, "20"},  {80, "22"},  {83, "25"},  {84, "27"},  {85, "29"},  {88, "32"},
    {91, "36"},  {92, "38"},  {93, "40"},  {96, "45"},  {99, "51"},  {100, "54"}, {101, "57"},
    {104, "64"}, {107, "72"}, {108, "76"}, {109, "81"}, {112, "91"},
};

constexpr Entry kTv[] = {
    {-1, "No Lense"},  {4, "Bulb"},      {16, "30\""},     {19, "25\""},      {20, "20\""},
    {21, "20\"(1/3)"}, {24, "15\""},     {27, "13\""},     {28, "10\""},      {29, "10\"(1/3)"},
    {32, "8\""},       {35, "6\"(1/3)"}, {36, "6\""},      {37, "5\""},       {40, "4\""},
    {43, "3\"2"},      {44, "3\""},      {45, "2\"5"},     {48, "2"},         {51, "1\"6"},
    {52, "1.5\""},     {53, "1\"3"},     {56, "1"},        {59, "0\"8"},      {60, "0\"7"},
    {61, "0\"6"},      {64, "0\"5"},     {67, "0\"4"},     {68, "0\"3"},      {69, "0\"3(1/3)"},
    {72, "1/4"},       {75, "1/5"},      {76, "1/6"},      {77, "1/6(1/3)"},  {80, "1/8"},
    {83, "1/10(1/3)"}, {85, "1/13"},     {88, "1/15"},     {91, "1/20(1/3)"}, {92, "1/20"},
    {93, "1/25"},      {96, "1/30"},     {99, "1/40"},     {100, "1/45"},     {101, "1/50"},
    {104, "1/60"},     {107, "1/80"},    {108, "1/90"},    {109, "1/100"},    {112, "1/125"},
    {115, "1/160"},    {116, "1/180"},   {117, "1/200"},   {120, "1/250"},    {123, "1/320"},
    {124, "1/350"},    {125, "1/400"},   {128, "1/500"},   {131, "1/640"},    {132, "1/750"},
    {133, "1/800"},    {136, "1/1000"},  {139, "1/1250"},  {140, "1/1500"},   {141, "1/1600"},
    {144, "1/2000"},   {147, "1/2500"},  {148, "1/3000"},  {149, "1/3200"},   {152, "1/4000"},
    {155, "1/5000"},   {156, "1/6000"},  {157, "1/6400"},  {160, "1/8000"},   {163, "1/10000"},
    {164, "1/12000"},  {165, "1/12800"}, {168, "1/16000"},
};

constexpr Entry kHalfStop[] = {
    {4, "Bulb"},     {16, "30"},      {20, "20"},      {24, "15"},       {28, "10"},
    {32, "8"},       {36, "6"},       {40, "4\""},     {44, "3"},        {48, "2"},
    {52, "1.5"},     {56, "1"},       {60, "0.7"},     {64, "0.5"},      {68, "0.3"},
    {72, "1/4"},     {76, "1/6"},     {80, "1/8"},     {84, "1/10"},     {88, "1/15"},
    {92, "1/20"},    {96, "1/30"},    {100, "1/45"},   {104, "1/60"},    {108, "1/90"},
    {112, "1/125"},  {116, "1/180"},  {120, "1/250"},  {124, "1/350"},   {128, "1/500"},
    {132, "1/750"},  {136, "1/1000"}, {140, "1/1500"}, {144, "1/2000"},  {148, "1/3000"},
    {152, "1/4000"}, {156, "1/6000"}, {160, "1/8000"}, {164, "1/12000"}, {168, "1/16000"},
};

constexpr Entry kThirdStop[] = {
    {4, "Bulb"},     {16, "30"},       {19, "25"},       {21, "20"},       {24, "15"},
    {27, "13"},      {29, "10"},       {32, "8"},        {35, "6"},        {37, "5"},
    {40, "4\""},     {43, "3.2"},      {45, "2.5"},      {48, "2"},        {51, "1.6"},
    {53, "1.3"},     {56, "1"},        {59, "0.8"},      {61, "0.6"},      {64, "0.5"},
    {67, "0.4"},     {69, "0.3"},      {72, "1/4"},      {75, "1/5"},      {77, "1/6"},
    {80, "1/8"},     {83, "1/10"},     {85, "1/13"},     {88, "1/15"},     {91, "1/20"},
    {93, "1/25"},    {96, "1/30"},     {99, "1/40"},     {101, "1/50"},    {104, "1/60"},
    {107, "1/80"},   {109, "1/100"},   {112, "1/125"},   {115, "1/160"},   {117, "1/200"},
    {120, "1/250"},  {123, "1/320"},   {125, "1/400"},   {128, "1/500"},   {131, "1/640"},
    {133, "1/800"},  {136, "1/1000"},  {139, "1/1250"},  {141, "1/1600"},  {144, "1/2000"},
    {147, "1/2500"}, {149, "1/3200"},  {152, "1/4000"},  {155, "1/5000"},  {157, "1/6400"},
    {160, "1/8000"}, {163, "1/10000"}, {165, "1/12800"}, {168, "1/16000"},
};

constexpr Entry kSize[] = {
    {-1, "UNKNOWN"}, {0, "LARGE"},   {1, "MEDIUM"},  {2, "SMALL"},
    {5, "MEDIUM1"},  {6, "MEDIUM2"}, {7, "MEDIUM3"},
};

constexpr Entry kQuality[] = {
    {-1, "UNKNOWN"}, {1, "ECONOMY"}, {2, "NORMAL"}, {3, "FINE"}, {4, "RAW"}, {5, "SUPERFINE"},
};

QString orError(const char* text) {
    return text ? QString::fromLatin1(text) : QStringLiteral("(Error)");
}

// Codes arrive as 16-bit values; -1 is the library's "no value".
std::int32_t signed16(std::uint16_t v) {
    return static_cast<std::int16_t>(v);
}

void errorBox(const QString& text) {
    platform::Dialogs::msgBox(text, platform::Msg::OKOnly | platform::Msg::Critical,
                              QStringLiteral("Error"));
}

QString errorId(RCResult code) {
    return CameraSettingLists::hex(RC_ERROR_ID(code));
}

}  // namespace

CameraSettingLists::CameraSettingLists(clsCamera& camera, Host& host)
    : camera_(camera), host_(host) {}

QString CameraSettingLists::hex(std::uint32_t code) {
    return QString::number(code, 16).toUpper();
}

QString CameraSettingLists::modeText(std::int32_t code) {
    if (const char* own = find(kMode, code)) return QString::fromLatin1(own);
    const char* name = code > 108 && code <= 0xFFFF
                           ? vosquin::texts::findModeName(static_cast<std::uint16_t>(code))
                           : nullptr;
    return orError(name);
}
QString CameraSettingLists::avText(std::int32_t code) {
    return orError(find(kAv, code));
}
QString CameraSettingLists::tvText(std::int32_t code) {
    return orError(find(kTv, code));
}
QString CameraSettingLists::isoText(std::int32_t code) {
    return orError(vosquin::texts::findIsoText(code));
}

QString CameraSettingLists::sizeText(std::int32_t code) {
    if (const char* t = find(kSize, code)) return QString::fromLatin1(t);
    return QStringLiteral("(Error:%1)").arg(code);
}

QString CameraSettingLists::qualityText(std::int32_t code) {
    if (const char* t = find(kQuality, code)) return QString::fromLatin1(t);
    return QStringLiteral("(Error:%1)").arg(code);
}

QString CameraSettingLists::batteryText(std::uint32_t property15) {
    switch (property15 & 0xF) {
        case 2:
            return QStringLiteral("Empty");
        case 3:
            return QStringLiteral("Low");
        case 4:
            return QStringLiteral("Weak");
        case 6:
            return QStringLiteral("Good");
        default:
            return {};
    }
}

void CameraSettingLists::addSelecting(SettingList& list, const QString& text, std::int32_t current,
                                      std::int32_t code) {
    list.add(text, code);
    if (code == current) list.select(static_cast<int>(list.items.size()) - 1);
}

void CameraSettingLists::AddTvEntry(const QString& text, std::int32_t current, std::int32_t code) {
    addSelecting(camera_.lists().lbTv, text, current, code);
}

void CameraSettingLists::AddIsoEntry(const QString& text, std::int32_t current, std::int32_t code) {
    addSelecting(camera_.lists().lbISO, text, current, code);
}

void CameraSettingLists::RefreshModeList() {
    SettingList& list = camera_.lists().lbMode;
    list.clear();
    list.enabled = false;
    std::uint16_t mode = 0;
    if (RCResult r = RCGetShootingMode(host_.source(), &mode)) {
        errorBox(QStringLiteral("ErrorCode = 0x") + hex(r));
        return;
    }
    const QString text = modeText(signed16(mode));
    list.add(text, signed16(mode));
    list.select(0);
    camera_.setShootingMode(text);
}

void CameraSettingLists::avFailure(RCResult code) {
    const QString base =
        RC_ERROR_ID(code) == RC_ERR_NOT_SUPPORTED
            ? QStringLiteral(
                  "Unable to retrieve valid Av settings from your camera. "
                  "This feature is not supported on your model. ErrorCode = 0x")
            : QStringLiteral(
                  "Unable to retrieve valid Av settings from your camera. ErrorCode = 0x");
    errorBox(base + hex(code));
    Globals::WriteLogLine(base + errorId(code));
}

void CameraSettingLists::RefreshAvList() {
    const QString mode = camera_.ShootingMode();
    if (mode != QLatin1String("Av") && mode != QLatin1String("Manual")) return;
    if (state().bD60) {
        ProbeAvValues();
        return;
    }
    SettingList& list = camera_.lists().lbAv;
    list.clear();
    std::uint16_t current = 0;
    if (RCResult r = RCGetAvValue(host_.source(), &current)) {
        Globals::WriteLogLine(
            QStringLiteral("Error getting current Av settings from your camera. ErrorCode = 0x") +
            errorId(r));
        avFailure(r);
        return;
    }
    Globals::WriteLogLine(QStringLiteral("Current Av value: &h") + hex(current));
    if (current == 0 || current == 0xFFFF) return;  // no lens
    RCHandle en = 0;
    if (RCResult r = RCEnumAvValueReset(host_.source(), &en)) {
        Globals::WriteLogLine(QStringLiteral("RCEnumAvValueReset Error. ErrorCode = 0x") +
                              errorId(r));
        avFailure(r);
        return;
    }
    std::uint16_t code = 0;
    while (RCEnumAvValueNext(en, &code) == RC_OK) addSelecting(list, avText(code), current, code);
    if (RCResult r = RCEnumAvValueRelease(en)) {
        avFailure(r);
        return;
    }
    list.enabled = true;
}

void CameraSettingLists::ProbeAvValues() {
    const RCHandle src = host_.source();
    RCLockUI(src);
    std::uint16_t saved = 0;
    const RCResult read = RCGetAvValue(src, &saved);
    SettingList& list = camera_.lists().lbAv;
    list.clear();
    if (read != RC_OK) {
        // Nothing could be put back: leave the camera's aperture alone.
        Globals::WriteLogLine(
            QStringLiteral("Error getting current Av settings from your camera. ErrorCode = 0x") +
            errorId(read));
    } else {
        for (const Entry& e : kProbe) {
            if (RCSetAvValue(src, static_cast<std::uint16_t>(e.code)) == RC_OK)
                list.add(QString::fromLatin1(e.text), e.code);
        }
        if (saved != 0xFFFF) {
            for (std::size_t i = 0; i < list.items.size(); ++i) {
                if (list.items[i].item == saved) {
                    list.select(static_cast<int>(i));
                    break;
                }
            }
            RCSetAvValue(src, saved);
            list.enabled = true;
        }
    }
    RCUnlockUI(src);
    if (restorePointer_) restorePointer_();
}

void CameraSettingLists::tvFailure(RCResult code) {
    const QString base =
        RC_ERROR_ID(code) == RC_ERR_NOT_SUPPORTED
            ? QStringLiteral(
                  "Unable to retrieve valid Tv settings from your camera. "
                  "This feature is not supported on your model. ErrorCode = 0x")
            : QStringLiteral(
                  "Unable to retrieve valid Tv settings from your camera. ErrorCode = 0x");
    errorBox(base + hex(code));
}

void CameraSettingLists::RefreshTvList() {
    const QString mode = camera_.ShootingMode();
    if (mode != QLatin1String("Tv") && mode != QLatin1String("Manual")) return;
    if (state().bD60) {
        LoadFixedTvList();
        return;
    }
    SettingList& list = camera_.lists().lbTv;
    list.clear();
    std::uint16_t current = 0;
    if (RCResult r = RCGetTvValue(host_.source(), &current)) {
        tvFailure(r);
        return;
    }
    RCHandle en = 0;
    if (RCResult r = RCEnumTvValueReset(host_.source(), &en)) {
        tvFailure(r);
        return;
    }
    std::uint16_t code = 0;
    while (RCEnumTvValueNext(en, &code) == RC_OK) {
        const QString text = tvText(signed16(code));
        list.add(text, signed16(code));
        Globals::WriteLogLine(QStringLiteral("Adding Tv: ") + text);
        if (code == current) list.select(static_cast<int>(list.items.size()) - 1);
    }
    if (mode.contains(QLatin1String("Manual")) && (state().b20D || state().b350D))
        list.add(QStringLiteral("Bulb"), RC_TV_BULB);
    if (RCResult r = RCEnumTvValueRelease(en)) {
        tvFailure(r);
        return;
    }
    list.enabled = true;
}

void CameraSettingLists::LoadFixedTvList() {
    std::uint16_t current = 0;
    if (RCResult r = RCGetTvValue(host_.source(), &current)) {
        errorBox(QStringLiteral(
                     "Unable to retrieve valid Tv settings from your camera. ErrorCode = 0x") +
                 hex(r));
        return;
    }
    camera_.lists().lbTv.clear();
    host_.DetectExposureSteps();
    if (host_.HalfStop()) {
        Globals::WriteLogLine(QStringLiteral("Loading 1/2 stop values"));
        for (const Entry& e : kHalfStop) AddTvEntry(QString::fromLatin1(e.text), current, e.code);
    } else {
        Globals::WriteLogLine(QStringLiteral("Loading 1/3 stop values"));
        for (const Entry& e : kThirdStop) AddTvEntry(QString::fromLatin1(e.text), current, e.code);
    }
    camera_.lists().lbTv.enabled = true;
}

void CameraSettingLists::isoFailure(RCResult code) {
    errorBox(
        QStringLiteral("Unable to retrieve valid ISO values from your Camera. ErrorCode = 0x") +
        hex(code));
}

void CameraSettingLists::RefreshIsoList() {
    const QString mode = camera_.ShootingMode();
    if (mode != QLatin1String("Tv") && mode != QLatin1String("Manual")) return;
    if (state().bD60) {
        LoadFixedIsoList();
        return;
    }
    const RCHandle src = host_.source();
    SettingList& list = camera_.lists().lbISO;
    list.clear();
    RCHandle settings = 0;
    if (RCResult r = RCEnumRelCamSettingReset(src, &settings)) {
        isoFailure(r);
        return;
    }
    std::uint32_t id = 0;
    bool found = false;
    while (RCEnumRelCamSettingNext(settings, &id) == RC_OK) {
        if (id == RC_SETTING_ISO) {
            found = true;
            break;
        }
    }
    if (found) {
        std::int32_t current = 0;
        std::uint32_t size = 4;
        if (RCResult r = RCGetRelCamSettingData(src, RC_SETTING_ISO, &size, &current)) {
            RCEnumRelCamSettingRelease(settings);
            isoFailure(r);
            return;
        }
        RCHandle values = 0;
        std::uint32_t valueSize = 0;
        if (RCResult r = RCEnumRelCamSettingDataReset(src, RC_SETTING_ISO, &values, &valueSize)) {
            RCEnumRelCamSettingRelease(settings);
            isoFailure(r);
            return;
        }
        if (valueSize <= 4) {
            // Read into the whole 32-bit value, so each code compares as the
            // current value read above does (-1 for the invalid code).
            std::int32_t code = 0;
            while (RCEnumRelCamSettingDataNext(values, sizeof code, &code) == RC_OK) {
                addSelecting(list, isoText(code), current, code);
                code = 0;
            }
            list.enabled = true;
        }
        if (RCResult r = RCEnumRelCamSettingDataRelease(values)) {
            RCEnumRelCamSettingRelease(settings);
            isoFailure(r);
            return;
        }
    }
    if (RCResult r = RCEnumRelCamSettingRelease(settings)) {
        isoFailure(r);
        return;
    }
    emit camera_.ISOChanged();
}

void CameraSettingLists::LoadFixedIsoList() {
    std::int32_t current = 0;
    std::uint32_t size = 4;
    if (RCResult r = RCGetRelCamSettingData(host_.source(), RC_SETTING_ISO, &size, &current)) {
        errorBox(
            QStringLiteral("Unable to retrieve valid ISO values from your Camera. ErrorCode = 0x") +
            hex(r));
        return;
    }
    const bool enabled = camera_.lists().lbISO.enabled;
    camera_.lists().lbISO.clear();
    static constexpr Entry kFixed[] = {
        {72, "100"}, {80, "200"}, {88, "400"}, {96, "800"}, {99, "1000"}};
    for (const Entry& e : kFixed) AddIsoEntry(QString::fromLatin1(e.text), current, e.code);
    camera_.lists().lbISO.enabled = enabled;
}

void CameraSettingLists::qualityFailure(RCResult code) {
    errorBox(QStringLiteral("ErrorCode = 0x") + hex(code));
}

void CameraSettingLists::RefreshQualitySizeList() {
    const RCHandle src = host_.source();
    SettingList& list = camera_.lists().lbQualitySize;
    list.clear();
    std::uint16_t curQuality = 0, curSize = 0;
    if (RCResult r = RCGetImageFormatAttribute(src, &curQuality, &curSize)) {
        Globals::WriteLogLine(QStringLiteral("SetQualityBox. Current setting for default value. "
                                             "RCGetImageFormatAttribute Error. ErrorCode = 0x") +
                              errorId(r));
        qualityFailure(r);
        return;
    }
    RCHandle en = 0;
    if (RCResult r = RCEnumImageFormatAttributeReset(src, &en)) {
        Globals::WriteLogLine(
            QStringLiteral("SetQualityBox. Get all shooting modes. "
                           "RCEnumImageFormatAttributeReset Error. ErrorCode = 0x") +
            errorId(r));
        qualityFailure(r);
        return;
    }
    std::uint16_t q = 0, s = 0;
    while (RCEnumImageFormatAttributeNext(en, &q, &s) == RC_OK) {
        const std::int32_t size = signed16(s), quality = signed16(q);
        const QString text = sizeText(size) + QLatin1Char('/') + qualityText(quality);
        // An unknown code has no digits to make an item value from: skip it like an error.
        if (text.contains(QLatin1String("Error")) || size < 0 || quality < 0) continue;
        list.add(text, QString(QString::number(size) + QString::number(quality)).toInt());
        Globals::WriteLogLine(QStringLiteral("SetQualityBox. Adding value: ") + text);
        if (q == curQuality && s == curSize) {
            const int index = static_cast<int>(list.items.size()) - 1;
            Globals::WriteLogLine(QStringLiteral("SetQualityBox. Setting LB to current value : ") +
                                  QString::number(index));
            list.select(index);
        }
    }
    if (RCResult r = RCEnumImageFormatAttributeRelease(en)) {
        Globals::WriteLogLine(
            QStringLiteral("SetQualityBox. Get all shooting modes. "
                           "RCEnumImageFormatAttributeRelease Error. ErrorCode = 0x") +
            errorId(r));
        qualityFailure(r);
        return;
    }
    list.enabled = true;
}

QString CameraSettingLists::GetBatteryLevel() {
    std::uint32_t value = 0;
    std::uint32_t size = 4;
    RCGetDevicePropertyData(host_.source(), RC_PROP_BATTERY, &size, &value, 0);
    return batteryText(value);
}

}  // namespace zelmora
