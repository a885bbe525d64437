#include "focus/FocusGraphs.h"

#include "focus/FocusFormat.h"
#include "focus/FocusHistory.h"

namespace zelmora::focus {

namespace {
const QString kInitialValue = QStringLiteral("0.000");
}

FocusGraphs::FocusGraphs()
    : picFWHM(kFwhmOuterW - 2 * kBorder, kFwhmOuterH - 2 * kBorder),
      PicRII(kRadialOuterW - 2 * kBorder, kRadialOuterH - 2 * kBorder),
      picPlot(kPlotOuterW - 2 * kBorder, kPlotOuterH - 2 * kBorder) {
    reset();
}

void FocusGraphs::reset() {
    picFWHM.Cls();
    PicRII.Cls();
    picPlot.Cls();
    lblFWHM.fill(kInitialValue);
    Label4 = kInitialValue;
}

bool FocusGraphs::GraphFWHM(const std::vector<std::uint8_t>& rowProfile,
                            const std::vector<std::uint8_t>& columnProfile, FocusHistory& history,
                            int column) {
    const std::vector<std::uint8_t>* profiles[2] = {&rowProfile, &columnProfile};
    int maxima[2] = {0, 0};
    double halves[2] = {0.0, 0.0};
    for (int p = 0; p < 2; ++p) {
        for (std::uint8_t v : *profiles[p])
            if (v > maxima[p]) maxima[p] = v;
        halves[p] = maxima[p] / 2.0;
    }
    if ((maxima[0] == 0 && maxima[1] == 0) || halves[0] < 2 || halves[1] < 2) return false;

    picFWHM.Cls();
    const QRgb colours[2] = {kRowColour, kColumnColour};
    const int scaleWidth = picFWHM.ScaleWidth();
    for (int p = 0; p < 2; ++p) {
        const QRgb c = colours[p];
        int previousIndex = 0;
        int previousValue = 0;
        const auto& profile = *profiles[p];
        for (std::size_t j = 0; j < profile.size(); ++j) {
            const int v = profile[j];
            picFWHM.Circle(double(j), 255.0 - v, c);
            picFWHM.Line(previousIndex, 255.0 - previousValue, double(j), 255.0 - v, c);
            previousIndex = static_cast<int>(j);
            previousValue = v;
        }
        // The half-maximum row, found before its line is drawn so that only the
        // curve counts. A single crossing gives width 0 (not measured).
        const double halfY = 255.0 - halves[p];
        const int scanRow = RasterCanvas::toPixel(halfY);
        int left = -1;
        int right = -1;
        for (int k = 0; k <= scaleWidth; ++k) {
            if (picFWHM.Point(k, scanRow) == c) {
                if (left < 0) left = k;
                right = k;
            }
        }
        if (left < 0) left = right = 0;
        picFWHM.Line(0, halfY, scaleWidth, halfY, c);
        const auto width = static_cast<float>(right - left);
        history.set(p, column, width);
        picFWHM.DashedLine(left, 0, left, picFWHM.ScaleHeight(), kMarkerColour);
        picFWHM.DashedLine(right, 0, right, picFWHM.ScaleHeight(), kMarkerColour);
        lblFWHM[static_cast<std::size_t>(p)] = groupedTwoDecimals(width);
    }
    const auto peak = static_cast<float>((maxima[0] + maxima[1]) / 2.0);
    history.set(FocusHistory::Peak, column, peak);
    lblFWHM[2] = floatText(peak);
    return true;
}

bool FocusGraphs::GraphRadiiV(const std::vector<float>& radialValues,
                              const std::vector<float>& radialDistances, FocusHistory& history,
                              int column) {
    float maxV = 0.0f;
    float maxD = 0.0f;
    for (float v : radialValues)
        if (v > maxV) maxV = v;
    for (float d : radialDistances)
        if (d > maxD) maxD = d;
    const float halfV = maxV / 2.0f;
    const float halfD = maxD / 2.0f;
    if ((maxV == 0.0f && maxD == 0.0f) || halfV < 2.0f || halfD < 2.0f) return false;

    PicRII.Cls();
    const double scaleWidth = PicRII.ScaleWidth();
    const double scaleHeight = PicRII.ScaleHeight();
    double rX = 0.0;
    double rY = 0.0;
    const std::size_t n = std::min(radialValues.size(), radialDistances.size());
    for (std::size_t j = 0; j < n; ++j) {
        const double y = radialValues[j] / maxV * scaleHeight;
        const double x = radialDistances[j] / maxD * scaleWidth;
        // The first sample past half the total light: the half-flux radius.
        if (radialValues[j] > halfV && rX == 0.0) {
            rX = x;
            rY = radialDistances[j];
        }
        PicRII.Circle(x, 196.0 - y, kRadialCurveColour);
    }
    PicRII.DashedLine(rX, 0, rX, scaleHeight, kMarkerColour);
    Label4 = groupedTwoDecimals(rY);
    history.set(FocusHistory::Radial, column, static_cast<float>(rY));
    return true;
}

void FocusGraphs::PlotT(const FocusHistory& history, int whichHist) {
    picPlot.Cls();
    const float maxH = history.maximum();
    const int last = history.lastIndex();
    if (maxH == 0.0f || last <= 0) return;
    const float scaleWidth = static_cast<float>(picPlot.ScaleWidth());
    const float scaleHeight = static_cast<float>(picPlot.ScaleHeight());
    const QRgb colours[FocusHistory::kRows] = {kRowColour, kColumnColour, kPeakColour,
                                               kRadialTrendColour, kRadialTrendColour};
    const auto u = static_cast<float>(last);
    for (int i = 0; i < FocusHistory::kRows; ++i) {
        double previousX = 0.0;
        double previousY = 0.0;
        for (int j = 0; j <= last; ++j) {
            const float y = history.at(i, j) / maxH * scaleHeight;
            const float x = static_cast<float>(j) / u * scaleWidth;
            picPlot.Circle(x, scaleHeight - y, colours[i]);
            picPlot.Line(previousX, scaleHeight - previousY, x, scaleHeight - y, colours[i]);
            previousX = RasterCanvas::toPixel(x);
            previousY = RasterCanvas::toPixel(y);
        }
    }
    // The cursor once, over every series: the column just analysed.
    const float m = static_cast<float>(whichHist + 1) / u * scaleWidth;
    picPlot.Line(m, scaleHeight, m, 0, kCursorColour);
}

}  // namespace zelmora::focus
