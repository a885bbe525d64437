#include "focus/frmAnalyze.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>

#include "focus/CanvasWidget.h"
#include "focus/FocusAnalysis.h"
#include "focus/HistoryListModel.h"
#include "platform/os/Dialogs.h"
#include "platform/time/Clock.h"
#include "shell/Conv.h"
#include "shell/Errors.h"
#include "shell/Globals.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"

namespace zelmora::focus {

namespace {

const QString kLogFocus = QStringLiteral("Log Focus");
const QString kStopLog = QStringLiteral("Stop Log");
const QString kLogTracking = QStringLiteral("Log Tracking Data");
const QString kStopTracking = QStringLiteral("Stop Tracking Data Log");

template <typename T>
T* named(T* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QLabel* pictureBox(QWidget* parent, const char* name, int x, int y, int w, int h) {
    auto* box = named(new QLabel(parent), name);
    box->setGeometry(x, y, w, h);
    box->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    box->setStyleSheet(QStringLiteral("background-color: black;"));
    return box;
}

QLabel* textLabel(QWidget* parent, const char* name, const QString& text, int x, int y, int w) {
    auto* label = named(new QLabel(text, parent), name);
    label->setGeometry(x, y, w, 18);
    return label;
}

}  // namespace

frmAnalyze::frmAnalyze(QWidget* parent) : QWidget(parent), model_(FocusAnalysis::instance()) {
    setObjectName(QStringLiteral("frmAnalyze"));
    setWindowTitle(kDesignCaption);
    setProperty("designCaption", kDesignCaption);
    setAttribute(Qt::WA_DeleteOnClose);
    setMouseTracking(true);  // a move over the free area clears the Autofocus button's flag
    buildControls();
    Form_Load();
}

frmAnalyze::~frmAnalyze() {
    // Deleted without being closed (program end): unload all the same.
    Form_Unload();
}

void frmAnalyze::buildControls() {
    SourcePic = pictureBox(this, "SourcePic", 8, 8, 100, 100);
    picAnal = pictureBox(this, "picAnal", 116, 26, 64, 64);
    PicCal = pictureBox(this, "PicCal", 188, 26, 64, 64);

    const char* nameLabels[4] = {"Label1", "Label3", "Label2", "Label8"};
    const QString names[4] = {QStringLiteral("HFMHM"), QStringLiteral("VFWHM"),
                              QStringLiteral("Peak"), QStringLiteral("RSV")};
    const char* valueLabels[3] = {"lblFWHM0", "lblFWHM1", "lblFWHM2"};
    for (int i = 0; i < 4; ++i) {
        textLabel(this, nameLabels[i], names[i], 262, 10 + 22 * i, 50);
        QLabel* value = i < 3 ? named(new QLabel(FocusAnalysis::kNoFigure, this), valueLabels[i])
                              : named(new QLabel(FocusAnalysis::kNoFigure, this), "Label4");
        value->setGeometry(314, 10 + 22 * i, 88, 18);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        if (i < 3)
            lblFWHM[static_cast<std::size_t>(i)] = value;
        else
            Label4 = value;
    }

    // Why the newest frame got no figures: frames come unattended, so this
    // line, not a box, says so.
    lblNotice = named(new QLabel(this), "lblNotice");
    lblNotice->setGeometry(116, 96, 286, 30);
    lblNotice->setWordWrap(true);
    lblNotice->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    textLabel(this, "Label5", QStringLiteral("FWHM"), 8, 128, 64);
    textLabel(this, "Label6", QStringLiteral("Radial Sum Value"), 80, 128, 208);
    picFWHM =
        named(new CanvasWidget(model_.graphs().picFWHM, FocusGraphs::kBorder, this), "picFWHM");
    picFWHM->move(8, 148);
    PicRII = named(new CanvasWidget(model_.graphs().PicRII, FocusGraphs::kBorder, this), "PicRII");
    PicRII->move(80, 148);

    Frame1 = named(new QGroupBox(QStringLiteral("History"), this), "Frame1");
    Frame1->setGeometry(296, 122, 106, 300);
    ListView1 = named(new QListView(Frame1), "ListView1");
    ListView1->setGeometry(6, 20, 94, 274);
    ListView1->setViewMode(QListView::IconMode);
    ListView1->setIconSize(QSize(HistoryListModel::kIconSize, HistoryListModel::kIconSize));
    ListView1->setUniformItemSizes(true);  // no icon is made just to lay the list out
    ListView1->setResizeMode(QListView::Adjust);
    ListView1->setMovement(QListView::Static);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    historyModel_ = new HistoryListModel(model_, this);
    ListView1->setModel(historyModel_);
    connect(ListView1, &QListView::clicked, this,
            [this](const QModelIndex& index) { ListView1_ItemClick(index.row() + 1); });

    cmdLog = named(new QPushButton(kLogFocus, this), "cmdLog");
    cmdLog->setGeometry(80, 340, 208, 24);
    cbLogTrack = named(new QPushButton(kLogTracking, this), "cbLogTrack");
    cbLogTrack->setGeometry(80, 368, 208, 24);
    cbAutofocus = named(new QPushButton(QStringLiteral("Autofocus"), this), "cbAutofocus");
    cbAutofocus->setGeometry(80, 396, 208, 24);
    cbAutofocus->installEventFilter(this);
    cbAutofocus->setMouseTracking(true);
    connect(cmdLog, &QPushButton::clicked, this, [this] { cmdLog_Click(); });
    connect(cbLogTrack, &QPushButton::clicked, this, [this] { cbLogTrack_Click(); });
    connect(cbAutofocus, &QPushButton::clicked, this, [this] { cbAutofocus_Click(); });

    textLabel(this, "Label7", QStringLiteral("Vs. Time"), 8, 428, 120);
    picPlot =
        named(new CanvasWidget(model_.graphs().picPlot, FocusGraphs::kBorder, this), "picPlot");
    picPlot->move(8, 448);

    setFixedSize(410, 520);
}

void frmAnalyze::Form_Load() {
    windows().markLoaded(Win::frmAnalyze, this);
    // A new window is a new star: no figures, crops or drift from the last one.
    model_.startAfresh();
    historyModel_->sync();
    refresh();
    cmdLog_Click();  // the button shows "Log Focus": starts the focus log
}

void frmAnalyze::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    guarded([&] { model_.StopTheFocusLog(); });
    guarded([&] { model_.StopTrackingLog(); });
    setHoverFlag(false);
    state().bNewStar = false;
    if (windows().ifLoaded(Win::frmAnalyze) == this) windows().markUnloaded(Win::frmAnalyze);
}

void frmAnalyze::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

void frmAnalyze::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!placed_) {
        placed_ = true;
        frameOf(this)->move(0, 0);  // every load starts at the top-left corner
    }
}

void frmAnalyze::hideEvent(QHideEvent* event) {
    setHoverFlag(false);
    QWidget::hideEvent(event);
}

void frmAnalyze::mouseMoveEvent(QMouseEvent* event) {
    setHoverFlag(false);
    QWidget::mouseMoveEvent(event);
}

bool frmAnalyze::eventFilter(QObject* watched, QEvent* event) {
    if (watched == cbAutofocus) {
        switch (event->type()) {
            case QEvent::Enter:
            case QEvent::MouseMove:
            case QEvent::MouseButtonPress:
                setHoverFlag(true);
                break;
            case QEvent::Leave:
            case QEvent::MouseButtonRelease:
                // Cleared on leaving too: the flag pauses other windows' timers.
                setHoverFlag(false);
                break;
            default:
                break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmAnalyze::setHoverFlag(bool on) {
    if (on) {
        if (!state().bMsgBoxShowing) {
            state().bMsgBoxShowing = true;
            hoverSetFlag_ = true;
        }
    } else if (hoverSetFlag_) {
        hoverSetFlag_ = false;
        state().bMsgBoxShowing = false;
    }
}

void frmAnalyze::updateHistory() {
    addToHistory(false);
}

void frmAnalyze::updateHistoryOnStarClick() {
    addToHistory(true);
}

void frmAnalyze::addToHistory(bool byHand) {
    trapAndTrace(QStringLiteral("frmAnalyze.updateHistory"), [&] {
        Globals::WriteLogLine(QStringLiteral("Updating History"));
        QWidget* frame = frameOf(this);
        // Behind the focus frame only: at the bottom of all, the camera window
        // would come back over the figures with every frame.
        stackBehind(this, windows().ifLoaded(Win::frmImageDisp));

        auto* display = windows().ifLoadedAs<IImageDispWindow>(Win::frmImageDisp);
        if (!display) display = dynamic_cast<IImageDispWindow*>(windows().load(Win::frmImageDisp));
        IFocusFrameViewer* viewer = display ? display->ImageDisp() : nullptr;
        const QImage picture = viewer ? viewer->GetImage() : QImage();
        if (picture.isNull())
            throw AppError(AppError::kObjectVariableNotSet,
                           QStringLiteral("frmAnalyze.updateHistory"),
                           QStringLiteral("No focus crop from the image window"));

        const QString time = platform::clock().now().time().toString(QStringLiteral("HH:mm:ss"));
        const int n = model_.addPicture(picture, time);
        historyModel_->sync();
        ListView1->setCurrentIndex(historyModel_->index(n - 1));
        showSource(n);
        frame->show();
        show();
        FocusAnalysis::Outcome outcome = FocusAnalysis::Outcome::NoStar;
        if (!state().bAnalysisPaused) {
            model_.LocateBrightestPoint(n);
            outcome = model_.Update(n);
        }
        refresh();
        // A frame without a centroid is told by the notice line and the trace
        // alone; the user's own pick of a star gets the box.
        if (byHand && outcome == FocusAnalysis::Outcome::NoCentroid && !tellNoCentroid()) return;
        if (!state().bMsgBoxShowing) giveFocusToImageWindow();
    });
}

bool frmAnalyze::tellNoCentroid() {
    // A new star pick may close this window while the box is up.
    const QPointer<frmAnalyze> self(this);
    platform::Dialogs::msgBox(FocusAnalysis::kNoCentroidMessage, platform::Msg::OKOnly);
    return self && !unloaded_;
}

void frmAnalyze::ListView1_ItemClick(int index) {
    trapAndTrace(QStringLiteral("frmAnalyze.ListView1_ItemClick"), [&] {
        if (!model_.entry(index)) return;
        showSource(index);
        const FocusAnalysis::Outcome outcome = model_.Update(index);  // not located again
        refresh();
        if (outcome == FocusAnalysis::Outcome::NoCentroid) tellNoCentroid();
    });
}

void frmAnalyze::showSource(int index) {
    if (const auto* e = model_.entry(index)) SourcePic->setPixmap(QPixmap::fromImage(e->picture));
}

void frmAnalyze::refresh() {
    picAnal->setPixmap(QPixmap::fromImage(model_.picAnal()));
    PicCal->setPixmap(QPixmap::fromImage(model_.PicCal()));
    if (model_.count() == 0) SourcePic->clear();
    const FocusGraphs& g = model_.graphs();
    for (std::size_t i = 0; i < lblFWHM.size(); ++i) lblFWHM[i]->setText(g.lblFWHM[i]);
    Label4->setText(g.Label4);
    lblNotice->setText(model_.notice());
    picFWHM->update();
    PicRII->update();
    picPlot->update();
}

void frmAnalyze::giveFocusToImageWindow() {
    QWidget* image = windows().ifLoaded(Win::frmImageDisp);
    if (!image) return;
    QWidget* frame = frameOf(image);
    if (auto* sub = qobject_cast<QMdiSubWindow*>(frame); sub && sub->mdiArea()) {
        // Back to the focus frame from the focus windows only: a user at work in
        // another window (the camera window, say) keeps it, and it stays in front.
        const QMdiSubWindow* active = sub->mdiArea()->activeSubWindow();
        if (active && active != sub && active != frameOf(this)) return;
        sub->mdiArea()->setActiveSubWindow(sub);
    } else {
        frame->activateWindow();
    }
    image->setFocus();
}

void frmAnalyze::ChangeColors() {
    const QColor colour = Conv::colorFromBgr(state().lForeColor);
    auto apply = [&](QWidget* w, QPalette::ColorRole role) {
        QPalette p = w->palette();
        p.setColor(role, colour);
        w->setPalette(p);
    };
    for (QLabel* label : findChildren<QLabel*>()) apply(label, QPalette::WindowText);
    for (QGroupBox* frame : findChildren<QGroupBox*>()) apply(frame, QPalette::WindowText);
    for (QLineEdit* box : findChildren<QLineEdit*>()) apply(box, QPalette::Text);
}

void frmAnalyze::StartTheFocusLog() {
    guarded([&] { model_.StartTheFocusLog(); });
    cmdLog->setText(kStopLog);
}

void frmAnalyze::StopTheFocusLog() {
    guarded([&] { model_.StopTheFocusLog(); });
    cmdLog->setText(kLogFocus);
}

void frmAnalyze::cmdLog_Click() {
    if (cmdLog->text() == kLogFocus)
        StartTheFocusLog();
    else
        StopTheFocusLog();
}

void frmAnalyze::cbLogTrack_Click() {
    if (cbLogTrack->text() == kLogTracking) {
        guarded([&] { model_.StartTrackingLog(); });
        cbLogTrack->setText(kStopTracking);
    } else {
        guarded([&] { model_.StopTrackingLog(); });
        cbLogTrack->setText(kLogTracking);
    }
}

void frmAnalyze::cbAutofocus_Click() {
    trapAndTrace(QStringLiteral("frmAnalyze.cbAutofocus_Click"),
                 [&] { windows().show(Win::frmAutofocus); });
}

std::optional<float> frmAnalyze::GetCurrentHFWHM() const {
    return model_.GetCurrentHFWHM();
}
std::optional<float> frmAnalyze::GetCurrentVFWHM() const {
    return model_.GetCurrentVFWHM();
}
std::optional<float> frmAnalyze::GetCurrentPeakValue() const {
    return model_.GetCurrentPeakValue();
}
std::optional<float> frmAnalyze::GetCurrentRadialSum() const {
    return model_.GetCurrentRadialSum();
}

}  // namespace zelmora::focus
