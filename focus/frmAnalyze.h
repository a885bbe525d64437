#pragma once

#include <QWidget>
#include <array>

#include "shell/Neighbours.h"

class QGroupBox;
class QLabel;
class QListView;
class QModelIndex;
class QPushButton;

namespace zelmora::focus {

class CanvasWidget;
class FocusAnalysis;
class HistoryListModel;

// "Focus Analysis": the history of focus crops, the analysed star, its
// profiles, radial curve and trend, the figures, and the log and autofocus
// buttons. A view of the program's FocusAnalysis; every load starts a new
// history (a new star) and the focus log.
class frmAnalyze : public QWidget, public IAnalysisWindow {
    Q_OBJECT
public:
    static inline const QString kDesignCaption = QStringLiteral("Focus Analysis");

    explicit frmAnalyze(QWidget* parent = nullptr);
    ~frmAnalyze() override;

    // IAnalysisWindow
    void updateHistory() override;
    void updateHistoryOnStarClick() override;
    void ChangeColors() override;
    void StartTheFocusLog() override;
    void StopTheFocusLog() override;
    std::optional<float> GetCurrentHFWHM() const override;
    std::optional<float> GetCurrentVFWHM() const override;
    std::optional<float> GetCurrentPeakValue() const override;
    std::optional<float> GetCurrentRadialSum() const override;

    // Handlers, public so that the window can be driven like its controls.
    void cmdLog_Click();
    void cbLogTrack_Click();
    void cbAutofocus_Click();
    void ListView1_ItemClick(int index);  // 1 = oldest
    void SetlogOnOff() { cmdLog_Click(); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    // A frame of the star (byHand false) or the user's click on it.
    void addToHistory(bool byHand);
    // The box for a star the user picked by hand that has no centroid. Lets
    // events run: false when this window was closed meanwhile.
    bool tellNoCentroid();
    void Form_Load();
    void Form_Unload();
    void refresh();
    void showSource(int index);
    void giveFocusToImageWindow();
    void setHoverFlag(bool on);

    FocusAnalysis& model_;
    HistoryListModel* historyModel_ = nullptr;

    QLabel* SourcePic = nullptr;
    QLabel* picAnal = nullptr;
    QLabel* PicCal = nullptr;
    CanvasWidget* picFWHM = nullptr;
    CanvasWidget* PicRII = nullptr;
    CanvasWidget* picPlot = nullptr;
    QGroupBox* Frame1 = nullptr;
    QListView* ListView1 = nullptr;
    std::array<QLabel*, 3> lblFWHM{};
    QLabel* Label4 = nullptr;
    QLabel* lblNotice = nullptr;
    QPushButton* cmdLog = nullptr;
    QPushButton* cbLogTrack = nullptr;
    QPushButton* cbAutofocus = nullptr;

    bool unloaded_ = false;
    bool placed_ = false;
    bool hoverSetFlag_ = false;  // bMsgBoxShowing was set by the Autofocus button
};

}  // namespace zelmora::focus
