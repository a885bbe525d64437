#include "shell/frmColorPick.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "shell/Conv.h"
#include "shell/Errors.h"
#include "shell/Globals.h"
#include "shell/Neighbours.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"

namespace zelmora {

frmColorPick::frmColorPick(QWidget* parent) : QWidget(parent, Qt::Tool) {
    setObjectName(QStringLiteral("frmColorPick"));
    setWindowTitle(QStringLiteral("Color Picker"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(QStringLiteral("Select your color by clicking the new color."), this));
    auto* grid = new QGridLayout;
    for (int i = 0; i < int(kColors.size()); ++i) {
        // Captions as the buttons have always carried them; the colour says the rest.
        const QString caption = i == 1                          ? QStringLiteral("Black")
                                : (i == 0 || i == 2 || i == 11) ? QStringLiteral(" ")
                                                                : QString();
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QStringLiteral("cbColor%1").arg(i));
        const QColor c = Conv::colorFromBgr(kColors[static_cast<size_t>(i)]);
        b->setStyleSheet(QStringLiteral("background-color: %1; color: %2;")
                             .arg(c.name(), c.lightness() < 128 ? QStringLiteral("white")
                                                                : QStringLiteral("black")));
        b->setMinimumSize(48, 32);
        connect(b, &QPushButton::clicked, this, [this, i] { cbColor_Click(i); });
        grid->addWidget(b, i / 4, i % 4);
        cbColor_[static_cast<size_t>(i)] = b;
    }
    layout->addLayout(grid);
    auto* buttons = new QHBoxLayout;
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(ok);
    layout->addLayout(buttons);
    connect(cancel, &QPushButton::clicked, this, &frmColorPick::Cancel_Click);
    connect(ok, &QPushButton::clicked, this, [this] {
        trapAndTrace(QStringLiteral("frmColorPick.OK_Click"), [this] { OK_Click(); });
    });

    remembered_ = state().lForeColor;
    windows().markLoaded(Win::frmColorPicker, this);
}

frmColorPick::~frmColorPick() {
    windows().markUnloaded(Win::frmColorPicker);
}

void frmColorPick::cbColor_Click(int index) {
    state().lForeColor = kColors[static_cast<size_t>(index)];
}

void frmColorPick::Cancel_Click() {
    state().lForeColor = remembered_;
}

void frmColorPick::OK_Click() {
    Settings::save(QStringLiteral("Options"), QStringLiteral("Color"),
                   QString::number(state().lForeColor));
    if (auto* capture = windows().ifLoadedAs<ICaptureWindow>(Win::frmCapture))
        capture->ChangeColors();
    if (auto* analysis = windows().ifLoadedAs<IAnalysisWindow>(Win::frmAnalyze))
        analysis->ChangeColors();
    accepted_ = true;
    close();
}

void frmColorPick::closeEvent(QCloseEvent* event) {
    // Closing without "OK" is a cancel: nothing kept, nothing pushed.
    if (!accepted_) Cancel_Click();
    event->accept();
}

}  // namespace zelmora
