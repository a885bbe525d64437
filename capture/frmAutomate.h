#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <vector>

#include "capture/ExposureFile.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace zelmora::platform {
class Timer;
}

namespace zelmora::capture {

class frmCapture;

// "Exposure Sequencing": a list of exposure steps kept in an exposure file,
// run one step after another through the capture window. The runner is a
// small state machine: it fills the capture window's boxes, starts one run and
// goes on when that run reports its end.
class frmAutomate : public QWidget {
    Q_OBJECT
public:
    static inline const QString kCaption = QStringLiteral("Exposure Sequencing");

    explicit frmAutomate(QWidget* parent = nullptr);
    ~frmAutomate() override;

    // Buttons and list, public so that tests drive the window like its controls.
    void cbAdd_Click();
    void cbModify_Click();
    void cbDelete_Click();
    void lbExposures_DblClick();
    void cbLoadFile_Click();
    void Command1_Click();
    void chConnForISO_Click();
    void cbStart_Click();
    void cbCancelSeq_Click();
    void CancelSeqClick() { cbCancelSeq_Click(); }

    void ReadExposureFile();
    void WriteExpFile();
    void SequenceExp();
    // The rows of the list as texts (row 0 the heading).
    QStringList rows() const;
    bool sequenceActive() const { return runnerState_ != Runner::Idle; }

    QString sExposureFileName;
    bool bConnectToChangeISO = false;
    bool bCancelSequence = false;
    std::int32_t iStepCount = 0;
    std::int32_t iCurrentStep = 0;
    std::vector<QStringList> vStepTable;

    QListWidget* lbExposures = nullptr;
    QGroupBox* frAddModify = nullptr;
    QLineEdit* txtNoExp = nullptr;
    QLineEdit* txtExpLength = nullptr;
    QComboBox* lbTv = nullptr;
    QLineEdit* txtDelayBetwExp = nullptr;
    QComboBox* lbISOSpeed = nullptr;
    QPushButton* cbAdd = nullptr;
    QPushButton* cbModify = nullptr;
    QPushButton* cbDelete = nullptr;
    QGroupBox* frFile = nullptr;
    QPushButton* cbLoadFile = nullptr;
    QPushButton* Command1 = nullptr;
    QCheckBox* chConnForISO = nullptr;
    QPushButton* cbStart = nullptr;
    QPushButton* cbCancelSeq = nullptr;

    // How long the runner waits for the camera to connect before setting an ISO
    // with "Only connect  to change ISO".
    static constexpr int kConnectTimeoutMs = 30'000;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    enum class Runner { Idle, Connecting, Settling, Running };

    void Form_Load();
    void Form_Unload();
    void LoadTvList();
    // The list's steps, and the list made of `steps` (with the heading row
    // when `heading`), `current` the row selected afterwards.
    std::vector<expfile::ListedStep> listedSteps() const;
    void showSteps(const std::vector<expfile::ListedStep>& steps, bool heading, int current);
    // The list shows `read`, the window's file from now on; what to tell of
    // it when it does not read as whole steps, else nothing.
    QString keepFile(const QString& path, const expfile::ReadResult& read, bool heading);
    // The file the list is kept in.
    QString windowFile() const;
    // The step the edit fields make, as its record and the row that record
    // reads back as; none, after a box saying why, when it has no record.
    std::optional<expfile::ListedStep> stepFromFields(const QString& exposure);
    // Writes `steps` to `path` over the window's file, which it becomes, and
    // lists them as written, `current` selected; false, after a box saying
    // why, when not written.
    bool saveSteps(const QString& path, const std::vector<expfile::ListedStep>& steps, int current);
    // A file that does not read as whole steps is rewritten only when the
    // user says yes.
    bool mayRewrite();
    // An edit: `steps` replace the list once the window's file holds them.
    bool applyEdit(const std::vector<expfile::ListedStep>& steps, int current);
    bool AddExposureRow();
    void ModifyExposureRow(int row);
    bool shortMode() const;
    int selectedStepRow(const QString& noSelectionMessage);
    void failSequence();
    void runStep();
    void startStep();
    void afterIsoSet();
    void connectPoll();
    // Sets the step's ISO on the camera and gives it time to settle.
    void setIsoAndSettle();
    void nextStepFromTheLoop();
    void stepDone();
    bool captureGone() const;
    void endWithoutTheCaptureWindow();
    void endSequence();
    void setStatus(const QString& text);
    frmCapture* captureWindow(bool load) const;

    Runner runnerState_ = Runner::Idle;
    platform::Timer* settle_ = nullptr;
    platform::Timer* poll_ = nullptr;
    qint64 connectDeadline_ = 0;
    QPointer<frmCapture> capture_;
    // Why the window's file could not be read when the window opened: it is
    // never written over until another file is loaded or saved.
    QString fileProblem_;
    // The window's file as last read or written: a rewrite keeps its lines
    // but those of the steps edited.
    expfile::ReadResult kept_;
    // Said in a box once the window is up, never while it is being built.
    QString noticeOnShow_;
    QString stepIso_;
    bool unloaded_ = false;
    bool starting_ = false;       // Start Sequence is in its checks
    bool stepEnded_ = false;      // the running step's run has reported its end
    bool shortSequence_ = false;  // the running sequence's mode
    // The frames the sequence's runs were to take, and those they missed.
    std::int32_t framesPlanned_ = 0;
    std::int32_t framesMissed_ = 0;
};

}  // namespace zelmora::capture
