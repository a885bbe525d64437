#include "cables/frmNewPortAddress.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include "cables/CableSetup.h"
#include "cables/PPortControl.h"
#include "cables/frmSelectPort.h"
#include "platform/os/Dialogs.h"
#include "shell/Errors.h"
#include "shell/MainWindow.h"
#include "shell/WindowRegistry.h"

namespace zelmora::cables {

void centreOnScreen(QWidget* w) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->geometry();
    w->move(area.x() + (area.width() - w->width()) / 2,
            area.y() + (area.height() - w->height()) / 2);
}

namespace {

// Port Setup's dialog, or the main window's when opened on its own: a click in
// the window it belongs to leaves it in front instead of out of sight behind.
QWidget* ownerOf(QWidget* parent) {
    if (parent) return parent;
    if (QWidget* setup = windows().ifLoaded(Win::frmSelectPort)) return setup;
    return dynamic_cast<QWidget*>(mainWindow());
}

}  // namespace

frmNewPortAddress::frmNewPortAddress(QWidget* parent) : QWidget(ownerOf(parent), Qt::Dialog) {
    setObjectName(kName);
    setWindowTitle(kDesignCaption);
    setProperty("designCaption", kDesignCaption);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(330, 100);
    lblAddressOfNonStandardPort = new QLabel(QStringLiteral("Address of nonstandard port:"), this);
    lblAddressOfNonStandardPort->setObjectName(QStringLiteral("lblAddressOfNonStandardPort"));
    lblAddressOfNonStandardPort->setGeometry(10, 15, 190, 22);
    txtAddressOfNonStandardPort = new QLineEdit(this);
    txtAddressOfNonStandardPort->setObjectName(QStringLiteral("txtAddressOfNonStandardPort"));
    txtAddressOfNonStandardPort->setGeometry(205, 13, 80, 24);
    lblh = new QLabel(QStringLiteral("h"), this);
    lblh->setObjectName(QStringLiteral("lblh"));
    lblh->setGeometry(290, 15, 20, 22);
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(120, 60, 90, 26);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setGeometry(220, 60, 90, 26);
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    centreOnScreen(this);
    windows().markLoaded(kName, this);
}

frmNewPortAddress::~frmNewPortAddress() {
    if (!unloaded_ && windows().ifLoaded(kName) == this) windows().markUnloaded(kName);
}

void frmNewPortAddress::closeEvent(QCloseEvent* event) {
    unloaded_ = true;
    windows().markUnloaded(kName);
    event->accept();
}

void frmNewPortAddress::cmdCancel_Click() {
    hide();
}

void frmNewPortAddress::cmdOK_Click() {
    trapAndTrace(QStringLiteral("frmNewPortAddress.cmdOK_Click"), [&] {
        CableSetup& c = cableSetup();
        PortSlot& user = c.PortTable[3];
        const QString text = txtAddressOfNonStandardPort->text().trimmed();
        int choose = 0;
        if (text.isEmpty()) {
            user.Address = 0;
            user.Type.clear();
            user.Enabled = false;
        } else {
            bool ok = false;
            const qlonglong address = text.toLongLong(&ok, 16);
            if (!ok || !validBaseAddress(address)) {
                platform::Dialogs::msgBox(QStringLiteral("Enter a hexadecimal address from 100 to "
                                                         "FBFD, or leave the address blank when "
                                                         "there is no port."),
                                          platform::Msg::Exclamation);
                return;
            }
            user.Address = std::uint16_t(address);
            user.Enabled = true;
            choose = 3;
        }
        if (auto* setup = windows().ifLoadedAs<frmSelectPort>(Win::frmSelectPort))
            setup->choosePort(choose);
        else
            c.selectPort(choose);
        hide();
        PPortControl::ShowPortTable();
    });
}

}  // namespace zelmora::cables
