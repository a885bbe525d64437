#pragma once

#include <QImage>
#include <QWidget>
#include <array>

#include "display/HistogramModel.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace zelmora::display {

// The plot: a picture that keeps what was drawn on it.
class HistogramPlot : public QWidget {
public:
    explicit HistogramPlot(QWidget* parent = nullptr);
    QImage& canvas() { return canvas_; }
    const QImage& canvas() const { return canvas_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QImage canvas_;
};

// "Image Histogram": luminance or one colour channel of the picture the Frame
// Image window last read (ModHist::PictureBits), over a gradient bar.
class fHistogram : public QWidget {
    Q_OBJECT
public:
    static inline const QString kDesignCaption = QStringLiteral("Image Histogram");
    static constexpr int kPlotWidth = 258;
    static constexpr int kPlotHeight = 182;

    explicit fHistogram(QWidget* parent = nullptr);
    ~fHistogram() override;

    void doHGrade();
    void doRGBGrade(int channel);
    void doLumHistogram();
    void doRGBHistogram(int channel);
    void Combo1_Click();

    QComboBox* Combo1 = nullptr;
    HistogramPlot* picHistogram = nullptr;
    QLabel* labLuminance = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    std::array<QLabel*, 10> yLabels{};
    std::array<QLabel*, 18> xLabels{};
    QPushButton* cmdOK = nullptr;
    const HistogramModel& hist() const { return hist_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void drawHistogram(HistogramModel::View view, QColor colour);
    HistogramModel hist_;
    bool unloaded_ = false;
};

}  // namespace zelmora::display
