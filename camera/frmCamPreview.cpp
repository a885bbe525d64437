#include "camera/frmCamPreview.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "camera/CameraCardImages.h"
#include "camera/clsCamera.h"
#include "platform/os/Dialogs.h"
#include "platform/time/Clock.h"
#include "platform/time/Timer.h"
#include "shell/ProgramState.h"

namespace zelmora {

QString& frmCamPreview::sPreviewFile() {
    static QString file;
    return file;
}

frmCamPreview::frmCamPreview(std::shared_ptr<clsCamera> camera, CameraCardImages& card,
                             QWidget* parent)
    : QDialog(parent), camera_(std::move(camera)), card_(card) {
    setWindowTitle(QStringLiteral("Camera Image Selection"));
    auto* layout = new QVBoxLayout(this);
    lstItemList = new QListWidget(this);
    lstItemList->setObjectName(QStringLiteral("lstItemList"));
    cbPreview = new QPushButton(QStringLiteral("Preview"), this);
    cbPreview->setObjectName(QStringLiteral("cbPreview"));
    lblStatus = new QLabel(QStringLiteral("Downloading Image from camera. Please Wait"), this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    layout->addWidget(lstItemList);
    layout->addWidget(lblStatus);
    layout->addWidget(cbPreview);
    lblStatus->hide();
    connect(cbPreview, &QPushButton::clicked, this, &frmCamPreview::cbPreview_Click);
    connect(lstItemList, &QListWidget::itemDoubleClicked, this, &frmCamPreview::cbPreview_Click);
    if (camera_ && camera_->connected()) {
        card_.GetImageItem();
        card_.GetCamImageList(lstItemList);
    } else {
        platform::Dialogs::msgBox(
            QStringLiteral("Camera must be connected to Zelmora to preview jpg images! "
                           "Connect camera and try again."));
    }
}

frmCamPreview::~frmCamPreview() = default;

void frmCamPreview::cbPreview_Click() {
    QListWidgetItem* row = lstItemList->currentItem();
    if (!row || !lstItemList->currentItem()->isSelected()) return;
    auto item = static_cast<RCHandle>(row->data(Qt::UserRole).toUInt());
    const QString name = row->text();
    // Events run while the picture comes: the window may be closed and deleted
    // meanwhile. The busy cursor goes on every way out.
    const QPointer<frmCamPreview> self(this);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct Busy {
        ~Busy() { QApplication::restoreOverrideCursor(); }
    } busy;
    const bool raw = card_.CheckNeedDevelop(item);
    lblStatus->show();
    repaint();
    platform::passEvents();
    if (!self) return;
    sPreviewFile() = card_.GetImageData(1, item, name);
    if (raw && !sPreviewFile().isEmpty()) {
        lblStatus->setText(QStringLiteral("Extracting JPG from RAW"));
        repaint();
        platform::passEvents();
        if (!self) return;
        sPreviewFile() = card_.developIt(sPreviewFile());
    }
    lblStatus->hide();
    close();
}

frmLowBattery::frmLowBattery(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Low Battery Warning!"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Low Battery!!!"), this));
    auto* text =
        new QLabel(QStringLiteral("Your battery level is Weak. Plug in your AC connector or change "
                                  "batteries as soon as possible"),
                   this);
    text->setWordWrap(true);
    layout->addWidget(text);
    cbOk = new QPushButton(QStringLiteral("Ok"), this);
    cbOk->setObjectName(QStringLiteral("cbOk"));
    layout->addWidget(cbOk);
    connect(cbOk, &QPushButton::clicked, this, &QDialog::close);
    auto* timer = new platform::Timer(this);
    timer->setInterval(5000);
    connect(timer, &platform::Timer::timeout, this, &frmLowBattery::Timer1_Timer);
}

void frmLowBattery::Timer1_Timer() {
    // Never take the focus from a message box the user is answering.
    if (state().bMsgBoxShowing) return;
    ++raised_;
    raise();
    activateWindow();
}

}  // namespace zelmora
