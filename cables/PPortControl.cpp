#include "cables/PPortControl.h"

#include "cables/CableSetup.h"
#include "cables/PPUtils.h"
#include "platform/ports/PortIo.h"
#include "shell/Conv.h"
#include "shell/Errors.h"
#include "shell/Globals.h"

namespace zelmora::cables::PPortControl {

namespace {

const QString kSection = QStringLiteral("lptdata");

std::uint8_t in(std::uint32_t addr) {
    return std::uint8_t(PPUtils::ReadDataPort(std::uint16_t(addr)));
}
void out(std::uint32_t addr, int v) {
    PPUtils::WriteDataPort(std::uint16_t(addr), v);
}

void refused(const QString& key, const QString& text) {
    Globals::WriteLogLine(QStringLiteral("Setting lptdata/") + key + QStringLiteral(" = ") + text +
                          QStringLiteral(" is out of range and was not used"));
}

// Reads a whole number within [lo, hi] (or 0 when allowed); a missing key
// gives the default text, or keeps `value` without one.
template <typename T>
void loadNumber(const QString& key, T& value, long long lo, long long hi, bool allowZero = false,
                const QString& defaultText = {}) {
    guarded([&] {
        const QString text = Settings::get(
            kSection, key, defaultText.isEmpty() ? QString::number(value) : defaultText);
        const long long n = Conv::parseInt32(text);
        if ((n >= lo && n <= hi) || (allowZero && n == 0))
            value = T(n);
        else
            refused(key, text);
    });
}

}  // namespace

void SetEcpMode(int mode) {
    CableSetup& c = cableSetup();
    PortSlot& slot = c.PortTable[std::size_t(c.IndexOfSelectedPort & 3)];
    slot.EcpMode = std::int16_t(mode);
    slot.EcpModeName = PPUtils::EcpModeName(mode);
    // No port selected: nothing is written (base 0 would put the register at 0x402).
    if (!validBaseAddress(c.BaseAddress)) return;
    c.EcrAddress = std::uint16_t(c.BaseAddress + 0x402u);
    c.EcrData = in(c.EcrAddress) & 0x1F;
    c.EcrData = std::uint16_t(mode * 32 + c.EcrData);
    out(c.EcrAddress, c.EcrData);
}

bool TestEcp(std::uint16_t base) {
    CableSetup& c = cableSetup();
    c.EcrAddress = std::uint16_t(base + 0x402u);
    c.EcrData = in(c.EcrAddress);
    const int ecr0 = PPUtils::BitValue(c.EcrData, 0);
    const int ecr1 = PPUtils::BitValue(c.EcrData, 1);
    int control1 = PPUtils::BitValue(PPUtils::ReadControlPort(base), 1);
    if (!(ecr0 == 1 && ecr1 == 0)) return false;
    if (control1 == 0) {
        PPUtils::WriteControlPort(base, 0x0F);
        control1 = PPUtils::BitValue(PPUtils::ReadControlPort(base), 1);
        if (control1 == 0) return false;
    }
    const std::uint16_t kept = c.EcrData;
    out(c.EcrAddress, 0x34);
    c.EcrData = in(c.EcrAddress);
    const bool ecp = c.EcrData == 0x35;
    out(c.EcrAddress, kept);
    return ecp;
}

bool TestEpp(std::uint16_t base) {
    for (int pattern : {0x55, 0xAA}) {
        out(base + 3u, pattern);
        PPUtils::ClearEppTimeout(base);
        const int v = in(base + 3u);
        PPUtils::ClearEppTimeout(base);
        if (v != pattern) return false;
    }
    return true;
}

bool TestSpp(std::uint16_t base) {
    PPUtils::WriteControlPort(base, 0x0F);
    out(base, 0x55);
    if (in(base) != 0x55) return false;
    out(base, 0xAA);
    return in(base) == 0xAA;
}

bool TestPs2(std::uint16_t base) {
    PPUtils::WriteControlPort(base, 0x2F);
    bool echoes = false;
    out(base, 0x55);
    if (in(base) == 0x55) {
        out(base, 0xAA);
        echoes = in(base) == 0xAA;
    }
    PPUtils::WriteControlPort(base, 0x0F);
    return !echoes;
}

bool DetectPortType(int index) {
    CableSetup& c = cableSetup();
    PortSlot& slot = c.PortTable[std::size_t(index & 3)];
    const std::uint16_t a = slot.Address;
    QString type;
    int mode = 0;
    if (validBaseAddress(a)) {
        // The tests leave patterns on the data lines; a cable there would see
        // its line held, so the register goes back as it was found.
        const int found = PPUtils::ReadDataPort(a);
        if (TestEcp(a)) {
            type = QStringLiteral("ECP");
            mode = PPUtils::ReadEcpMode(a);
        } else if (a != 0x3BC && TestEpp(a)) {
            type = QStringLiteral("EPP");
        } else if (TestSpp(a)) {
            type = TestPs2(a) ? QStringLiteral("PS/2") : QStringLiteral("SPP");
        }
        if (!type.isEmpty()) PPUtils::WriteDataPort(a, found);
    }
    if (!type.isEmpty()) {
        slot.Enabled = true;
        slot.Type = type;
        if (type == QLatin1String("ECP")) {
            slot.EcpMode = std::int16_t(mode);
            slot.EcpModeName = PPUtils::EcpModeName(mode);
        }
        ShowPortTable();
        return true;
    }
    slot.Type.clear();
    slot.Address = 0;
    slot.Enabled = false;
    ShowPortTable();
    return false;
}

void ShowPortTable() {
    CableSetup& c = cableSetup();
    for (PortSlot& slot : c.PortTable) {
        if (slot.Enabled && slot.Type == QLatin1String("ECP") && validBaseAddress(slot.Address)) {
            const int mode = PPUtils::ReadEcpMode(slot.Address);
            slot.EcpMode = std::int16_t(mode);
            slot.EcpModeName = PPUtils::EcpModeName(mode);
        }
    }
    c.notifyChanged();
}

void LoadPortSettings() {
    CableSetup& c = cableSetup();
    for (int i = 0; i < 4; ++i)
        loadNumber(QStringLiteral("Port%1Address").arg(i), c.PortTable[i].Address, kMinBaseAddress,
                   kMaxBaseAddress, true);
    for (int i = 0; i < 4; ++i)
        guarded([&] {
            c.PortTable[i].Type =
                Settings::get(kSection, QStringLiteral("Port%1Type").arg(i), QString());
        });
    for (int i = 0; i < 4; ++i)
        guarded([&] {
            const QString key = QStringLiteral("Port%1Enabled").arg(i);
            c.PortTable[i].Enabled = Conv::parseBool(
                Settings::get(kSection, key, Conv::boolText(c.PortTable[i].Enabled)));
        });
    loadNumber(QStringLiteral("IndexOfSelectedPort"), c.IndexOfSelectedPort, 0, 3);
    loadNumber(QStringLiteral("FullPressPina"), c.FullPressPin, 0, 7, false, QStringLiteral("0"));
    loadNumber(QStringLiteral("HalfPressPinb"), c.HalfPressPin, 0, 7, false, QStringLiteral("1"));
    c.notifyChanged();
}

void SavePortSettings() {
    CableSetup& c = cableSetup();
    for (int i = 0; i < 4; ++i)
        Settings::saveInt(kSection, QStringLiteral("Port%1Address").arg(i), c.PortTable[i].Address);
    for (int i = 0; i < 4; ++i)
        Settings::save(kSection, QStringLiteral("Port%1Type").arg(i), c.PortTable[i].Type);
    for (int i = 0; i < 4; ++i)
        Settings::save(kSection, QStringLiteral("Port%1Enabled").arg(i),
                       c.PortTable[i].Enabled ? QStringLiteral("-1") : QStringLiteral("0"));
    // The slot in use is the model's, whether or not the set-up window is open.
    Settings::saveInt(kSection, QStringLiteral("IndexOfSelectedPort"), c.IndexOfSelectedPort);
    Settings::saveInt(kSection, QStringLiteral("FullPressPina"), c.FullPressPin);
    Settings::saveInt(kSection, QStringLiteral("HalfPressPinb"), c.HalfPressPin);
}

}  // namespace zelmora::cables::PPortControl
