#pragma once

#include <QWidget>
#include <vector>

#include "shell/Neighbours.h"
#include "sky/CatalogueObject.h"
#include "sky/ScopeControlModel.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace zelmora::sky {

// "Telescope Control": the linked telescope's position and link lamp, jog
// buttons with a jog amount and a halt button, sync, the driver's own setup
// dialog, and a target taken from the object catalogue or typed in.
// The state and decisions live in ScopeControlModel; this is its view.
class frmScopeControl : public QWidget, public IScopeControlWindow, public ScopeView {
    Q_OBJECT
public:
    static inline const QString kDesignCaption = QStringLiteral("Telescope Control");

    explicit frmScopeControl(QWidget* parent = nullptr);
    ~frmScopeControl() override;

    // IScopeControlWindow
    void loadCatalogue() override;

    ScopeControlModel& model() { return *model_; }
    const std::vector<CatalogueObject>& catalogue() const { return records_; }

    // Handlers, public so that the window can be driven like its controls.
    void cbObjects_Click();
    void cbSlew_Click();
    void Check1_Click();
    void Check2_Click();

    // ScopeView
    int jogArcMinutes() const override;
    void showRightAscension(const QString& text) override;
    void showDeclination(const QString& text) override;
    void showAzimuth(const QString& text) override;
    void showAltitude(const QString& text) override;
    void showLamp(std::uint32_t bgr) override;
    void showJogCaptions(const std::array<QString, 4>& captions) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void Form_Load();
    void Form_Unload();

    ScopeControlModel* model_ = nullptr;
    std::vector<CatalogueObject> records_;

    QLabel* lblRa = nullptr;
    QLabel* lblDec = nullptr;
    QLabel* lblAzimuth = nullptr;
    QLabel* lblAltitude = nullptr;
    QFrame* shStatus = nullptr;
    QPushButton* cmdSetup = nullptr;
    QPushButton* cmdSlew[6] = {};  // 1 to 5
    QComboBox* cbJog = nullptr;
    QPushButton* Sync = nullptr;
    QCheckBox* Check1 = nullptr;
    QCheckBox* Check2 = nullptr;
    QComboBox* cbObjects = nullptr;
    QLineEdit* txtRa = nullptr;
    QLineEdit* txtDec = nullptr;
    QPushButton* cbSlew = nullptr;
    bool unloaded_ = false;
};

}  // namespace zelmora::sky
