#pragma once

#include <QWidget>
#include <vector>

#include "focus/CgraphData.h"

class QCheckBox;
class QChart;
class QChartView;
class QLabel;
class QLineSeries;
class QPushButton;

namespace zelmora::focus {

// "Auto Focus Results": the run's table as a chart of HFWHM, VFWHM, peak and
// radial value per focuser position, the figures of a clicked point and of the
// voted best focus, each with a button that moves the focuser there.
class frmAutoFocusRslts : public QWidget {
    Q_OBJECT
public:
    static const QString kDesignCaption;

    explicit frmAutoFocusRslts(QWidget* parent = nullptr);
    ~frmAutoFocusRslts() override;

    CgraphData& oGraph() { return graph_; }
    void GraphData();
    void ShowBestFocus();
    // Empties the "Best Focus" frame: a new run has no vote yet.
    void clearBestFocus();
    void ShowDataPoint(int row);
    // Points count from 1; smaller numbers are ignored.
    void chtResults_PointSelected(int point);
    void cbMoveTo_Click();
    void cbMoveToBest_Click();

    QChart* chart() const;
    // The "3D Chart" look: each series drawn with a depth shadow.
    bool threeD() const;
    // Text for a figure: the float's shortest form.
    static QString figureText(double value);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void showNightColours();
    void buildControls();
    void FormatChart(const QStringList& titles);
    void applyMarkers();
    void applyMaxMin();
    // Whether a series has a legend entry: the first part of each plotted one.
    bool inLegend(const QLineSeries* s) const;
    void Form_Unload();

    CgraphData graph_;
    bool unloaded_ = false;
    QChartView* chtResults = nullptr;
    std::vector<QLineSeries*> series_;
    std::vector<QLineSeries*> statLines_;
    std::vector<QLineSeries*> shadows_;
    QCheckBox* chk3D = nullptr;
    QPushButton* cbGraph = nullptr;
    QCheckBox* chShowMaxMin = nullptr;
    QCheckBox* cbShowDataPoints = nullptr;
    QLabel* lblHFWHM = nullptr;
    QLabel* lblVFWHM = nullptr;
    QLabel* lblRadialSum = nullptr;
    QLabel* lblPeakvalue = nullptr;
    QLabel* lblPosition = nullptr;
    QPushButton* cbMoveTo = nullptr;
    QLabel* lblBestPos = nullptr;
    QLabel* lblBestHFWHM = nullptr;
    QLabel* lblBestVFWHM = nullptr;
    QLabel* lblBestRadialSum = nullptr;
    QLabel* lblBestPeak = nullptr;
    QPushButton* cbMoveToBest = nullptr;
};

}  // namespace zelmora::focus
