#include "camera/CValidValues.h"

namespace zelmora {

namespace {
// Exact match: same characters, same case, no trimming. The empty text is not
// a setting, so it is never valid.
bool contains(const QStringList& table, const QString& text) {
    return !text.isEmpty() && table.contains(text, Qt::CaseSensitive);
}
}  // namespace

CValidValues::CValidValues() = default;

const QStringList& CValidValues::isoTable() {
    static const QStringList t = {"6",    "8",    "10",   "12",   "16",   "20",   "25",   "32",
                                  "40",   "50",   "64",   "80",   "100",  "125",  "160",  "200",
                                  "250",  "320",  "400",  "500",  "640",  "800",  "1000", "1250",
                                  "1600", "2000", "2500", "3200", "4000", "5000", "6400"};
    return t;
}

const QStringList& CValidValues::qualitySizeTable() {
    static const QStringList t = {"Fine\\Large", "Normal\\Large", "Fine\\Medium", "Normal\\Medium",
                                  "Fine\\Small", "Normal\\Small", "Raw\\Large"};
    return t;
}

const QStringList& CValidValues::avTable() {
    static const QStringList t = {
        "1.0", "1.1", "1.2", "1.4", "1.6", "1.8", "2.0", "2.2", "2.5", "2.8", "3.2", "3.5", "4.0",
        "4.5", "5.0", "5.6", "6.3", "7.1", "8", "9", "10", "11", "13", "14", "16", "18", "20", "22",
        "25", "29", "32", "36", "40", "45", "51", "57", "64", "72", "81", "91",
        // half stops
        "1.2", "1.8", "2.5", "3.5", "4.5", "6.7", "9.5", "13", "19", "27", "38", "54", "76"};
    return t;
}

const QStringList& CValidValues::tvTable() {
    static const QStringList t = {
        "Bulb", "30''", "25''", "20''", "15''", "13''", "10''", "8''", "6''", "5''", "4''", "3''2",
        "2''5", "2", "1''6", "1''3", "1", "0''8", "0''6", "0''5", "0''4", "0''3", "1/4", "1/5",
        "1/6", "1/8", "1/10", "1/13", "1/15", "1/20", "1/25", "1/30", "1/40", "1/50", "1/60",
        "1/80", "1/100", "1/125", "1/160", "1/200", "1/250", "1/320", "1/400", "1/500", "1/640",
        "1/800", "1/1000", "1/1250", "1/1600", "1/2000", "1/2500", "1/3200", "1/4000", "1/5000",
        "1/6400", "1/8000", "1/10000", "1/12800", "1/16000",
        // half stops
        "20''", "10''", "6''", "4''", "3''", "2''", "1.5''", "0''7", "0''3", "1/6", "1/20", "1/45",
        "1/90", "1/180", "1/350", "1/750", "1/1500", "1/3000", "1/6000", "1/12000"};
    return t;
}

bool CValidValues::ValidQualitySize(const QString& s) const {
    return contains(qualitySizeTable(), s);
}
bool CValidValues::ValidISO(const QString& s) const {
    return contains(isoTable(), s);
}
bool CValidValues::ValidTV(const QString& s) const {
    return contains(tvTable(), s);
}
bool CValidValues::ValidAV(const QString& s) const {
    return contains(avTable(), s);
}

}  // namespace zelmora
