#pragma once

#include <QImage>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "focus/FocusGraphs.h"
#include "focus/FocusHistory.h"
#include "image/aPoint.h"
#include "image/cDIBSection.h"

namespace zelmora::focus {

class hlog;

// The star analysis of the focus frames: the history of crops, the figures
// table, the graphs, the drift and the two logs. One for the whole program; it
// outlives the analysis window (which is a view of it), so an autofocus run
// that reads the figures keeps working while the window is closed and opened
// again for a new star.
class FocusAnalysis {
public:
    static constexpr std::int16_t kCentroidThreshold = 25;
    static constexpr int kWindow = 64;  // the measuring window, pixels
    static inline const QString kNoCentroidMessage =
        QStringLiteral("Centroid not found! Please choose a brighter star");
    // What a figure label shows when its frame has no such figure.
    static inline const QString kNoFigure = QStringLiteral("0.000");

    struct HistoryEntry {
        QImage picture;  // RGB888: a night of crops stays small
        QString timeOfDay;
    };

    enum class Outcome {
        NoStar,         // no star located yet: nothing measured
        NoCentroid,     // no star stands out of its sky: traced and noted, no box
        MeasureFailed,  // a measuring step failed: no figures, no log line
        Measured,
    };

    // Replaces the star measurement (tests make it fail).
    using StarProcessor = std::function<void(cDIBSection& picture, const aPoint& aoi, aPoint& dims,
                                             cDIBSection& star, std::int32_t channel)>;

    FocusAnalysis();
    ~FocusAnalysis();
    FocusAnalysis(const FocusAnalysis&) = delete;
    FocusAnalysis& operator=(const FocusAnalysis&) = delete;

    static FocusAnalysis& instance();

    // A new analysis window: empty history list and table, no star located,
    // drift counted from the first centroid again, graphs cleared. The logs
    // are left alone (the window starts and stops them).
    void startAfresh();
    // Everything back to the program's start, logs closed.
    void reset();

    // --- History list --------------------------------------------------------
    // Stores a copy of the crop; returns its index (1 = oldest).
    int addPicture(const QImage& picture, const QString& timeOfDay);
    int count() const { return static_cast<int>(entries_.size()); }
    // Changes whenever the history list starts afresh.
    int generation() const { return generation_; }
    // Index 1 ... count(); nullptr outside.
    const HistoryEntry* entry(int index) const;

    // --- The analysis --------------------------------------------------------
    // Finds the star on history picture 1 (always the crop taken when the star
    // was picked) and makes a blank reference picture of its size.
    void LocateBrightestPoint(int hist);
    // Analyses picture thishist (-1: the one in WhichHist) into column
    // thishist + 1. The table grows to count() + 1 columns first. Never lets
    // events run: a frame without a centroid is traced and noted (notice()),
    // and whoever asked decides whether a person is told in a box.
    Outcome Update(int thishist);
    // What came of the last Update; NoStar before the first.
    Outcome lastOutcome() const { return lastOutcome_; }
    // Why the last analysed frame got no centroid ("21:45:03 Centroid not
    // found! ..."); empty after any other outcome.
    const QString& notice() const { return notice_; }

    // The newest figures: rows of the table's last column. No value before the
    // first analysed frame of this star.
    std::optional<float> GetCurrentHFWHM() const { return table_.last(FocusHistory::HFWHM); }
    std::optional<float> GetCurrentVFWHM() const { return table_.last(FocusHistory::VFWHM); }
    std::optional<float> GetCurrentPeakValue() const { return table_.last(FocusHistory::Peak); }
    std::optional<float> GetCurrentRadialSum() const { return table_.last(FocusHistory::Radial); }

    const FocusHistory& History() const { return table_; }
    int WhichHist() const { return whichHist_; }
    const aPoint& oStarPoint() const { return starPoint_; }
    const aPoint& oCentroid() const { return centroid_; }
    const aPoint& oHistoryImageSize() const { return historyImageSize_; }

    // What the window shows.
    const QImage& picAnal() const { return picAnal_; }
    const QImage& PicCal() const { return picCal_; }
    const FocusGraphs& graphs() const { return graphs_; }
    // "X:dx Y:dy" of the last analysed frame; empty before it.
    const QString& driftText() const { return driftText_; }

    // --- Logs ----------------------------------------------------------------
    // Cuts analyze.log to its header and logs every analysed frame from now on.
    void StartTheFocusLog();
    void StopTheFocusLog();
    bool focusLogOn() const { return focusLog_ != nullptr; }
    void StartTrackingLog();
    void StopTrackingLog();
    bool trackingLogOn() const { return trackLog_ != nullptr; }

    static QString focusLogPath();
    static QString trackingLogPath();

    void setStarProcessor(StarProcessor processor);

private:
    void ShowStarDrift();
    Outcome measure(int column);
    // The figures, their two drawings and the processed star back to "none".
    void clearFigures();

    std::vector<HistoryEntry> entries_;
    int generation_ = 0;
    FocusHistory table_;
    int whichHist_ = 0;
    aPoint starPoint_;
    aPoint centroid_;
    aPoint historyImageSize_;
    cDIBSection historyDib_;
    cDIBSection starDib_;
    double lastCentroidX_ = 0.0;
    double lastCentroidY_ = 0.0;
    bool skyKnown_ = false;  // a frame of this star has been measured
    QImage picAnal_;
    QImage picCal_;
    FocusGraphs graphs_;
    QString driftText_;
    Outcome lastOutcome_ = Outcome::NoStar;
    QString notice_;
    std::unique_ptr<hlog> focusLog_;
    std::unique_ptr<hlog> trackLog_;
    StarProcessor processStar_;
};

}  // namespace zelmora::focus
