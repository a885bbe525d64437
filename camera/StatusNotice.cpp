#include "camera/StatusNotice.h"

#include <QDialog>
#include <QLabel>
#include <QVBoxLayout>

namespace zelmora {

StatusNotice::~StatusNotice() {
    close();
}

void StatusNotice::show() {
    if (!window_) {
        window_ = new QDialog;
        window_->setAttribute(Qt::WA_DeleteOnClose);
        window_->setWindowTitle(QStringLiteral("Image Downloading"));
        auto* layout = new QVBoxLayout(window_);
        layout->addWidget(new QLabel(QStringLiteral("Downloading. Please wait"), window_));
    }
    window_->show();
    window_->repaint();
}

void StatusNotice::close() {
    if (window_) window_->close();
}

}  // namespace zelmora
