#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

namespace zelmora::focus {

// One row of an autofocus run: the focuser position it was taken at, as the
// label "(position)", and the averages of its measured frames. A row whose
// frames all failed to measure keeps its label but is left out of the vote.
struct IterationRow {
    QString label;
    float HFWHM = 0;
    float VFWHM = 0;
    float peakValue = 0;
    float RadialSum = 0;
    bool valid = true;
};
using IterationTable = std::vector<IterationRow>;

// "(1500)" for 1500.
QString positionLabel(std::int32_t position);
// The label without its brackets, as a 32-bit integer; nullopt when it is none.
std::optional<std::int32_t> labelPosition(const QString& label);

// The best-focus vote over a run's table: the HFWHM position when it agrees
// with the radial position (the greatest radial value) and the VFWHM position
// differs; the VFWHM position otherwise. Strict comparisons keep the earliest of
// equal rows; rows left out of the vote, and figures of 99999 or more, never
// win. nullopt when no row can vote.
std::optional<std::int32_t> bestFocusPosition(const IterationTable& table);

// One row handed out by the results chart.
struct ADataPoint {
    std::int32_t FocusPosition = 0;
    double HFWHM = 0;
    double VFWHM = 0;
    std::int16_t peakValue = 0;
    double RadialSum = 0;
};

// The results chart's copy of a run's table.
class CgraphData {
public:
    static const QStringList kColumnTitles;

    ADataPoint GetDataPointdata(int iDataPoint) const;
    // The first row whose label without brackets is exactly sPos.
    std::optional<ADataPoint> GetDatafromPos(const QString& sPos) const;
    void SetGraphData(const IterationTable& aData) { table_ = aData; }
    IterationTable GetGraphData(QStringList& ColNames) const {
        ColNames = kColumnTitles;
        return table_;
    }
    int rows() const { return static_cast<int>(table_.size()); }

private:
    static ADataPoint toPoint(const IterationRow& row);
    IterationTable table_;
};

}  // namespace zelmora::focus
