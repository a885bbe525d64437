#include "display/frmHistogram.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include "shell/NightColours.h"
#include "shell/WindowRegistry.h"

namespace zelmora::display {

HistogramPlot::HistogramPlot(QWidget* parent) : QWidget(parent) {
    canvas_ = QImage(fHistogram::kPlotWidth, fHistogram::kPlotHeight, QImage::Format_RGB32);
    canvas_.fill(Qt::white);
    setFixedSize(canvas_.size());
}

void HistogramPlot::paintEvent(QPaintEvent*) {
    QPainter(this).drawImage(0, 0, NightColours::picture(canvas_));
}

fHistogram::fHistogram(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmHistogram"));
    setWindowTitle(kDesignCaption);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(360, 322);

    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.75);

    Label1 = new QLabel(QStringLiteral("Channel"), this);
    Label1->setGeometry(60, 8, 60, 22);
    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->addItems({QStringLiteral("Luminance"), QStringLiteral("Red"), QStringLiteral("Green"),
                      QStringLiteral("Blue")});
    Combo1->setGeometry(120, 6, 120, 24);
    Label2 = new QLabel(QStringLiteral("Number of Pixels"), this);
    Label2->setFont(small);
    Label2->setGeometry(4, 32, 120, 14);

    picHistogram = new HistogramPlot(this);
    picHistogram->setObjectName(QStringLiteral("picHistogram"));
    const int left = 60, top = 50;
    picHistogram->move(left, top);
    for (int j = 0; j < 10; ++j) {
        auto* l = new QLabel(QStringLiteral("0"), this);
        l->setObjectName(QStringLiteral("yLabels%1").arg(j));
        l->setFont(small);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        // 0 at the bottom, 9 at the top, evenly spaced.
        const int y = top + kPlotHeight - (j + 1) * kPlotHeight / 10;
        l->setGeometry(2, y - 7, left - 6, 14);
        yLabels[static_cast<std::size_t>(j)] = l;
    }
    // 15 values apart, three digits do not fit side by side: every other label
    // goes one line lower, so each has the room of two steps.
    const int labelHeight = QFontMetrics(small).height();
    for (int i = 0; i < 18; ++i) {
        auto* l = new QLabel(QString::number(i * 15), this);
        l->setObjectName(QStringLiteral("xLabels%1").arg(i));
        l->setFont(small);
        l->setAlignment(Qt::AlignCenter);
        l->setGeometry(left + i * 15 - 14, top + kPlotHeight + 2 + (i % 2) * labelHeight, 28,
                       labelHeight);
        xLabels[static_cast<std::size_t>(i)] = l;
    }
    labLuminance = new QLabel(QStringLiteral("Luminance"), this);
    labLuminance->setFont(small);
    labLuminance->setGeometry(left + 90, top + kPlotHeight + 4 + 2 * labelHeight, 80, labelHeight);
    cmdOK = new QPushButton(QStringLiteral("Done"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(140, height() - 34, 80, 26);

    connect(Combo1, &QComboBox::currentIndexChanged, this, [this] { Combo1_Click(); });
    connect(cmdOK, &QPushButton::clicked, this, [this] { close(); });
    windows().markLoaded(Win::frmHistogram, this);
    Combo1->setCurrentIndex(0);
    Combo1_Click();
}

fHistogram::~fHistogram() {
    if (!unloaded_ && windows().ifLoaded(Win::frmHistogram) == this)
        windows().markUnloaded(Win::frmHistogram);
}

void fHistogram::Combo1_Click() {
    const int i = Combo1->currentIndex();
    if (i == 0) {
        doHGrade();
        doLumHistogram();
    } else if (i >= 1 && i <= 3) {
        doRGBGrade(i - 1);
        doRGBHistogram(i - 1);
    }
}

void fHistogram::doHGrade() {
    QImage& c = picHistogram->canvas();
    c.fill(Qt::white);
    QPainter p(&c);
    for (int i = 0; i < 256; ++i) {
        p.setPen(QColor(i, i, i));
        p.drawLine(i, 0, i, kPlotHeight);
    }
    picHistogram->update();
}

void fHistogram::doRGBGrade(int channel) {
    QImage& c = picHistogram->canvas();
    c.fill(Qt::white);
    QPainter p(&c);
    for (int i = 0; i < 256; ++i) {
        p.setPen(QColor(channel == 0 ? i : 0, channel == 1 ? i : 0, channel == 2 ? i : 0));
        p.drawLine(i, 0, i, kPlotHeight);
    }
    picHistogram->update();
}

void fHistogram::doLumHistogram() {
    drawHistogram(HistogramModel::View::Luminance, QColor(255, 0, 0));
}

void fHistogram::doRGBHistogram(int channel) {
    static constexpr HistogramModel::View kViews[] = {
        HistogramModel::View::Red, HistogramModel::View::Green, HistogramModel::View::Blue};
    if (channel < 0 || channel > 2) return;
    drawHistogram(kViews[channel], QColor(255, 255, 255));
}

void fHistogram::drawHistogram(HistogramModel::View view, QColor colour) {
    hist_.count(ModHist::PictureBits(), view);
    const QStringList labels = hist_.countLabels();
    for (int j = 0; j < 10; ++j) yLabels[static_cast<std::size_t>(j)]->setText(labels[j]);
    QPainter p(&picHistogram->canvas());
    p.setPen(colour);
    const std::vector<QPoint> pts = hist_.curve(kPlotHeight);
    p.drawPolyline(pts.data(), static_cast<int>(pts.size()));
    picHistogram->update();
}

void fHistogram::closeEvent(QCloseEvent* event) {
    if (!unloaded_) {
        unloaded_ = true;
        windows().markUnloaded(Win::frmHistogram);
    }
    event->accept();
}

}  // namespace zelmora::display
