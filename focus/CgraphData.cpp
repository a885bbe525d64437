#include "focus/CgraphData.h"

#include "platform/core/AppError.h"
#include "shell/Conv.h"

namespace zelmora::focus {

const QStringList CgraphData::kColumnTitles = {
    QStringLiteral("Focuser Position"), QStringLiteral("HFWHM"), QStringLiteral("VFWHM"),
    QStringLiteral("PeakValue"), QStringLiteral("RadialSum")};

namespace {
QString bare(const QString& label) {
    QString s = label;
    s.remove(u'(');
    s.remove(u')');
    return s;
}
constexpr double kNoFigure = 99999;
}  // namespace

QString positionLabel(std::int32_t position) {
    return u'(' + QString::number(position) + u')';
}

std::optional<std::int32_t> labelPosition(const QString& label) {
    try {
        return Conv::parseInt32(bare(label));
    } catch (const AppError&) {
        return std::nullopt;
    }
}

std::optional<std::int32_t> bestFocusPosition(const IterationTable& table) {
    double leastH = kNoFigure, leastV = kNoFigure;
    double greatestRadial = 0;
    std::optional<std::int32_t> posH, posV, posR;
    for (const IterationRow& row : table) {
        if (!row.valid) continue;
        const std::optional<std::int32_t> pos = labelPosition(row.label);
        if (!pos) continue;
        if (double(row.HFWHM) < leastH) {
            leastH = row.HFWHM;
            posH = pos;
        }
        if (double(row.VFWHM) < leastV) {
            leastV = row.VFWHM;
            posV = pos;
        }
        // The radial value is taken before the sky is subtracted, so the sky
        // in the measuring window dominates it: it is greatest for the
        // sharpest star.
        if (double(row.RadialSum) > greatestRadial) {
            greatestRadial = row.RadialSum;
            posR = pos;
        }
    }
    if (posH && posR && *posH == *posR && posV != posH) return posH;
    if (posV) return posV;
    return posH;
}

ADataPoint CgraphData::toPoint(const IterationRow& row) {
    ADataPoint d;
    d.HFWHM = row.HFWHM;
    d.VFWHM = row.VFWHM;
    try {
        d.peakValue = Conv::toInt16(row.peakValue);
    } catch (const AppError&) {
        d.peakValue = 0;
    }
    d.RadialSum = row.RadialSum;
    d.FocusPosition = labelPosition(row.label).value_or(0);
    return d;
}

ADataPoint CgraphData::GetDataPointdata(int iDataPoint) const {
    if (iDataPoint < 0 || iDataPoint >= rows())
        throw AppError(AppError::kSubscriptOutOfRange, QStringLiteral("CgraphData"),
                       QStringLiteral("Subscript out of range"));
    return toPoint(table_[std::size_t(iDataPoint)]);
}

std::optional<ADataPoint> CgraphData::GetDatafromPos(const QString& sPos) const {
    for (const IterationRow& row : table_)
        if (bare(row.label) == sPos) return toPoint(row);
    return std::nullopt;
}

}  // namespace zelmora::focus
