#include "capture/frmExpCalc.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "capture/ExposureCalculation.h"
#include "capture/frmCapture.h"
#include "platform/os/Dialogs.h"
#include "shell/Conv.h"
#include "shell/Errors.h"
#include "shell/WindowRegistry.h"

namespace zelmora::capture {

namespace {
QComboBox* combo(QWidget* parent, const char* name, const QStringList& items, int y, int width) {
    auto* c = new QComboBox(parent);
    c->setObjectName(QLatin1String(name));
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->addItems(items);
    c->setCurrentIndex(-1);  // nothing chosen at start
    c->setGeometry(150, y, width, 24);
    return c;
}
void label(QWidget* parent, const QString& text, int y) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(10, y + 3, 135, 20);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}
}  // namespace

frmExpCalc::frmExpCalc(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmExpCalc"));
    setWindowTitle(kDesignCaption);
    setProperty("designCaption", kDesignCaption);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(560, 250);
    label(this, QStringLiteral("Brightness, M:"), 10);
    cbBrightness = combo(this, "cbBrightness", ExposureCalculation::brightnessList(), 10, 400);
    label(this, QStringLiteral("Film Speed:"), 40);
    cbFilmSpeed = combo(this, "cbFilmSpeed", ExposureCalculation::filmSpeedList(), 40, 120);
    label(this, QStringLiteral("Reciprocity Failure:"), 70);
    cbRecipFail = combo(this, "cbRecipFail", ExposureCalculation::recipFailList(), 70, 400);
    label(this, QStringLiteral("Filter Factor:"), 100);
    cbFilterFactor =
        combo(this, "cbFilterFactor", ExposureCalculation::filterFactorList(), 100, 400);
    label(this, QStringLiteral("f/ratio:"), 130);
    cbFRatio = combo(this, "cbFRatio", ExposureCalculation::fRatioList(), 130, 120);
    label(this, QStringLiteral("Suggested Exposure:"), 170);
    lblExposure = new QLabel(this);
    lblExposure->setObjectName(QStringLiteral("lblExposure"));
    lblExposure->setGeometry(150, 173, 250, 20);
    cbCalculate = new QPushButton(QStringLiteral("Calculate"), this);
    cbCalculate->setObjectName(QStringLiteral("cbCalculate"));
    cbCalculate->setGeometry(330, 210, 100, 28);
    cbFinish = new QPushButton(QStringLiteral("Finish"), this);
    cbFinish->setObjectName(QStringLiteral("cbFinish"));
    cbFinish->setGeometry(440, 210, 100, 28);
    connect(cbCalculate, &QPushButton::clicked, this, [this] { cbCalculate_Click(); });
    connect(cbFinish, &QPushButton::clicked, this, [this] { cbFinish_Click(); });
    windows().markLoaded(Win::frmExpCalc, this);
}

frmExpCalc::~frmExpCalc() {
    if (!unloaded_ && windows().ifLoaded(Win::frmExpCalc) == this)
        windows().markUnloaded(Win::frmExpCalc);
}

void frmExpCalc::cbCalculate_Click() {
    trapAndTrace(QStringLiteral("cbCalculate_Click"), [&] {
        const ExposureCalculation r = ExposureCalculation::calculate(
            cbBrightness->currentText(), cbFilmSpeed->currentText(), cbRecipFail->currentText(),
            cbFilterFactor->currentText(), cbFRatio->currentText());
        if (!r.ok) {
            platform::Dialogs::msgBox(r.message, platform::Msg::OKOnly);
            return;
        }
        lblExposure->setText(r.label);
        if (auto* capture = windows().ifLoadedAs<frmCapture>(Win::frmCapture)) {
            capture->txtExpMin->setText(QString::number(r.boxMinutes));
            // The capture window times whole seconds: it gets the rounded value,
            // as its own reading of the box would round it.
            capture->txtExpSec->setText(QString::number(Conv::toInt32(r.boxSeconds)));
        }
    });
}

void frmExpCalc::cbFinish_Click() {
    close();
}

void frmExpCalc::closeEvent(QCloseEvent* event) {
    if (!unloaded_) {
        unloaded_ = true;
        windows().markUnloaded(Win::frmExpCalc);
    }
    event->accept();
}

}  // namespace zelmora::capture
