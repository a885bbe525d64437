#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>

#include "platform/automation/Control.h"
#include "platform/automation/Dispatch.h"
#include "vosquin/VosquinModule.h"

namespace zelmora::automation {
class ControlHost;
}

namespace zelmora::vosquin {

// The host's side of the Vosquin control (linked into the program, not part of the
// control's library). It creates the control by its class name, places it in a
// ControlHost, and calls every member through its published dispatch identifier; the control's
// seven events arrive as signals, on the GUI thread, while the control fires them (as the control's
// events always have).
//
// Registration: when the class is not registered, or its registered library is
// missing or cannot be loaded, the library shipped beside the program
// (<program folder>/libvosquin.so) is registered and creation tried again, so a
// fresh installation works out of the box.
//
// Do not destroy the control from inside one of its signals: the control is still
// running the code that fired it. Unload with deleteLater or after the handler.
class VosquinHost : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kClassName = module::kControlProgId;
    static constexpr const char* kLibraryFileName = "libvosquin.so";

    explicit VosquinHost(QObject* parent = nullptr);
    ~VosquinHost() override;

    // Creates the control by class name (registering the library shipped in
    // libraryFolder, by default the program's folder, when needed), tells it where
    // to keep its log (the application folder; "" = the current folder) and hosts
    // it in host, which creates its window. Throws AppError when the control cannot
    // be created.
    void load(automation::ControlHost& host, const QString& logFolder = {},
              const QString& libraryFolder = {});
    // Drives a control placed elsewhere (not owned). Call detach() before that control
    // goes. A control load() placed is let go of whenever its ControlHost removes it
    // (clear, setControl, the host's end).
    void attach(automation::IControl* control);
    void detach();
    automation::IControl* control() const { return control_; }

    // Registers the library in folder (default: the program's folder) when the class
    // is not registered, its library is missing, or another library is registered
    // while the one in folder exists (traced). Returns whether the class is
    // registered afterwards.
    static bool ensureRegistered(const QString& folder = {});

    // Properties.
    QString CamModel() const;
    bool ThumbPc() const;
    void setThumbPc(bool on);
    bool PicPc() const;
    void setPicPc(bool on);
    bool ThumbCam() const;
    void setThumbCam(bool on);
    bool PicCam() const;
    void setPicCam(bool on);
    QString SavePath() const;
    void setSavePath(const QString& path);
    QString Tv() const;
    void setTv(const QString& tv);
    QString Av() const;
    void setAv(const QString& av);
    bool Connected() const;
    bool FocusMode() const;
    void setFocusMode(bool on);
    bool MirrorLock() const;
    QString FileName() const;
    void setFileName(const QString& stem);
    std::int16_t NoShotsLeft() const;
    QString ImageQuality() const;
    void setImageQuality(const QString& quality);
    QString ImageSize() const;
    void setImageSize(const QString& size);
    QString ISO() const;
    void setISO(const QString& iso);
    QString ShootingMode() const;
    bool SaveFocusImages() const;
    void setSaveFocusImages(bool on);
    QString FocusSavePath() const;
    void setFocusSavePath(const QString& path);
    bool WaitingForDownload() const;
    void setWaitingForDownload(bool on);
    QString AllowedTv() const;
    std::int32_t PicturesToCome() const;

    // Methods.
    std::int32_t Connect();
    std::int32_t Disconnect();
    std::int32_t End();
    std::int32_t Release();
    void RequestBatteryLevel();
    QString DevlopRaw(const QString& fileToDevelop);

signals:
    void OnComplete(const QString& FileName);
    void OnConnected(const QString& CamModel);
    void OnDisconnected();
    void OnBatteryLevelChange(const QString& BatteryLevel);
    void OnReadyForRelease(bool ReadyState);
    void OnStatusUpdate(const QString& CamStatus);
    void OnBulbMode(bool BulbMode);

private:
    class Sink;
    automation::Variant get(automation::DispId id) const;
    void put(automation::DispId id, automation::Variant value);
    automation::Variant call(automation::DispId id, std::vector<automation::Variant> args = {});
    automation::IControl& require() const;
    void dispatchEvent(automation::DispId id, const std::vector<automation::Variant>& args);

    automation::IControl* control_ = nullptr;
    std::unique_ptr<Sink> sink_;
    std::uint32_t cookie_ = 0;
};

}  // namespace zelmora::vosquin
