#include "shell/modWin32Ver.h"

#include <sys/utsname.h>

#include "shell/Globals.h"

namespace zelmora::modWin32Ver {

Classified classify(const std::optional<VersionRecord>& r) {
    if (r) {
        const int p = r->platformId, ma = r->major, mi = r->minor;
        if (p == 2 && ma == 5 && mi == 1) return {6, QStringLiteral("Windows XP::")};
        if (p == 2 && ma == 5 && mi == 0) return {5, QStringLiteral("Windows 2000::")};
        if (p == 2 && ma == 4) return {4, QStringLiteral("Windows NT4::")};
        if (p == 1 && ma == 4 && mi == 90) return {3, QStringLiteral("Windows ME::")};
        if (p == 1 && (ma > 4 || (ma == 4 && mi > 0))) return {2, QStringLiteral("Windows 98::")};
        if (p == 1 && ma == 4 && mi == 0) return {1, QStringLiteral("Windows 95::")};
    }
    return {0, QStringLiteral("Unknown OS::")};
}

std::optional<VersionRecord> queryVersion(QString* describe) {
    struct utsname u {};
    if (describe) {
        *describe = uname(&u) == 0 ? QString::fromLocal8Bit(u.sysname) + u' ' +
                                         QString::fromLocal8Bit(u.release)
                                   : QString();
    }
    return std::nullopt;
}

std::int16_t GetWindowsVersion() {
    QString describe;
    const auto record = queryVersion(&describe);
    const Classified c = classify(record);
    Globals::WriteLogLine(c.name + (record ? record->servicePack : describe));
    return c.code;
}

bool IsWindowsNT() {
    const auto code = GetWindowsVersion();
    return code == 4 || code == 5 || code == 6;
}

}  // namespace zelmora::modWin32Ver
