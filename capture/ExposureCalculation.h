#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

namespace zelmora::capture {

// The exposure suggested for an object's surface brightness, the sensor speed,
// the reciprocity exponent, the filter factor and the focal ratio.
struct ExposureCalculation {
    bool ok = false;
    QString message;     // why there is no result
    double seconds = 0;  // the corrected exposure, 4 decimals
    std::int16_t boxMinutes = 0;
    double boxSeconds = 0;  // what goes into the capture window's boxes
    QString label;          // "x Secs " or "m Min s Secs"

    // From the five combo box texts.
    static ExposureCalculation calculate(const QString& brightness, const QString& filmSpeed,
                                         const QString& recipFail, const QString& filterFactor,
                                         const QString& fRatio);
    // The number at the start of a list entry (the text before the first
    // blank; a bare number is taken whole); 0 when nothing numeric.
    static double getParameter(const QString& entry);

    static const QStringList& brightnessList();
    static const QStringList& filmSpeedList();
    static const QStringList& recipFailList();
    static const QStringList& filterFactorList();
    static const QStringList& fRatioList();
};

}  // namespace zelmora::capture
