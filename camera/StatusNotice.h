#pragma once

#include <QDialog>
#include <QPointer>

#include "camera/DirectCameraDriver.h"

namespace zelmora {

// "Image Downloading": shown without waiting while images come down.
class StatusNotice : public DownloadNotice {
public:
    ~StatusNotice() override;
    void show() override;
    void close() override;
    QDialog* window() const { return window_; }

private:
    QPointer<QDialog> window_;
};

}  // namespace zelmora
