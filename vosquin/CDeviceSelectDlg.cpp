#include "vosquin/CDeviceSelectDlg.h"

#include <QStringList>
#include <cstring>
#include <vector>

#include "platform/os/Dialogs.h"
#include "vosquin/CameraTexts.h"
#include "vosquin/RcResult.h"

namespace zelmora::vosquin {

namespace {

void showError(RCResult code) {
    platform::Dialogs::msgBox(QString::fromStdString("ErrorCode = " + texts::hex8(code)));
}

}  // namespace

bool CDeviceSelectDlg::choose(RCDeviceRecord& chosen) {
    std::vector<RCDeviceRecord> records;
    RCHandle enumerator = 0;
    RCResult r = RCEnumDeviceReset(1, &enumerator);
    if (failed(r)) {
        showError(r);
        return false;
    }
    for (;;) {
        RCDeviceRecord rec{};
        r = RCEnumDeviceNext(enumerator, &rec);
        if (failed(r)) break;
        records.push_back(rec);
    }
    RCEnumDeviceRelease(enumerator);
    if (!enumerationEnded(r)) {
        showError(r);
        return false;
    }

    QStringList names;
    for (const RCDeviceRecord& rec : records)
        names << QString::fromUtf8(rec.name, qsizetype(strnlen(rec.name, sizeof rec.name)));
    if (records.empty()) {
        names << QStringLiteral("(None)");
        records.push_back(RCDeviceRecord{});  // an empty record: nothing chosen
    }
    const int index =
        platform::Dialogs::chooseItem(QStringLiteral("Communication setting"), {}, names, 0);
    if (index < 0 || index >= int(records.size())) return false;
    if (records[std::size_t(index)].type == 0) return false;
    chosen = records[std::size_t(index)];
    return true;
}

}  // namespace zelmora::vosquin
