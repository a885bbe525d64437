#include "sky/frmScopeControl.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/os/Dialogs.h"
#include "platform/time/Timer.h"
#include "shell/Conv.h"
#include "shell/Errors.h"
#include "shell/Globals.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"
#include "sky/FormParts.h"

namespace zelmora::sky {

namespace {

const QString kTelescope = QStringLiteral("Telescope");

struct JogAmount {
    const char* text;  // UTF-8
    int arcMinutes;
};
const JogAmount kJogAmounts[] = {
    {"1'", 1},
    {"2'", 2},
    {"5'", 5},
    {"10'", 10},
    {"30'", 30},
    {"1\xC2\xB0", 60},
    {"2\xC2\xB0", 120},
    {"5\xC2\xB0", 300},
    {"10\xC2\xB0", 600},
    {"30\xC2\xB0", 1800},
    {"60\xC2\xB0", 3600},
};

using form::caption;
using form::frame;
using form::named;

// A stored check box value: 1 ticks the box; anything else, a text that is no
// number included, leaves it clear.
bool storedTick(const QString& key) {
    const QString text = Settings::get(kTelescope, key, QStringLiteral("0"));
    std::int32_t value = 0;
    if (!guarded([&] { value = Conv::parseInt32(text); }))
        Globals::WriteLogLine(QStringLiteral("Bad setting Telescope ") + key + QStringLiteral("=") +
                              text + QStringLiteral(", read as 0"));
    return value == 1;
}

}  // namespace

frmScopeControl::frmScopeControl(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmScopeControl"));
    setWindowTitle(kDesignCaption);
    setProperty("designCaption", kDesignCaption);
    setAttribute(Qt::WA_DeleteOnClose);
    model_ = new ScopeControlModel(*this, this);
    buildControls();
    Form_Load();
}

frmScopeControl::~frmScopeControl() {
    // A window deleted without being closed (program end) is unloaded too.
    if (!unloaded_ && windows().ifLoaded(Win::frmScopeControl) == this)
        windows().markUnloaded(Win::frmScopeControl);
}

void frmScopeControl::buildControls() {
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setFamilies({QStringLiteral("Courier"), fixed.family()});

    auto* info = frame(this, QStringLiteral("Telescope Information"), 10, 10, 230, 130);
    const char* names[] = {"lblRa", "lblDec", "lblAzimuth", "lblAltitude"};
    const char* captions[] = {"RA", "Dec", "Az", "Alt"};
    QLabel** labels[] = {&lblRa, &lblDec, &lblAzimuth, &lblAltitude};
    for (int i = 0; i < 4; ++i) {
        caption(info, QString::fromLatin1(captions[i]), 12, 24 + i * 25, 40);
        *labels[i] = named(new QLabel(info), QString::fromLatin1(names[i]));
        (*labels[i])->setGeometry(60, 24 + i * 25, 160, 20);
        (*labels[i])->setFont(fixed);
    }

    auto* connection = frame(this, QStringLiteral("Connection"), 250, 10, 160, 60);
    caption(connection, QStringLiteral("Status"), 12, 26, 50);
    shStatus = named(new QFrame(connection), QStringLiteral("shStatus"));
    shStatus->setGeometry(70, 26, 20, 20);
    shStatus->setFrameShape(QFrame::Box);
    shStatus->setAutoFillBackground(true);
    shStatus->setToolTip(QStringLiteral("Green = Connected, Red = Disconnected"));
    showLamp(model_->lamp());
    cmdSetup =
        named(new QPushButton(QStringLiteral("Settings..."), this), QStringLiteral("cmdSetup"));
    cmdSetup->setGeometry(250, 80, 160, 28);
    cmdSetup->setToolTip(QStringLiteral("Bring up telescope setup dialog"));
    connect(cmdSetup, &QPushButton::clicked, this, [this] {
        trapAndTrace(QStringLiteral("frmScopeControl.cmdSetup_Click"),
                     [&] { model_->cmdSetup_Click(); });
    });

    auto* motion = frame(this, QStringLiteral("Motion Control"), 10, 150, 400, 140);
    // Up/north above, down/south below, east or more azimuth to the right.
    const QPoint places[] = {{}, {50, 22}, {50, 94}, {90, 58}, {10, 58}, {50, 58}};
    for (int i = 1; i <= 5; ++i) {
        cmdSlew[i] = named(new QPushButton(motion), QStringLiteral("cmdSlew%1").arg(i));
        cmdSlew[i]->setGeometry(places[i].x(), places[i].y(), 36, 34);
        cmdSlew[i]->setToolTip(i == 5 ? QStringLiteral("Halt all scope motion")
                                      : QStringLiteral("Jog scope direction indicated"));
        const auto index = static_cast<std::int16_t>(i);
        connect(cmdSlew[i], &QPushButton::pressed, this,
                [this, index] { model_->cmdSlew_MouseDown(index); });
        connect(cmdSlew[i], &QPushButton::released, this, [this] { model_->cmdSlew_MouseUp(); });
    }
    cmdSlew[5]->setText(QString(QChar(0x25A0)));  // a stop square

    cbJog = named(new QComboBox(motion), QStringLiteral("cbJog"));
    cbJog->setGeometry(150, 26, 80, 26);
    cbJog->setToolTip(QStringLiteral("Amount to jog scope by"));
    for (const JogAmount& j : kJogAmounts) cbJog->addItem(QString::fromUtf8(j.text), j.arcMinutes);
    Sync = named(new QPushButton(QStringLiteral("Sync"), motion), QStringLiteral("Sync"));
    Sync->setGeometry(150, 62, 80, 28);
    Sync->setToolTip(QStringLiteral("Syncronise scope with current position"));
    connect(Sync, &QPushButton::clicked, this, [this] {
        trapAndTrace(QStringLiteral("frmScopeControl.Sync_Click"), [&] { model_->Sync_Click(); });
    });
    Check1 = named(new QCheckBox(QStringLiteral("Reverse E W"), motion), QStringLiteral("Check1"));
    Check1->setGeometry(250, 30, 140, 22);
    Check2 = named(new QCheckBox(QStringLiteral("Reverse N S"), motion), QStringLiteral("Check2"));
    Check2->setGeometry(250, 60, 140, 22);
    connect(Check1, &QCheckBox::clicked, this, [this] { Check1_Click(); });
    connect(Check2, &QCheckBox::clicked, this, [this] { Check2_Click(); });

    auto* target = frame(this, QStringLiteral("Target position"), 10, 300, 400, 130);
    caption(target, QStringLiteral("Object:"), 12, 28, 50);
    cbObjects = named(new QComboBox(target), QStringLiteral("cbObjects"));
    cbObjects->setGeometry(70, 24, 320, 26);
    cbObjects->setToolTip(QStringLiteral("Messier, NGC & Custom Objects"));
    connect(cbObjects, &QComboBox::activated, this, [this] {
        trapAndTrace(QStringLiteral("frmScopeControl.cbObjects_Click"), [&] { cbObjects_Click(); });
    });
    caption(target, QStringLiteral("Ra:"), 12, 62, 40);
    txtRa =
        named(new QLineEdit(ScopeControlModel::kRaPlaceholder, target), QStringLiteral("txtRa"));
    txtRa->setGeometry(70, 58, 150, 26);
    txtRa->setToolTip(QStringLiteral("Selected Objects Right Ascention"));
    caption(target, QStringLiteral("Dec:"), 12, 94, 40);
    txtDec =
        named(new QLineEdit(ScopeControlModel::kDecPlaceholder, target), QStringLiteral("txtDec"));
    txtDec->setGeometry(70, 90, 150, 26);
    txtDec->setToolTip(QStringLiteral("Selected Objects Declination"));
    cbSlew = named(new QPushButton(QStringLiteral("Slew to"), target), QStringLiteral("cbSlew"));
    cbSlew->setGeometry(250, 72, 120, 30);
    cbSlew->setToolTip(QStringLiteral("Slew Telescope to given co-ordinates"));
    connect(cbSlew, &QPushButton::clicked, this, [this] {
        trapAndTrace(QStringLiteral("frmScopeControl.cbSlew_Click"), [&] { cbSlew_Click(); });
    });

    setFixedSize(420, 440);
}

void frmScopeControl::Form_Load() {
    trapAndTrace(QStringLiteral("frmScopeControl.Form_Load"), [&] {
        Globals::RestoreFormPosition(this, kDesignCaption);
        model_->setSouthernHemisphere(false);
        model_->setAlignMode(1);
        cbJog->setCurrentIndex(2);
    });
    trapAndTrace(QStringLiteral("frmScopeControl.ProbeScope"), [&] { model_->ProbeScope(); });
    model_->SetJogCaptions();
    loadCatalogue();
    trapAndTrace(QStringLiteral("frmScopeControl.Form_Load"), [&] {
        Check1->setChecked(storedTick(QStringLiteral("RevereseEW")));
        Check2->setChecked(storedTick(QStringLiteral("RevereseNS")));
        // The flags follow the boxes even when a box kept its state.
        Check1_Click();
        Check2_Click();
    });
    windows().markLoaded(Win::frmScopeControl, this);
}

void frmScopeControl::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    model_->timer().setEnabled(false);
    model_->Timer2().setInterval(0);
    trapAndTrace(QStringLiteral("frmScopeControl.Form_Unload"), [&] {
        Globals::SaveFormPosition(this, kDesignCaption);
        Settings::save(kTelescope, QStringLiteral("RevereseEW"),
                       Check1->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
        Settings::save(kTelescope, QStringLiteral("RevereseNS"),
                       Check2->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    });
    windows().markUnloaded(Win::frmScopeControl);
}

void frmScopeControl::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

void frmScopeControl::loadCatalogue() {
    records_.clear();
    cbObjects->clear();
    const CatalogueFile::ReadResult result = CatalogueFile::read(state().sCatalogueFile);
    records_ = result.records;
    QStringList entries;
    for (const CatalogueObject& r : records_) entries << r.entryText();
    {
        const QSignalBlocker block(cbObjects);
        for (int i = 0; i < entries.size(); ++i) cbObjects->addItem(entries[i], i);
        cbObjects->setCurrentIndex(-1);
    }
    if (!result.ok) {
        Globals::WriteLogLine(QStringLiteral("Object catalogue ") + state().sCatalogueFile +
                              QStringLiteral(": ") + result.problem);
        platform::Dialogs::msgBox(
            QStringLiteral(
                "Unable to load ObjectCtalogue file. Check the formatting and try again!"),
            platform::Msg::OKOnly);
    }
}

void frmScopeControl::cbObjects_Click() {
    const QVariant data = cbObjects->currentData();
    if (!data.isValid()) return;
    const int k = data.toInt();
    if (k < 0 || k >= int(records_.size())) return;
    txtRa->setText(records_[k].ra());
    txtDec->setText(records_[k].dec());
}

void frmScopeControl::cbSlew_Click() {
    model_->cbSlew_Click(txtRa->text(), txtDec->text());
}

void frmScopeControl::Check1_Click() {
    scopeState().bReverseEW = Check1->isChecked();
}

void frmScopeControl::Check2_Click() {
    scopeState().bReverseNS = Check2->isChecked();
}

int frmScopeControl::jogArcMinutes() const {
    return cbJog->currentData().toInt();
}

void frmScopeControl::showRightAscension(const QString& text) {
    lblRa->setText(text);
}

void frmScopeControl::showDeclination(const QString& text) {
    lblDec->setText(text);
}

void frmScopeControl::showAzimuth(const QString& text) {
    lblAzimuth->setText(text);
}

void frmScopeControl::showAltitude(const QString& text) {
    lblAltitude->setText(text);
}

void frmScopeControl::showLamp(std::uint32_t bgr) {
    if (!shStatus) return;
    QPalette p = shStatus->palette();
    p.setColor(QPalette::Window, Conv::colorFromBgr(bgr));
    shStatus->setPalette(p);
}

void frmScopeControl::showJogCaptions(const std::array<QString, 4>& captions) {
    for (int i = 0; i < 4; ++i)
        if (cmdSlew[i + 1]) cmdSlew[i + 1]->setText(captions[i]);
}

}  // namespace zelmora::sky
