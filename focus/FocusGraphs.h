#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <vector>

#include "focus/RasterCanvas.h"

namespace zelmora::focus {

class FocusHistory;

// The three graphs of the analysis and the figures taken from them: the row
// and column profiles with the widths at half maximum measured on the drawing
// itself, the radial curve with its half-flux radius, and the trend of every
// figure over the history.
//
// The boxes' outer sizes are fixed; what can be drawn on is the outer size
// less a 2-pixel border on each side, and that inner size is the range the
// half-maximum scan covers.
class FocusGraphs {
public:
    static constexpr int kBorder = 2;
    static constexpr int kFwhmOuterW = 64, kFwhmOuterH = 274;
    static constexpr int kRadialOuterW = 208, kRadialOuterH = 184;
    static constexpr int kPlotOuterW = 391, kPlotOuterH = 64;

    static constexpr QRgb kRowColour = rgb(128, 0, 0);
    static constexpr QRgb kColumnColour = rgb(255, 0, 0);
    static constexpr QRgb kPeakColour = rgb(255, 192, 192);
    static constexpr QRgb kRadialTrendColour = rgb(255, 128, 128);
    static constexpr QRgb kRadialCurveColour = rgb(255, 0, 0);
    static constexpr QRgb kMarkerColour = rgb(128, 64, 64);
    static constexpr QRgb kCursorColour = rgb(255, 255, 255);

    FocusGraphs();

    RasterCanvas picFWHM;
    RasterCanvas PicRII;
    RasterCanvas picPlot;
    // HFWHM, VFWHM, peak; and the radial value.
    std::array<QString, 3> lblFWHM;
    QString Label4;

    // Draws both profiles and writes rows 0 (HFWHM), 1 (VFWHM) and 2 (peak) of
    // the column. False, with nothing drawn or written, when either profile's
    // half maximum is under 2.
    bool GraphFWHM(const std::vector<std::uint8_t>& rowProfile,
                   const std::vector<std::uint8_t>& columnProfile, FocusHistory& history,
                   int column);
    // Draws the radial curve and writes row 3 (the half-flux radius in
    // pixels). False, with nothing drawn or written, for a curve too faint.
    bool GraphRadiiV(const std::vector<float>& radialValues,
                     const std::vector<float>& radialDistances, FocusHistory& history, int column);
    // The trend of all five rows on one scale, with a cursor at the column just
    // analysed. Only reads the table.
    void PlotT(const FocusHistory& history, int whichHist);

    // Back to the window's start: clear boxes, "0.000" labels.
    void reset();
};

}  // namespace zelmora::focus
