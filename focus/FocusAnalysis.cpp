#include "focus/FocusAnalysis.h"

#include <QLabel>

#include "focus/FocusFormat.h"
#include "focus/hlog.h"
#include "image/StarData.h"
#include "shell/AppPaths.h"
#include "shell/Conv.h"
#include "shell/Errors.h"
#include "shell/Globals.h"
#include "shell/MainWindow.h"
#include "shell/ProgramState.h"

namespace zelmora::focus {

namespace {
const QString kUpdateProc = QStringLiteral("frmAnalyze.Update");

QImage blackSquare(int size) {
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(Qt::black);
    return image;
}
}  // namespace

FocusAnalysis::FocusAnalysis() {
    reset();
}
FocusAnalysis::~FocusAnalysis() = default;

FocusAnalysis& FocusAnalysis::instance() {
    static FocusAnalysis* analysis = [] {
        auto* a = new FocusAnalysis;  // lives to the program's end, like its logs
        addResetHook([a] { a->reset(); });
        return a;
    }();
    return *analysis;
}

void FocusAnalysis::reset() {
    StopTheFocusLog();
    StopTrackingLog();
    startAfresh();
    processStar_ = nullptr;
}

void FocusAnalysis::startAfresh() {
    entries_.clear();
    entries_.shrink_to_fit();
    ++generation_;
    // A new star never inherits the old star's figures or position.
    table_.clear();
    whichHist_ = 0;
    starPoint_ = {};
    centroid_ = {};
    historyImageSize_ = {};
    historyDib_ = cDIBSection{};
    starDib_ = cDIBSection{};
    lastCentroidX_ = 0.0;
    lastCentroidY_ = 0.0;
    skyKnown_ = false;
    picAnal_ = blackSquare(kWindow);
    picCal_ = blackSquare(kWindow);
    graphs_.reset();
    driftText_.clear();
    lastOutcome_ = Outcome::NoStar;
    notice_.clear();
}

int FocusAnalysis::addPicture(const QImage& picture, const QString& timeOfDay) {
    entries_.push_back({picture.convertToFormat(QImage::Format_RGB888), timeOfDay});
    return count();
}

const FocusAnalysis::HistoryEntry* FocusAnalysis::entry(int index) const {
    if (index < 1 || index > count()) return nullptr;
    return &entries_[static_cast<std::size_t>(index - 1)];
}

void FocusAnalysis::setStarProcessor(StarProcessor processor) {
    processStar_ = std::move(processor);
}

void FocusAnalysis::LocateBrightestPoint(int hist) {
    if (hist != -1) whichHist_ = hist;
    const HistoryEntry* e = entry(whichHist_);
    if (!e) return;
    historyImageSize_ = {double(e->picture.width()), double(e->picture.height())};
    oReferenceDib.Create(Conv::toInt32(historyImageSize_.X), Conv::toInt32(historyImageSize_.Y));
    // Always the first picture: the crop taken when the star was picked.
    whichHist_ = 1;
    historyDib_.CreateFromPicture(entry(1)->picture);
    starPoint_ = historyDib_.maxpeak(0);
}

FocusAnalysis::Outcome FocusAnalysis::Update(int thishist) {
    table_.redim(count() + 1);
    if (starPoint_.X == 0.0 && starPoint_.Y == 0.0) return lastOutcome_ = Outcome::NoStar;
    if (thishist != -1) whichHist_ = thishist;
    lastOutcome_ = measure(whichHist_ + 1);
    if (lastOutcome_ != Outcome::NoCentroid) notice_.clear();
    return lastOutcome_;
}

void FocusAnalysis::clearFigures() {
    graphs_.picFWHM.Cls();
    graphs_.PicRII.Cls();
    graphs_.lblFWHM.fill(kNoFigure);
    graphs_.Label4 = kNoFigure;
    picCal_ = blackSquare(kWindow);
}

FocusAnalysis::Outcome FocusAnalysis::measure(int column) {
    // Whatever this frame does not measure shows as not measured, as its
    // column holds it: no earlier frame's figures, profiles or star stand
    // beside this frame's notice or its own figures.
    clearFigures();
    // A failing step ends this frame's analysis: the graphs and the logs must
    // never show an earlier frame's profiles as this frame's figures.
    aPoint c;
    bool located = trapAndTrace(kUpdateProc, [&] {
        const HistoryEntry* e = entry(whichHist_);
        if (!e)
            throw AppError(AppError::kSubscriptOutOfRange, kUpdateProc,
                           QStringLiteral("Subscript out of range"));
        historyDib_.CreateFromPicture(e->picture);
        const std::int32_t left = Conv::toInt32(Conv::roundHalfEven(starPoint_.X - kWindow / 2));
        const std::int32_t top = Conv::toInt32(Conv::roundHalfEven(starPoint_.Y - kWindow / 2));
        picAnal_ = blackSquare(kWindow);
        historyDib_.PaintPicture(picAnal_, 0, 0, kWindow, kWindow, left, top);
        c = historyDib_.Centroid(kCentroidThreshold, left, top, kWindow, kWindow);
        centroid_ = c;
    });
    if (!located) return Outcome::MeasureFailed;
    if (c.X == 0.0 && c.Y == 0.0) {
        // No box here: frames come unattended (continuous focusing, an
        // autofocus run), and a box would hold the run until someone answers.
        Globals::WriteLogLine(kNoCentroidMessage);
        const HistoryEntry* e = entry(whichHist_);
        notice_ = (e ? e->timeOfDay + u' ' : QString()) + kNoCentroidMessage;
        return Outcome::NoCentroid;
    }
    const bool measured = trapAndTrace(kUpdateProc, [&] {
        aPoint dims{32, 32};
        starDib_ = cDIBSection{};
        if (!starDib_.Create(kWindow, kWindow))
            throw AppError(AppError::kOutOfMemory, kUpdateProc, QStringLiteral("Out of memory"));
        const std::int32_t channel = state().lMeasureChannel;
        auto process = [&](aPoint& d) {
            if (processStar_)
                processStar_(historyDib_, c, d, starDib_, channel);
            else
                historyDib_.ProcessStar(c, d, starDib_, channel);
        };
        if (!skyKnown_) {
            // Each frame is measured above the sky level found around the star
            // in the frame before. The star's first frame has none before it:
            // its own sky is found first, so that it reads as every later one
            // (the second pass writes the same pixels again).
            aPoint d = dims;
            process(d);
        }
        process(dims);
    });
    if (!measured) return Outcome::MeasureFailed;
    skyKnown_ = true;

    starPoint_ = c;
    picCal_ = starDib_.toImage();
    trapAndTrace(QStringLiteral("frmAnalyze.GraphFWHM"),
                 [&] { graphs_.GraphFWHM(RowProfile, ColumnProfile, table_, column); });
    trapAndTrace(QStringLiteral("frmAnalyze.GraphRadiiV"),
                 [&] { graphs_.GraphRadiiV(RadialValues, RadialDistances, table_, column); });
    guarded([&] { graphs_.PlotT(table_, whichHist_); });
    if (focusLog_) focusLog_->Log(table_, centroid_);
    if (trackLog_) trackLog_->Log(table_, centroid_);
    ShowStarDrift();
    return Outcome::Measured;
}

void FocusAnalysis::ShowStarDrift() {
    const double dx = roundTo2(centroid_.X - lastCentroidX_);
    const double dy = roundTo2(centroid_.Y - lastCentroidY_);
    lastCentroidX_ = centroid_.X;
    lastCentroidY_ = centroid_.Y;
    driftText_ =
        QStringLiteral("X:") + Conv::numberText(dx) + QStringLiteral(" Y:") + Conv::numberText(dy);
    if (IMainWindow* main = mainWindow())
        if (QLabel* panel = main->statusPanel(6)) panel->setText(driftText_);
}

QString FocusAnalysis::focusLogPath() {
    return AppPaths::join(AppPaths::dataFiles(), QStringLiteral("analyze.log"));
}

QString FocusAnalysis::trackingLogPath() {
    return AppPaths::join(AppPaths::dataFiles(), QStringLiteral("Tracking.log"));
}

void FocusAnalysis::StartTheFocusLog() {
    StopTheFocusLog();
    focusLog_ = std::make_unique<hlog>();
    focusLog_->LogFile = focusLogPath();
    focusLog_->Kind = hlog::FocusLog;
    focusLog_->Log(table_, centroid_);
}

void FocusAnalysis::StopTheFocusLog() {
    if (focusLog_) focusLog_->StopLog();
    focusLog_.reset();
}

void FocusAnalysis::StartTrackingLog() {
    StopTrackingLog();
    trackLog_ = std::make_unique<hlog>();
    trackLog_->LogFile = trackingLogPath();
    trackLog_->Kind = hlog::TrackingLog;
    trackLog_->Log(table_, centroid_);
}

void FocusAnalysis::StopTrackingLog() {
    if (trackLog_) trackLog_->StopLog();
    trackLog_.reset();
}

}  // namespace zelmora::focus
