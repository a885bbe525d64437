#include "capture/frmAutomate.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <QStyledItemDelegate>
#include <algorithm>
#include <utility>

#include "capture/CameraLink.h"
#include "capture/ExposureFile.h"
#include "capture/ExposureRun.h"
#include "capture/frmCapture.h"
#include "platform/os/Dialogs.h"
#include "platform/time/Clock.h"
#include "platform/time/Timer.h"
#include "shell/AppPaths.h"
#include "shell/Conv.h"
#include "shell/Errors.h"
#include "shell/Globals.h"
#include "shell/MainWindow.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"

namespace zelmora::capture {

using platform::Dialogs;
namespace Msg = platform::Msg;

namespace {

const QString kNoIso = QStringLiteral("N/A");
const QString kFilter = QStringLiteral("Exposure File (*.txt)|*.txt");
constexpr int kIsoSettleMs = 2000;
constexpr int kConnectPollMs = 250;

CameraLink& link() {
    return CameraLink::instance();
}

void log(const QString& line) {
    Globals::WriteLogLine(line);
}

QString badFileMessage() {
    return QStringLiteral(
               "Check your exposure file. The software is having trouble reading the data. Make "
               "sure you have a valid file called exposurefile.txt in the following direcotry ") +
           AppPaths::appDir() + QStringLiteral(".");
}

// The rows keep their TABs in the item text (the read-back rules work on it);
// this paints each TAB as a column stop.
class TabRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QString text = opt.text;
        opt.text.clear();
        // The row's own background and selection, without its unexpanded text.
        QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, p, opt.widget);
        const QStringList cells = text.split(u'\t', Qt::SkipEmptyParts);
        const int column = opt.rect.width() / 4;
        p->save();
        p->setPen(opt.state & QStyle::State_Selected ? opt.palette.color(QPalette::HighlightedText)
                                                     : opt.palette.color(QPalette::Text));
        for (int i = 0; i < cells.size() && i < 4; ++i)
            p->drawText(opt.rect.adjusted(4 + i * column, 0, 0, 0),
                        Qt::AlignVCenter | Qt::AlignLeft, cells[i]);
        p->restore();
    }
};

// The record a listed step was read or made as, and the step of the
// window's file it stands for.
constexpr int kRecordRole = Qt::UserRole;
constexpr int kOriginRole = Qt::UserRole + 1;

// A file that does not read as whole steps, and its lines that do not.
QString notWholeSteps(const QString& path, const expfile::ReadResult& read) {
    constexpr std::size_t kLinesShown = 10;
    constexpr qsizetype kLineShown = 60;
    QString text = QStringLiteral("The exposure file ") + path +
                   QStringLiteral(
                       " does not read as whole steps of four values (count, exposure, delay, "
                       "ISO):");
    for (std::size_t i = 0; i < read.brokenLines.size() && i < kLinesShown; ++i) {
        QString line = expfile::lineText(read, read.brokenLines[i]);
        if (line.size() > kLineShown) line = line.left(kLineShown - 3) + QStringLiteral("...");
        text += QStringLiteral("\nline %1: %2").arg(QString::number(read.brokenLines[i]), line);
    }
    if (read.brokenLines.size() > kLinesShown)
        text += QStringLiteral("\n(%1 more lines)").arg(read.brokenLines.size() - kLinesShown);
    return text + u'\n';
}

// Values after the last whole step, which no step of the list holds.
QString leftOverValues(const expfile::ReadResult& read, const QString& fate) {
    if (read.leftOver.isEmpty()) return {};
    return QStringLiteral(" Values that make no whole step, at its end, are ") + fate +
           QStringLiteral(": ") + read.leftOver + u'.';
}

QString notWholeOnLoad(const QString& path, const expfile::ReadResult& read) {
    return notWholeSteps(path, read) +
           QStringLiteral(
               "The list takes the values four at a time as they come, so a step listed "
               "from these lines may hold values of another.") +
           leftOverValues(read, QStringLiteral("not listed")) +
           QStringLiteral(
               " The file is not saved over without asking: correct it in an editor and "
               "load it again, or save the list under another name.");
}

QString otherKindMessage(int stepNumber, const expfile::ExposureStep& step) {
    if (step.shutterSpeed)
        return QStringLiteral(
                   "Step %1 is the camera's shutter speed %2, which runs from the "
                   "capture window's Short Exposures tab. Choose that tab, or change "
                   "the step, then start the sequence again.")
            .arg(stepNumber)
            .arg(step.exposure);
    return QStringLiteral(
               "Step %1 is a bulb exposure of %2 seconds, which runs from the "
               "capture window's Long Exposures tab. Choose that tab, or change the "
               "step, then start the sequence again.")
        .arg(stepNumber)
        .arg(step.exposure);
}

template <typename T>
T* named(T* w, const char* name) {
    w->setObjectName(QLatin1String(name));
    return w;
}

}  // namespace

frmAutomate::frmAutomate(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmAutomate"));
    setWindowTitle(kCaption);
    setAttribute(Qt::WA_DeleteOnClose);

    lbExposures = named(new QListWidget(this), "lbExposures");
    lbExposures->setGeometry(8, 8, 620, 120);
    lbExposures->setItemDelegate(new TabRowDelegate(lbExposures));

    frAddModify = named(new QGroupBox(QStringLiteral("Add/Modify"), this), "frAddModify");
    frAddModify->setGeometry(8, 134, 400, 172);
    const auto label = [](QWidget* parent, const QString& text, int y) {
        auto* l = new QLabel(text, parent);
        l->setGeometry(10, y, 130, 20);
    };
    label(frAddModify, QStringLiteral("No Exposures:"), 22);
    txtNoExp = named(new QLineEdit(frAddModify), "txtNoExp");
    txtNoExp->setGeometry(145, 22, 80, 20);
    label(frAddModify, QStringLiteral("Exposure Time(sec):"), 46);
    txtExpLength = named(new QLineEdit(frAddModify), "txtExpLength");
    txtExpLength->setGeometry(145, 46, 80, 20);
    lbTv = named(new QComboBox(frAddModify), "lbTv");
    lbTv->setGeometry(145, 46, 100, 22);
    lbTv->hide();
    label(frAddModify, QStringLiteral("Delay(sec):"), 70);
    txtDelayBetwExp = named(new QLineEdit(frAddModify), "txtDelayBetwExp");
    txtDelayBetwExp->setGeometry(145, 70, 80, 20);
    txtDelayBetwExp->setToolTip(QStringLiteral("Set this to 30 secs when downloading RAW images"));
    label(frAddModify, QStringLiteral("ISO Speed:"), 94);
    lbISOSpeed = named(new QComboBox(frAddModify), "lbISOSpeed");
    lbISOSpeed->setGeometry(145, 94, 100, 22);
    lbISOSpeed->setEditable(true);
    lbISOSpeed->addItems({kNoIso, "100", "200", "400", "800", "1000", "1600", "3200"});
    cbAdd = named(new QPushButton(QStringLiteral("Add"), frAddModify), "cbAdd");
    cbAdd->setGeometry(10, 132, 80, 26);
    cbModify = named(new QPushButton(QStringLiteral("Modify"), frAddModify), "cbModify");
    cbModify->setGeometry(100, 132, 80, 26);
    cbDelete = named(new QPushButton(QStringLiteral("Delete"), frAddModify), "cbDelete");
    cbDelete->setGeometry(190, 132, 80, 26);

    frFile = named(new QGroupBox(QStringLiteral("Exposure Sequence File"), this), "frFile");
    frFile->setGeometry(416, 134, 212, 80);
    cbLoadFile = named(new QPushButton(QStringLiteral("Load File..."), frFile), "cbLoadFile");
    cbLoadFile->setGeometry(10, 24, 92, 26);
    Command1 = named(new QPushButton(QStringLiteral("Save File..."), frFile), "Command1");
    Command1->setGeometry(110, 24, 92, 26);
    chConnForISO =
        named(new QCheckBox(QStringLiteral("Only connect  to change ISO"), this), "chConnForISO");
    chConnForISO->setGeometry(420, 220, 208, 20);
    cbStart = named(new QPushButton(QStringLiteral("Start Sequence"), this), "cbStart");
    cbStart->setGeometry(416, 246, 102, 28);
    cbCancelSeq = named(new QPushButton(QStringLiteral("Cancel Sequence"), this), "cbCancelSeq");
    cbCancelSeq->setGeometry(522, 246, 110, 28);

    connect(cbAdd, &QPushButton::clicked, this, [this] { cbAdd_Click(); });
    connect(cbModify, &QPushButton::clicked, this, [this] { cbModify_Click(); });
    connect(cbDelete, &QPushButton::clicked, this, [this] { cbDelete_Click(); });
    connect(lbExposures, &QListWidget::itemDoubleClicked, this, [this] { lbExposures_DblClick(); });
    connect(cbLoadFile, &QPushButton::clicked, this, [this] { cbLoadFile_Click(); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(chConnForISO, &QCheckBox::toggled, this, [this] { chConnForISO_Click(); });
    connect(cbStart, &QPushButton::clicked, this, [this] { cbStart_Click(); });
    connect(cbCancelSeq, &QPushButton::clicked, this, [this] { cbCancelSeq_Click(); });

    settle_ = new platform::Timer(this);
    settle_->setInterval(0);
    connect(settle_, &platform::Timer::timeout, this, [this] {
        settle_->setInterval(0);
        if (runnerState_ == Runner::Settling) afterIsoSet();
    });
    poll_ = new platform::Timer(this);
    poll_->setInterval(0);
    connect(poll_, &platform::Timer::timeout, this, [this] { connectPoll(); });

    Form_Load();
}

frmAutomate::~frmAutomate() {
    Form_Unload();
}

// ---- Lifetime ----------------------------------------------------------------

void frmAutomate::Form_Load() {
    trapAndTrace(QStringLiteral("Form_Load"), [&] {
        bConnectToChangeISO = false;
        state().bSequenceRunning = false;
        setFixedSize(Conv::twipsToPixels(9540), Conv::twipsToPixels(4725));
        Globals::RestoreFormPosition(this, kCaption);
        windows().markLoaded(Win::frmAutomate, this);
        lbISOSpeed->setCurrentText(kNoIso);
        if (shortMode()) {
            chConnForISO->setChecked(false);
            chConnForISO->setEnabled(false);
            txtExpLength->hide();
            LoadTvList();
        }
        // The list shows the file every change rewrites, so that a change keeps
        // the steps the user did not delete. No file yet: an empty list. A file
        // that cannot be read is said once the window is up, and left alone.
        const expfile::ReadResult read = expfile::readFile(expfile::defaultFile());
        if (read.status == expfile::ReadResult::Status::Read) {
            noticeOnShow_ = keepFile(expfile::defaultFile(), read, !read.steps.empty());
        } else if (read.status != expfile::ReadResult::Status::NotFound) {
            log(read.problem);
            fileProblem_ = read.problem;
            noticeOnShow_ = read.problem;
        }
    });
}

void frmAutomate::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (noticeOnShow_.isEmpty()) return;
    // Queued: the box comes once the window has been painted, and not at all
    // when the window is gone by then.
    QMetaObject::invokeMethod(
        this,
        [this] {
            const QString notice = std::exchange(noticeOnShow_, QString());
            if (!notice.isEmpty()) Dialogs::msgBox(notice, Msg::Exclamation);
        },
        Qt::QueuedConnection);
}

std::vector<expfile::ListedStep> frmAutomate::listedSteps() const {
    std::vector<expfile::ListedStep> steps;
    for (int i = 1; i < lbExposures->count(); ++i) {
        const QListWidgetItem* item = lbExposures->item(i);
        const QVariant origin = item->data(kOriginRole);
        steps.push_back({item->text(), item->data(kRecordRole).toByteArray(),
                         origin.isValid() ? origin.toInt() : -1});
    }
    return steps;
}

void frmAutomate::showSteps(const std::vector<expfile::ListedStep>& steps, bool heading,
                            int current) {
    lbExposures->clear();
    if (heading || !steps.empty()) lbExposures->addItem(expfile::headingRow());
    for (const expfile::ListedStep& step : steps) {
        auto* item = new QListWidgetItem(step.row);
        item->setData(kRecordRole, step.record);
        item->setData(kOriginRole, step.origin);
        lbExposures->addItem(item);
    }
    if (current >= 0 && current < lbExposures->count()) lbExposures->setCurrentRow(current);
}

QString frmAutomate::keepFile(const QString& path, const expfile::ReadResult& read, bool heading) {
    kept_ = read;
    showSteps(expfile::listedSteps(read), heading, -1);
    if (read.readsAsWholeSteps()) return {};
    log(QStringLiteral("Exposure file does not read as whole steps: ") + path);
    return notWholeOnLoad(path, read);
}

void frmAutomate::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    trapAndTrace(QStringLiteral("Form_Unload"), [&] {
        if (windows().ifLoaded(Win::frmAutomate) == this) windows().markUnloaded(Win::frmAutomate);
        bConnectToChangeISO = false;
        link().setSilentConnectMode(false);
        settle_->setInterval(0);
        poll_->setInterval(0);
        Globals::SaveFormPosition(this, kCaption);
    });
}

void frmAutomate::closeEvent(QCloseEvent* event) {
    // A sequence never outlives its window: cancel it and end its bookkeeping now.
    if (sequenceActive()) {
        CancelSeqClick();
        if (sequenceActive()) endSequence();
    }
    Form_Unload();
    event->accept();
}

void frmAutomate::LoadTvList() {
    trapAndTrace(QStringLiteral("LoadTvList"), [&] {
        if (!link().connected()) return;
        lbTv->show();
        lbTv->clear();
        link().LoadAllowedTvs(lbTv);
        lbTv->setCurrentText(link().Tv());
    });
}

bool frmAutomate::shortMode() const {
    return link().ShortExposureCapture();
}

QStringList frmAutomate::rows() const {
    QStringList out;
    for (int i = 0; i < lbExposures->count(); ++i) out << lbExposures->item(i)->text();
    return out;
}

// ---- List editing ------------------------------------------------------------------

QString frmAutomate::windowFile() const {
    return sExposureFileName.isEmpty() ? expfile::defaultFile() : sExposureFileName;
}

std::optional<expfile::ListedStep> frmAutomate::stepFromFields(const QString& exposure) {
    // The step takes the kind of the tab the window was opened from.
    const expfile::ExposureStep step{txtNoExp->text(), exposure, txtDelayBetwExp->text(),
                                     lbISOSpeed->currentText(), shortMode()};
    QString problem;
    try {
        QByteArray record = expfile::formatRecord(step);
        record.chop(2);  // the line end
        // The row shows the step as the file will hold it ("1.5" seconds are 2).
        const expfile::ReadResult read = expfile::parse(record);
        if (read.steps.size() == 1 && read.steps[0].shutterSpeed == step.shutterSpeed)
            return expfile::ListedStep{expfile::stepRow(read.steps[0]), record};
        problem = QStringLiteral("the shutter speed ") + exposure +
                  QStringLiteral(" does not read back as one");
    } catch (const AppError& e) {
        problem = e.description();
    }
    Dialogs::msgBox(QStringLiteral("This step cannot be saved: ") + problem +
                        QStringLiteral(". The list and the file keep their steps."),
                    Msg::Exclamation);
    return std::nullopt;
}

bool frmAutomate::saveSteps(const QString& path, const std::vector<expfile::ListedStep>& steps,
                            int current) {
    expfile::WriteResult result = expfile::writeFile(path, steps, kept_);
    if (result.ok) {
        // The list is the file as written.
        kept_ = std::move(result.written);
        showSteps(expfile::listedSteps(kept_), !kept_.steps.empty() || lbExposures->count() > 0,
                  current);
        return true;
    }
    // Nothing is lost: the file keeps what it held, and the list with it.
    log(QStringLiteral("Exposure file not written: ") + path + QStringLiteral(": ") +
        result.problem);
    Dialogs::msgBox(QStringLiteral("The exposure file ") + path +
                        QStringLiteral(" was not saved, the list and the file keep their "
                                       "steps: ") +
                        result.problem,
                    Msg::Exclamation);
    return false;
}

bool frmAutomate::mayRewrite() {
    if (kept_.readsAsWholeSteps()) return true;
    QPointer<frmAutomate> self(this);
    const int answer =
        Dialogs::msgBox(notWholeSteps(windowFile(), kept_) +
                            QStringLiteral("Write it afresh from the list, one step a line?") +
                            leftOverValues(kept_, QStringLiteral("left out")) +
                            QStringLiteral(" No leaves the file and the list as they are."),
                        Msg::YesNo | Msg::DefaultButton2 | Msg::Exclamation);
    // The box let events run: the window may be gone.
    if (!self || answer != Msg::Yes) return false;
    log(QStringLiteral("Exposure file written afresh: ") + windowFile());
    return true;
}

bool frmAutomate::applyEdit(const std::vector<expfile::ListedStep>& steps, int current) {
    if (!fileProblem_.isEmpty()) {
        Dialogs::msgBox(fileProblem_ + QStringLiteral(" It is not saved over: load another file, "
                                                      "or save the list under another name."),
                        Msg::Exclamation);
        return false;
    }
    return mayRewrite() && saveSteps(windowFile(), steps, current);
}

bool frmAutomate::AddExposureRow() {
    const QString exposure =
        shortMode() ? (lbTv->isVisible() || lbTv->count() ? lbTv->currentText() : QString())
                    : txtExpLength->text();
    if (txtNoExp->text().isEmpty() || txtDelayBetwExp->text().isEmpty() || exposure.isEmpty()) {
        Dialogs::msgBox(QStringLiteral("You must enter a valid value in all columns!"));
        return false;
    }
    const std::optional<expfile::ListedStep> step = stepFromFields(exposure);
    if (!step) return false;
    std::vector<expfile::ListedStep> steps = listedSteps();
    steps.push_back(*step);
    return applyEdit(steps, lbExposures->currentRow());
}

void frmAutomate::ModifyExposureRow(int row) {
    const QString exposure = shortMode() ? lbTv->currentText() : txtExpLength->text();
    const std::optional<expfile::ListedStep> step = stepFromFields(exposure);
    if (!step) return;
    std::vector<expfile::ListedStep> steps = listedSteps();
    // In the place of the step it replaces.
    expfile::ListedStep& old = steps.at(std::size_t(row - 1));
    old = {step->row, step->record, old.origin};
    applyEdit(steps, row);
}

int frmAutomate::selectedStepRow(const QString& noSelectionMessage) {
    // The heading row is no step: selecting it counts as no selection.
    const int row = lbExposures->currentRow();
    const bool selected = row >= 1 && lbExposures->item(row)->isSelected();
    if (!selected) {
        Dialogs::msgBox(noSelectionMessage);
        return -1;
    }
    return row;
}

void frmAutomate::cbAdd_Click() {
    trapAndTrace(QStringLiteral("cbAdd_Click"), [&] { AddExposureRow(); });
}

void frmAutomate::cbModify_Click() {
    trapAndTrace(QStringLiteral("cbModify_Click"), [&] {
        const int row = selectedStepRow(
            QStringLiteral("Select the item you wish modified by clicking on it in the listbox!"));
        if (row >= 0) ModifyExposureRow(row);
    });
}

void frmAutomate::cbDelete_Click() {
    trapAndTrace(QStringLiteral("cbDelete_Click"), [&] {
        const int row = selectedStepRow(
            QStringLiteral("Select the item you wish to delete by clicking on it in the listbox!"));
        if (row < 0) return;
        std::vector<expfile::ListedStep> steps = listedSteps();
        steps.erase(steps.begin() + (row - 1));
        applyEdit(steps, steps.empty() ? -1 : std::min(row, int(steps.size())));
    });
}

void frmAutomate::lbExposures_DblClick() {
    trapAndTrace(QStringLiteral("lbExposures_DblClick"), [&] {
        const int row = lbExposures->currentRow();
        if (row < 1) return;
        const std::optional<expfile::ExposureStep> step =
            expfile::rowStep(lbExposures->item(row)->text());
        if (!step) return;
        txtNoExp->setText(step->count);
        txtExpLength->setText(step->exposure);
        // In short-exposure mode the shutter-speed list follows the row too.
        if (shortMode()) {
            const int i = lbTv->findText(step->exposure, Qt::MatchExactly | Qt::MatchCaseSensitive);
            if (i >= 0) lbTv->setCurrentIndex(i);
        }
        txtDelayBetwExp->setText(step->delay);
        lbISOSpeed->setCurrentText(step->iso);
    });
}

// ---- The file ------------------------------------------------------------------------

void frmAutomate::cbLoadFile_Click() {
    // The list stays as it is until a file has been read.
    ReadExposureFile();
}

void frmAutomate::ReadExposureFile() {
    QPointer<frmAutomate> self(this);
    trapAndTrace(QStringLiteral("ReadExposureFile"), [&] {
        platform::FileDialogRequest request;
        request.filter = kFilter;
        request.initialDir = AppPaths::join(AppPaths::appDir(), QStringLiteral("ExposureFiles"));
        request.fileName = sExposureFileName;
        const QString chosen = Dialogs::openFile(request);
        // The chooser let events run: the window may be gone.
        if (!self) return;
        QDir::setCurrent(AppPaths::appDir());
        // A cancelled chooser changes nothing.
        if (chosen.isEmpty()) return;
        const expfile::ReadResult read = expfile::readFile(chosen);
        switch (read.status) {
            case expfile::ReadResult::Status::NotFound:
                Dialogs::msgBox(
                    QStringLiteral("Exposure File not found. make sure you have a valid "
                                   "file called exposurefile.txt in the following "
                                   "direcotry ") +
                    AppPaths::appDir() + QStringLiteral("."));
                return;
            case expfile::ReadResult::Status::Unreadable:
            case expfile::ReadResult::Status::TooLarge:
                Dialogs::msgBox(read.problem, Msg::Exclamation);
                return;
            case expfile::ReadResult::Status::Read:
                break;
        }
        sExposureFileName = chosen;
        fileProblem_.clear();
        if (const QString notice = keepFile(chosen, read, true); !notice.isEmpty())
            Dialogs::msgBox(notice, Msg::Exclamation);
    });
}

void frmAutomate::WriteExpFile() {
    applyEdit(listedSteps(), lbExposures->currentRow());
}

void frmAutomate::Command1_Click() {
    QPointer<frmAutomate> self(this);
    trapAndTrace(QStringLiteral("Command1_Click"), [&] {
        platform::FileDialogRequest request;
        request.filter = kFilter;
        request.fileName = sExposureFileName;
        const QString chosen = Dialogs::saveFile(request);
        if (!self) return;
        // Cancelled: the list is saved again where it is kept.
        if (chosen.isEmpty()) return WriteExpFile();
        // The chooser lists *.txt files: a name typed without a suffix gets
        // that one, so that Load finds the file again.
        QString path = chosen;
        if (QFileInfo(chosen).suffix().isEmpty())
            path += chosen.endsWith(u'.') ? QStringLiteral("txt") : QStringLiteral(".txt");
        // The chooser asked about the name typed, not about this one.
        if (path != chosen && QFileInfo::exists(path)) {
            const int answer = Dialogs::msgBox(QStringLiteral("The exposure file ") + path +
                                                   QStringLiteral(" already exists. Replace it?"),
                                               Msg::YesNo | Msg::DefaultButton2 | Msg::Exclamation);
            if (!self || answer != Msg::Yes) return;
        }
        // Saved under its own name, the window's file is rewritten.
        if (QFileInfo(path) == QFileInfo(windowFile()) && !mayRewrite()) return;
        if (!saveSteps(path, listedSteps(), lbExposures->currentRow())) return;
        sExposureFileName = path;
        fileProblem_.clear();
    });
}

void frmAutomate::chConnForISO_Click() {
    bConnectToChangeISO = chConnForISO->isChecked();
}

// ---- Start and the runner ------------------------------------------------------------

void frmAutomate::setStatus(const QString& text) {
    if (IMainWindow* m = mainWindow())
        if (QLabel* p = m->statusPanel(1)) p->setText(text);
}

frmCapture* frmAutomate::captureWindow(bool load) const {
    if (auto* w = windows().ifLoadedAs<frmCapture>(Win::frmCapture)) return w;
    if (!load) return nullptr;
    return dynamic_cast<frmCapture*>(windows().load(Win::frmCapture));
}

void frmAutomate::cbStart_Click() {
    // One sequence, and no sequence beside a run.
    frmCapture* running = captureWindow(false);
    if (starting_ || sequenceActive() || (running && running->runActive())) {
        log(QStringLiteral("Start Sequence refused: a run or sequence is in progress"));
        return;
    }
    // The checks show boxes, which process events: a second click is refused
    // meanwhile, and a window closed meanwhile ends the start.
    QPointer<frmAutomate> self(this);
    starting_ = true;
    bool go = false;
    bool shortExp = false;  // the mode the step table is read in
    const bool ok = trapAndTrace(QStringLiteral("cbStart_Click"), [&] {
        const bool connected = link().connected();
        if (connected && link().FocusMode()) {
            Dialogs::msgBox(QStringLiteral("You are currently connected in Focus Mode. Please "
                                           "select Capture mode from Camera Connection Window "
                                           "before starting a sequence."),
                            Msg::Exclamation, QStringLiteral("Warning"));
            return;
        }
        // Refused before the camera is asked or set anything.
        const auto refuse = [this](const QString& reason) {
            log(QStringLiteral("Start Sequence refused: ") + reason);
            Dialogs::msgBox(reason, Msg::Exclamation, QStringLiteral("Warning"));
        };
        // Each step runs as what it is: a step of the other tab's kind is refused.
        const bool shortTab = shortMode();
        for (int i = 1; i < lbExposures->count(); ++i) {
            const std::optional<expfile::ExposureStep> step =
                expfile::rowStep(lbExposures->item(i)->text());
            if (step && step->shutterSpeed != shortTab) return refuse(otherKindMessage(i, *step));
        }
        // Bulb steps need a shutter cable: without one the sequence would set
        // the camera's ISO and count down every step to take nothing.
        if (!shortTab) {
            if (const QString problem = ShutterCable::instance().cableProblem(); !problem.isEmpty())
                return refuse(QStringLiteral("Start is off: ") + problem + u'.');
        }
        if (connected) {
            const QString quality = link().ImageQuality();
            if (quality != QStringLiteral("Raw")) {
                const int answer = Dialogs::msgBox(
                    QStringLiteral("You are about to start an Image Capture Sequence with an "
                                   "Image Quality Setting not on RAW. Press YES to continue "
                                   "session with Image Quality set on: ") +
                        quality +
                        QStringLiteral(" Press NO to change quality to RAW before proceding"),
                    Msg::YesNo | Msg::DefaultButton2, QStringLiteral("Warning"));
                if (!self) return;
                if (answer == Msg::No) link().setImageQuality(QStringLiteral("Raw"));
            }
            if (!shortMode()) link().setTv(QStringLiteral("Bulb"));
        }
        if (lbExposures->count() == 0) {
            Dialogs::msgBox(
                QStringLiteral("No Exposure sequences have been defined. Add some "
                               "using the Add button then try again."));
            return;
        }
        iStepCount = lbExposures->count() - 1;
        vStepTable.clear();
        bool hasIso = false;
        shortExp = shortMode();
        const auto roundTrip = [](const QString& t) {
            return QString::number(Conv::parseInt16(t));
        };
        for (int i = 1; i <= iStepCount; ++i) {
            const std::optional<expfile::ExposureStep> f =
                expfile::rowStep(lbExposures->item(i)->text());
            if (!f)
                throw AppError(AppError::kSubscriptOutOfRange, QStringLiteral("cbStart_Click"),
                               QStringLiteral("Subscript out of range"));
            const QString iso = roundTrip(f->iso == kNoIso ? QStringLiteral("0") : f->iso);
            vStepTable.push_back({roundTrip(f->count),
                                  shortExp ? f->exposure : roundTrip(f->exposure),
                                  roundTrip(f->delay), iso});
            if (iso != QStringLiteral("0")) hasIso = true;
        }
        if (iStepCount < 1)
            throw AppError(AppError::kSubscriptOutOfRange, QStringLiteral("cbStart_Click"),
                           QStringLiteral("No steps"));
        if (!connected && !bConnectToChangeISO && hasIso) {
            const int answer = Dialogs::msgBox(
                QStringLiteral("You are about to start an Image Capture Sequence that have ISO "
                               "settings defined. You are not currently connected to the Camera. "
                               "Continuing sequence without connecting will result in ISO "
                               "settings being ignored. Continue?"),
                Msg::YesNo | Msg::DefaultButton2, QStringLiteral("Warning"));
            if (!self) return;
            if (answer == Msg::No) {
                link().showCameraWindow();
                return;
            }
        }
        go = true;
    });
    if (!self) return;
    starting_ = false;
    if (unloaded_) return;
    if (!ok) return failSequence();
    if (!go) return;
    // The mode the steps were read in is the mode they run in, whatever their look.
    shortSequence_ = shortExp;
    state().bSequenceRunning = true;
    bCancelSequence = false;
    SequenceExp();
}

void frmAutomate::failSequence() {
    QPointer<frmAutomate> self(this);
    Dialogs::msgBox(badFileMessage());
    if (!self) return;
    CancelSeqClick();
    if (sequenceActive()) endSequence();
}

void frmAutomate::SequenceExp() {
    state().bLastSequenceStep = false;
    iCurrentStep = 1;
    framesPlanned_ = 0;
    framesMissed_ = 0;
    runnerState_ = Runner::Running;
    runStep();
}

void frmAutomate::runStep() {
    if (iCurrentStep > iStepCount) return endSequence();
    // Boxes and the camera's answers process events: this window or the
    // capture window may be closed, or the sequence cancelled, meanwhile.
    QPointer<frmAutomate> self(this);
    const bool ok = trapAndTrace(QStringLiteral("SequenceExp"), [&] {
        if (iCurrentStep == iStepCount) state().bLastSequenceStep = true;
        log(QStringLiteral("----doing sequence :") + QString::number(iCurrentStep));
        setCursor(Qt::WaitCursor);
        setStatus(QStringLiteral("Sequence In Progress"));
        lbExposures->setCurrentRow(iCurrentStep);
        const QStringList& step = vStepTable.at(std::size_t(iCurrentStep - 1));
        capture_ = captureWindow(true);
        if (!capture_)
            throw AppError(AppError::kObjectVariableNotSet, QStringLiteral("SequenceExp"),
                           QStringLiteral("The capture window is not available"));
        if (shortSequence_) {
            // A shutter-speed step, whatever its look ("1" and "2" are speeds
            // too): a short run on the capture window's Short tab.
            if (capture_->GetCurrFrame() != 1) {
                // The camera leaves Bulb first, so the tab finds a usable speed.
                if (link().connected() && link().Tv() == QStringLiteral("Bulb"))
                    link().setTv(step[1]);
                capture_->selectTab(1);
            }
            const int i =
                capture_->lbTv->findText(step[1], Qt::MatchExactly | Qt::MatchCaseSensitive);
            if (i < 0) {
                // The camera keeps its previous speed: say so before the step runs.
                log(QStringLiteral("Shutter speed not offered by the camera: ") + step[1]);
                Dialogs::msgBox(QStringLiteral("The shutter speed ") + step[1] +
                                    QStringLiteral(" is not offered by the camera. The step runs "
                                                   "at the camera's current shutter speed."),
                                Msg::Exclamation);
            } else {
                capture_->lbTv->setCurrentIndex(i);
                // Choosing the text already shown raises no signal: run the handler.
                capture_->lbTv_Click();
            }
            platform::passEvents();
            if (!self || captureGone()) return;
        } else {
            // Whole seconds: a bulb step on the Long tab.
            if (capture_->GetCurrFrame() == 1) capture_->selectTab(2);
            capture_->txtExpSec->setText(step[1]);
            capture_->txtExpMin->setText(QStringLiteral("0"));
        }
        capture_->txtExpCount->setText(step[0]);
        capture_->txtTimeBetween->setText(step[2]);
        stepIso_ = step[3];
    });
    if (!self || runnerState_ == Runner::Idle) return;
    if (!ok) return failSequence();
    if (captureGone()) return endWithoutTheCaptureWindow();
    if (bCancelSequence) return endSequence();
    if (stepIso_ == QStringLiteral("0")) return startStep();
    if (link().connected()) return setIsoAndSettle();
    if (bConnectToChangeISO) {
        // Connect for the ISO alone; the step itself runs on the cable.
        log(QStringLiteral("Connecting to set ISO:") + stepIso_);
        runnerState_ = Runner::Connecting;
        connectDeadline_ = platform::clock().monotonicMs() + kConnectTimeoutMs;
        link().setSilentConnectMode(true);
        guarded([] { link().doconnect(); });
        if (!self || runnerState_ != Runner::Connecting) return;
        poll_->setInterval(kConnectPollMs);
        return connectPoll();
    }
    startStep();
}

void frmAutomate::connectPoll() {
    if (runnerState_ != Runner::Connecting) {
        poll_->setInterval(0);
        return;
    }
    if (bCancelSequence) {
        poll_->setInterval(0);
        return endSequence();
    }
    if (link().connected()) {
        poll_->setInterval(0);
        return setIsoAndSettle();
    }
    if (platform::clock().monotonicMs() >= connectDeadline_) {
        poll_->setInterval(0);
        log(QStringLiteral("Camera did not connect: ISO ") + stepIso_ + QStringLiteral(" not set"));
        runnerState_ = Runner::Running;
        startStep();
    }
}

void frmAutomate::afterIsoSet() {
    if (bCancelSequence) return endSequence();
    if (bConnectToChangeISO && link().connected()) {
        log(QStringLiteral("About to disconnect from Start because  bConnectToChangeISO = true"));
        guarded([] { link().Disconnect(); });
    }
    runnerState_ = Runner::Running;
    startStep();
}

void frmAutomate::startStep() {
    runnerState_ = Runner::Running;
    frmCapture* capture = captureGone() ? nullptr : capture_.data();
    auto* engine = capture ? dynamic_cast<ExposureRun*>(capture->runEngine()) : nullptr;
    if (!engine) return endWithoutTheCaptureWindow();
    // The runner goes on once the run's own end has been handled. A short run
    // can end inside its own start (its waits process events), so the end is
    // noted at once and the step goes on exactly once.
    stepEnded_ = false;
    const QMetaObject::Connection ended = connect(
        engine, &ExposureRun::finished, this,
        [this, engine] {
            // What the run took is read as it ends, before anything can start another.
            const PlannedRun& run = engine->plannedRun();
            framesPlanned_ += run.frames();
            framesMissed_ += run.missed();
            stepEnded_ = true;
            nextStepFromTheLoop();
        },
        Qt::SingleShotConnection);
    // The run's checks and start process events: either window may go meanwhile.
    QPointer<frmAutomate> self(this);
    QPointer<ExposureRun> run(engine);
    engine->StartExposureAutomate();
    if (!self || runnerState_ != Runner::Running || stepEnded_) return;
    if (!run || !engine->running()) {
        // Refused by its checks (or gone): the sequence goes on with the next step.
        if (run) disconnect(ended);
        nextStepFromTheLoop();
    }
}

void frmAutomate::setIsoAndSettle() {
    log(QStringLiteral("About to Set ISO:") + stepIso_);
    link().setISO(stepIso_);
    runnerState_ = Runner::Settling;
    // The camera takes its ISO while events run, until the settle timer.
    settle_->setInterval(kIsoSettleMs);
}

void frmAutomate::nextStepFromTheLoop() {
    // The next step starts once the loop has handled what the last one left.
    platform::handToTheLoop();
    QMetaObject::invokeMethod(this, &frmAutomate::stepDone, Qt::QueuedConnection);
}

void frmAutomate::stepDone() {
    if (runnerState_ != Runner::Running) return;
    // The capture window may have been closed during the run.
    if (captureGone()) return endWithoutTheCaptureWindow();
    if (bCancelSequence) return endSequence();
    log(QStringLiteral("----sequence :") + QString::number(iCurrentStep) +
        QStringLiteral(" Complete."));
    ++iCurrentStep;
    runStep();
}

bool frmAutomate::captureGone() const {
    // A closed capture window is unloaded at once and deleted later: no step
    // starts on it, even while it still exists.
    return !capture_ || windows().ifLoaded(Win::frmCapture) != capture_.data();
}

void frmAutomate::endWithoutTheCaptureWindow() {
    log(QStringLiteral("Sequence ended: the capture window is gone"));
    bCancelSequence = true;
    endSequence();
}

void frmAutomate::endSequence() {
    settle_->setInterval(0);
    poll_->setInterval(0);
    runnerState_ = Runner::Idle;
    unsetCursor();
    // A sequence that missed frames says how many, where its runs say theirs,
    // and is no success to sound the alarm for.
    frmCapture* capture = captureWindow(false);
    if (framesMissed_ > 0) {
        const QString summary = PlannedRun::missingText(framesMissed_, framesPlanned_);
        log(summary);
        if (capture) capture->showRunNotice(summary);
    } else if (iCurrentStep >= iStepCount && capture) {
        capture->SoundAlarm();
    }
    setStatus(QStringLiteral("Sequence Complete"));
    state().bSequenceRunning = false;
    log(QStringLiteral("----sequence Complete---------"));
}

void frmAutomate::cbCancelSeq_Click() {
    bCancelSequence = true;
    unsetCursor();
    state().bSequenceRunning = false;
    if (frmCapture* c = captureWindow(false)) guarded([&] { c->cbExpStop_Click(); });
    // A step waiting for its ISO ends now; a running step ends when its run returns.
    if (runnerState_ == Runner::Settling || runnerState_ == Runner::Connecting) endSequence();
}

}  // namespace zelmora::capture
