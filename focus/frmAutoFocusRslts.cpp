#include "focus/frmAutoFocusRslts.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPushButton>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <charconv>
#include <cmath>

#include "focus/frmAutofocus.h"
#include "platform/core/AppError.h"
#include "shell/Conv.h"
#include "shell/Errors.h"
#include "shell/Globals.h"
#include "shell/NightColours.h"
#include "shell/WindowRegistry.h"

namespace zelmora::focus {

const QString frmAutoFocusRslts::kDesignCaption = QStringLiteral("Auto Focus Results");

namespace {

template <typename T>
T* named(T* w, const char* name) {
    w->setObjectName(QLatin1String(name));
    return w;
}

const QColor kColours[4] = {QColor(0, 200, 200), QColor(0, 0, 255), QColor(255, 0, 0),
                            QColor(0, 255, 0)};

double column(const IterationRow& r, int c) {
    switch (c) {
        case 1:
            return r.HFWHM;
        case 2:
            return r.VFWHM;
        case 3:
            return r.peakValue;
        default:
            return r.RadialSum;
    }
}

frmAutofocus* autofocusWindow() {
    return windows().ifLoadedAs<frmAutofocus>(Win::frmAutofocus);
}

}  // namespace

QString frmAutoFocusRslts::figureText(double value) {
    // A float average shows as the float it is ("3.1"), not its widened digits.
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, static_cast<float>(value));
    return QString::fromLatin1(buf, int(r.ptr - buf));
}

frmAutoFocusRslts::frmAutoFocusRslts(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmAutoFocusRslts"));
    setWindowTitle(kDesignCaption);
    setProperty("designCaption", kDesignCaption);
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();
    guarded([&] { Globals::RestoreFormPosition(this, kDesignCaption); });
    windows().markLoaded(Win::frmAutoFocusRslts, this);
    resize(chtResults->sizeHint().width() + Conv::twipsToPixels(200) + 260,
           Conv::twipsToPixels(8500));
    cbMoveTo->setEnabled(false);
}

frmAutoFocusRslts::~frmAutoFocusRslts() {
    Form_Unload();
}

void frmAutoFocusRslts::buildControls() {
    auto* top = new QHBoxLayout(this);
    chtResults = named(new QChartView(this), "chtResults");
    chtResults->setMinimumSize(520, 420);
    chtResults->setRenderHint(QPainter::Antialiasing);
    top->addWidget(chtResults, 1);
    auto* side = new QVBoxLayout;
    top->addLayout(side);

    auto* opts = named(new QGroupBox(QStringLiteral("Chart Options"), this), "FrameOptions");
    auto* ol = new QVBoxLayout(opts);
    chk3D = named(new QCheckBox(QStringLiteral("3D Chart"), opts), "chk3D");
    cbGraph = named(new QPushButton(QStringLiteral("Graph Data"), opts), "cbGraph");
    chShowMaxMin =
        named(new QCheckBox(QStringLiteral("Show Max/Min markers"), opts), "chShowMaxMin");
    cbShowDataPoints =
        named(new QCheckBox(QStringLiteral("Show Data Points"), opts), "cbShowDataPoints");
    cbShowDataPoints->setChecked(true);
    for (QWidget* w :
         std::initializer_list<QWidget*>{chk3D, cbGraph, chShowMaxMin, cbShowDataPoints})
        ol->addWidget(w);
    side->addWidget(opts);

    auto labelRow = [](QGridLayout* g, int row, const QString& caption, QLabel*& value,
                       const char* name, QWidget* parent) {
        g->addWidget(new QLabel(caption, parent), row, 0);
        value = named(new QLabel(parent), name);
        value->setMinimumWidth(110);
        g->addWidget(value, row, 1);
    };
    auto* dp = named(new QGroupBox(QStringLiteral("Data Point"), this), "FrameDataPoint");
    auto* dg = new QGridLayout(dp);
    labelRow(dg, 0, QStringLiteral("HFWHM:"), lblHFWHM, "lblHFWHM", dp);
    labelRow(dg, 1, QStringLiteral("VFWHM:"), lblVFWHM, "lblVFWHM", dp);
    labelRow(dg, 2, QStringLiteral("Radial Sum:"), lblRadialSum, "lblRadialSum", dp);
    labelRow(dg, 3, QStringLiteral("Peak:"), lblPeakvalue, "lblPeakvalue", dp);
    auto* fp = named(new QGroupBox(QStringLiteral("Focuser Position"), dp), "FramePosition");
    auto* fg = new QGridLayout(fp);
    labelRow(fg, 0, QStringLiteral("Position:"), lblPosition, "lblPosition", fp);
    cbMoveTo = named(new QPushButton(QStringLiteral(":Move to"), fp), "cbMoveTo");
    fg->addWidget(cbMoveTo, 1, 0, 1, 2);
    dg->addWidget(fp, 4, 0, 1, 2);
    side->addWidget(dp);

    auto* bf = named(new QGroupBox(QStringLiteral("Best Focus"), this), "FrameBestFocus");
    auto* bg = new QGridLayout(bf);
    labelRow(bg, 0, QStringLiteral("Position:"), lblBestPos, "lblBestPos", bf);
    labelRow(bg, 1, QStringLiteral("HFWHM:"), lblBestHFWHM, "lblBestHFWHM", bf);
    labelRow(bg, 2, QStringLiteral("VFWHM:"), lblBestVFWHM, "lblBestVFWHM", bf);
    labelRow(bg, 3, QStringLiteral("Radial Sum:"), lblBestRadialSum, "lblBestRadialSum", bf);
    labelRow(bg, 4, QStringLiteral("Peak:"), lblBestPeak, "lblBestPeak", bf);
    cbMoveToBest = named(new QPushButton(QStringLiteral(":Move to"), bf), "cbMoveToBest");
    cbMoveToBest->setEnabled(false);
    bg->addWidget(cbMoveToBest, 5, 0, 1, 2);
    side->addWidget(bf);
    side->addStretch();

    connect(cbGraph, &QPushButton::clicked, this, [this] { GraphData(); });
    connect(chk3D, &QCheckBox::clicked, this, [this] { GraphData(); });
    connect(cbShowDataPoints, &QCheckBox::clicked, this, [this] { applyMarkers(); });
    connect(chShowMaxMin, &QCheckBox::clicked, this, [this] { applyMaxMin(); });
    connect(cbMoveTo, &QPushButton::clicked, this, [this] { cbMoveTo_Click(); });
    connect(cbMoveToBest, &QPushButton::clicked, this, [this] { cbMoveToBest_Click(); });
    GraphData();
}

QChart* frmAutoFocusRslts::chart() const {
    return chtResults->chart();
}

bool frmAutoFocusRslts::threeD() const {
    return chk3D->isChecked();
}

void frmAutoFocusRslts::GraphData() {
    QStringList titles;
    const IterationTable table = graph_.GetGraphData(titles);
    auto* chart = new QChart;
    series_.clear();
    statLines_.clear();
    shadows_.clear();
    const int n = static_cast<int>(table.size());
    auto* xAxis = new QCategoryAxis;
    xAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    // Ten position labels side by side would be cut short.
    xAxis->setLabelsAngle(-60);
    xAxis->setTruncateLabels(false);
    for (int i = 0; i < n; ++i) xAxis->append(table[std::size_t(i)].label, i);
    xAxis->setRange(0, std::max(1, n - 1));
    auto* yAxis = new QValueAxis;
    auto* peakAxis = new QValueAxis;
    chart->addAxis(xAxis, Qt::AlignBottom);
    chart->addAxis(yAxis, Qt::AlignLeft);
    chart->addAxis(peakAxis, Qt::AlignRight);

    // Only positions with a measured frame are plotted: a position without
    // one has no figures (its zeros are no measurement), so its lines break.
    // Each axis covers the figures it carries.
    double lo = 0, hi = 1, peakLo = 255;
    bool any = false;
    for (const IterationRow& r : table) {
        if (!r.valid) continue;
        for (int c : {1, 2, 4}) {
            const double v = column(r, c);
            lo = any ? std::min(lo, v) : v;
            hi = any ? std::max(hi, v) : v;
            any = true;
        }
        peakLo = std::min(peakLo, double(r.peakValue));
    }
    const bool depth = chk3D->isChecked();
    auto attach = [&](QLineSeries* s, int c) {
        chart->addSeries(s);
        s->attachAxis(xAxis);
        s->attachAxis(c == 3 ? peakAxis : yAxis);
    };
    for (int c = 1; c <= 4; ++c) {
        QPen pen(kColours[c - 1]);
        pen.setWidth(1);
        // One series per unbroken run of measured positions; the first carries
        // the legend entry.
        std::vector<QLineSeries*> parts;
        auto startPart = [&] {
            auto* s = new QLineSeries;
            s->setPen(pen);
            parts.push_back(s);
        };
        double smin = 0, smax = 0;
        bool seen = false;
        bool open = false;
        for (int i = 0; i < n; ++i) {
            const IterationRow& r = table[std::size_t(i)];
            if (!r.valid) {
                open = false;
                continue;
            }
            if (!open) {
                startPart();
                open = true;
            }
            const double v = column(r, c);
            parts.back()->append(i, v);
            smin = seen ? std::min(smin, v) : v;
            smax = seen ? std::max(smax, v) : v;
            seen = true;
        }
        if (parts.empty()) startPart();
        parts.front()->setName(titles.value(c));
        if (depth) {
            // The 3D look: a pale copy set back and up, behind the series.
            const double dy = (c == 3 ? 200.0 : std::max(hi - lo, 1.0)) * 0.03;
            for (QLineSeries* part : parts) {
                auto* shadow = new QLineSeries;
                QPen sp(kColours[c - 1].lighter(160));
                sp.setWidth(3);
                shadow->setPen(sp);
                for (const QPointF& p : part->points()) shadow->append(p.x() + 0.15, p.y() + dy);
                attach(shadow, c);
                shadows_.push_back(shadow);
            }
        }
        for (QLineSeries* s : parts) {
            attach(s, c);
            series_.push_back(s);
            connect(s, &QLineSeries::clicked, this, [this](const QPointF& p) {
                chtResults_PointSelected(static_cast<int>(std::lround(p.x())) + 1);
            });
        }
        if (!seen) continue;
        for (double level : {smin, smax}) {
            auto* stat = new QLineSeries;
            QPen sp(kColours[c - 1]);
            sp.setWidth(4);
            stat->setPen(sp);
            stat->append(0, level);
            stat->append(std::max(1, n - 1), level);
            attach(stat, c);
            statLines_.push_back(stat);
        }
    }
    if (any) {
        const double pad = std::max((hi - lo) * 0.1, 0.5);
        yAxis->setRange(std::max(0.0, lo - pad), hi + pad);
    }
    // 55 to 255 in ten divisions, reaching lower when a fainter peak needs it.
    peakAxis->setRange(std::clamp(std::floor((peakLo - 5) / 5) * 5, 0.0, 55.0), 255);
    peakAxis->setTickCount(11);
    peakAxis->setGridLineColor(QColor(100, 100, 100));
    peakAxis->setLinePenColor(QColor(100, 100, 100));
    // The view lets go of its previous chart without deleting it.
    QChart* old = chtResults->chart();
    chtResults->setChart(chart);
    delete old;
    FormatChart(titles);
}

void frmAutoFocusRslts::FormatChart(const QStringList& titles) {
    QChart* c = chart();
    QFont titleFont = c->titleFont();
    titleFont.setPointSize(14);
    c->setTitleFont(titleFont);
    c->setTitle(QStringLiteral("Autofocus Results"));
    const QFont axisFont(QStringLiteral("Arial"), 14);
    const auto axes = c->axes();
    for (QAbstractAxis* a : axes) a->setTitleFont(axisFont);
    c->axes(Qt::Horizontal).value(0)->setTitleText(titles.value(0));
    const auto vertical = c->axes(Qt::Vertical);
    for (QAbstractAxis* a : vertical)
        a->setTitleText(a->alignment() == Qt::AlignRight ? titles.value(3) : titles.value(1));
    c->legend()->setVisible(true);
    for (QLegendMarker* m : c->legend()->markers())
        m->setVisible(inLegend(qobject_cast<QLineSeries*>(m->series())));
    applyMarkers();
    applyMaxMin();
    showNightColours();
}

// At night the chart takes the palette's background and text and shows its
// lines in red; by day it is drawn afresh in its own colours.
void frmAutoFocusRslts::showNightColours() {
    if (!NightColours::on()) return;
    QChart* c = chart();
    const QColor text = palette().color(QPalette::Text);
    c->setBackgroundBrush(palette().color(QPalette::Base));
    c->setTitleBrush(text);
    c->legend()->setLabelColor(text);
    const auto axes = c->axes();
    for (QAbstractAxis* a : axes) {
        a->setLabelsColor(text);
        a->setTitleBrush(text);
        a->setLinePenColor(NightColours::mark(a->linePenColor()));
        a->setGridLineColor(NightColours::mark(a->gridLineColor()));
        a->setMinorGridLineColor(NightColours::mark(a->minorGridLineColor()));
    }
    const auto all = c->series();
    for (QAbstractSeries* s : all)
        if (auto* line = qobject_cast<QLineSeries*>(s)) {
            QPen pen = line->pen();
            pen.setColor(NightColours::mark(pen.color()));
            line->setPen(pen);
        }
}

void frmAutoFocusRslts::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && chtResults) GraphData();
}

void frmAutoFocusRslts::applyMarkers() {
    for (QLineSeries* s : series_) s->setPointsVisible(cbShowDataPoints->isChecked());
}

void frmAutoFocusRslts::applyMaxMin() {
    for (QLineSeries* s : statLines_) s->setVisible(chShowMaxMin->isChecked());
    for (QLegendMarker* m : chart()->legend()->markers())
        if (!inLegend(qobject_cast<QLineSeries*>(m->series()))) m->setVisible(false);
}

bool frmAutoFocusRslts::inLegend(const QLineSeries* s) const {
    return s && !s->name().isEmpty() &&
           std::find(series_.begin(), series_.end(), s) != series_.end();
}

void frmAutoFocusRslts::chtResults_PointSelected(int point) {
    if (point < 1 || point > graph_.rows()) return;
    ShowDataPoint(point - 1);
}

void frmAutoFocusRslts::ShowDataPoint(int row) {
    const ADataPoint d = graph_.GetDataPointdata(row);
    lblHFWHM->setText(figureText(d.HFWHM));
    lblVFWHM->setText(figureText(d.VFWHM));
    lblPosition->setText(QString::number(d.FocusPosition));
    lblRadialSum->setText(Conv::numberText(std::round(d.RadialSum * 100.0) / 100.0));
    lblPeakvalue->setText(QString::number(d.peakValue));
    cbMoveTo->setEnabled(!lblPosition->text().isEmpty());
}

void frmAutoFocusRslts::ShowBestFocus() {
    frmAutofocus* af = autofocusWindow();
    if (!af) return;
    const std::optional<ADataPoint> d =
        graph_.GetDatafromPos(QString::number(af->GetBestFocusPosition()));
    if (!d) return;
    lblBestHFWHM->setText(figureText(d->HFWHM));
    lblBestVFWHM->setText(figureText(d->VFWHM));
    lblBestPos->setText(QString::number(d->FocusPosition));
    lblBestRadialSum->setText(Conv::numberText(std::round(d->RadialSum * 100.0) / 100.0));
    lblBestPeak->setText(QString::number(d->peakValue));
    cbMoveToBest->setEnabled(!lblBestPos->text().isEmpty());
}

void frmAutoFocusRslts::clearBestFocus() {
    for (QLabel* l : {lblBestPos, lblBestHFWHM, lblBestVFWHM, lblBestRadialSum, lblBestPeak})
        l->clear();
    cbMoveToBest->setEnabled(false);
}

void frmAutoFocusRslts::cbMoveTo_Click() {
    if (frmAutofocus* af = autofocusWindow())
        guarded([&] { af->MoveFocuserToPos(Conv::parseInt32(lblPosition->text())); });
}

void frmAutoFocusRslts::cbMoveToBest_Click() {
    if (frmAutofocus* af = autofocusWindow())
        guarded([&] { af->MoveFocuserToPos(Conv::parseInt32(lblBestPos->text())); });
}

void frmAutoFocusRslts::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    if (windows().ifLoaded(Win::frmAutoFocusRslts) == this)
        windows().markUnloaded(Win::frmAutoFocusRslts);
    guarded([&] { Globals::SaveFormPosition(this, kDesignCaption); });
}

void frmAutoFocusRslts::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

}  // namespace zelmora::focus
