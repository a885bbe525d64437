#pragma once

#include <QComboBox>
#include <QStringList>

#include "capture/CameraLink.h"

namespace zelmora::capture::testing {

// A camera as the capture window sees it, recording what it is told.
class FakeCameraLink : public CameraLink {
public:
    bool isConnected = false;
    bool focusMode = false;
    bool shortExposureCapture = false;
    QString tv;
    bool mirrorLock = false;
    QString iso = QStringLiteral("400");
    QString quality = QStringLiteral("Raw");
    std::optional<std::int16_t> shotsLeft = 120;
    bool picPc = false, picCam = false, thumbPc = false;
    QString savePath, fileName;
    QStringList allowedTvs = {"Bulb", "30''", "1''3", "1/125"};
    bool windowLoaded = false;
    QStringList calls;

    bool connected() const override { return isConnected; }
    bool FocusMode() const override { return focusMode; }
    void setShortExposureCapture(bool v) override { shortExposureCapture = v; }
    QString Tv() override { return tv; }
    void setTv(const QString& t) override {
        tv = t;
        calls << "setTv " + t;
    }
    bool MirrorLock() override { return mirrorLock; }
    QString ISO() override { return iso; }
    QString ImageQuality() override { return quality; }
    std::optional<std::int16_t> NoShotsLeft() override { return shotsLeft; }
    bool PicPc() override { return picPc; }
    void setPicPc(bool on) override { picPc = on; }
    bool PicCam() override { return picCam; }
    void setPicCam(bool on) override { picCam = on; }
    void setThumbPc(bool on) override { thumbPc = on; }
    void setSavePath(const QString& p) override { savePath = p; }
    void setFileName(const QString& s) override { fileName = s; }
    void setWaitingForDownload(bool) override {}
    void Release() override { calls << "Release"; }
    bool cameraWindowLoaded() const override { return windowLoaded; }
    void showCameraWindow() override {
        windowLoaded = true;
        calls << "showCameraWindow";
    }
    void doconnect() override { calls << "doconnect"; }
    void SetCaptureMode() override { calls << "SetCaptureMode"; }
    void LoadAllowedTvs(QComboBox* combo) override {
        for (int i = 0; i < allowedTvs.size(); ++i) combo->addItem(allowedTvs[i], i);
    }
    void LogSettings() override { calls << "LogSettings"; }
};

}  // namespace zelmora::capture::testing
