#pragma once

// The serial cable: one modem line (RTS or DTR, as "ShutterSignal" says) holds
// the shutter; both low let it go. Settings in section "Serialdata".
namespace zelmora::cables::SerialPort {

void LoadSerialSettings();
void SaveSerialSettings();
// Opens the port once (a second call while it is open does nothing and
// answers true); a failure shows the warning, except a port whose settings
// cannot be read, which is closed silently.
bool OpenComPort();
// Any failure shows the warning once and closes the port; the next press or
// release opens it again rather than using a closed one.
bool SerialPress();
// atOnce: nothing that lets events run. A port that is not open is left
// closed (closing it dropped its lines), and a failure is traced, not shown.
void SerialRelease(bool atOnce = false);
void CloseComPort();
void CloseComHandle();

}  // namespace zelmora::cables::SerialPort
