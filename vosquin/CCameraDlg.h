#pragma once

#include <QObject>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/automation/Variant.h"
#include "platform/rcsdk/RemoteCapture.h"
#include "vosquin/CLogFile.h"
#include "vosquin/CReleaseQueue.h"
#include "vosquin/ComboModel.h"
#include "vosquin/VosquinInterface.h"

namespace zelmora::vosquin {

// The camera dialog: everything the control does. It connects a camera through the
// remote-capture library, keeps the setting lists, releases the shutter, downloads
// each image the library reports and tells its control through events.
//
// This object holds the dialog's state without a window, so it runs headless; the
// view (CameraDlgView) only mirrors it and forwards clicks. "The dialog exists"
// means its window has been created (create() ran the start-up) and not destroyed.
//
// Threads: the library calls OnCameraEvent on a thread of its own. That path only
// touches the queue (with the save folder's copy), the log and posted events;
// everything else runs on the GUI thread, which owns this object.
class CCameraDlg : public QObject {
    Q_OBJECT
public:
    enum Box : int { kThumbPc, kPicPc, kThumbCam, kPicCam };
    enum List : int { kIso, kMode, kTv, kAv, kQuality };
    using EventSink =
        std::function<void(automation::DispId, const std::vector<automation::Variant>&)>;

    explicit CCameraDlg(QObject* parent = nullptr);
    ~CCameraDlg() override;

    // Where logfile.txt goes for dialogs created from now on ("" = the current folder).
    static void setLogFolder(const std::string& folder);
    static std::string logFolder();

    // The window's life. create() runs the start-up and answers whether the dialog
    // exists afterwards; hasParentControl says whether a control window holds it
    // (without one, events are dropped). destroy() ends any session, finishes the
    // library and closes the log.
    bool create(bool hasParentControl);
    void destroy();
    bool exists() const { return created_; }
    void setEventSink(EventSink sink) { sink_ = std::move(sink); }
    // A control window now holds the dialog (made by Connect before there was one).
    void setHasParentControl(bool on) { hasParent_ = on; }

    // Buttons and the control's methods.
    void ConnectCamera();
    void DisconnectCamera();
    void EndSession();
    // The Release method's answer (kReleaseNotReady, kReleaseBusy, 0 or the
    // library's code).
    std::int32_t ReleaseShutter();
    void browseSaveFolder();  // the "..." button
    void ReadBatteryLevel();
    bool GetMirrorLock();
    std::string DevelopRaw(const std::string& rawPath);

    // The four download-kind boxes: a click in the window, or the host's put (which
    // sets the box whether or not it is enabled, then runs its handler).
    bool boxChecked(Box box) const { return boxes_[box].checked; }
    bool boxEnabled(Box box) const { return boxes_[box].enabled; }
    void clickBox(Box box, bool checked);
    void putBox(Box box, bool checked);

    // The setting lists: the user's choice, and the host's puts by text.
    const ComboModel& list(List which) const { return lists_[which]; }
    void selectionChanged(List which, int index);
    void putTv(const std::string& text);
    void putAv(const std::string& text);
    void putIso(const std::string& text);
    void putImageQuality(const std::string& text);

    // Reads from the camera, now.
    std::int16_t shotsLeft();
    std::string imageQualityText();
    std::string imageSizeText();
    std::string shootingModeText();

    // Texts and flags behind the control's properties.
    std::string savePath() const { return savePath_; }
    void setSavePath(const std::string& path);
    std::string cameraModel() const { return model_; }
    std::string allowedTv() const { return allowedTv_; }
    bool connected() const { return connected_; }
    bool focusMode() const { return focusMode_; }
    void setFocusMode(bool on) { focusMode_ = on; }
    bool saveFocusImages() const { return keepFocusImages_; }
    void setSaveFocusImages(bool on) { keepFocusImages_ = on; }
    std::string fileName() const { return stem_; }
    void setFileName(const std::string& stem) { stem_ = stem; }
    std::string focusSavePath() const { return focusFolder_; }
    void setFocusSavePath(const std::string& folder) { focusFolder_ = folder; }
    bool waitingForDownload() const { return waiting_; }
    void setWaitingForDownload(bool on) { waiting_ = on; }
    int picturesToCome() const { return picturesToCome_.load(); }

    // Window state, for the view and for tests.
    bool connectEnabled() const { return connectEnabled_; }
    bool disconnectEnabled() const { return disconnectEnabled_; }
    bool releaseEnabled() const { return releaseEnabled_; }
    bool settingsVisible() const { return settingsVisible_; }
    int progress() const { return progress_; }
    bool memoryCard() const { return card_; }
    RCHandle source() const { return source_.load(); }
    std::size_t queuedImages() const { return queue_.size(); }

    // The release kinds from the boxes, told to the library and the host. Returns 0
    // or the library's code.
    RCResult UpdateReleaseKind();

signals:
    // The state changed; the view refreshes.
    void changed();

protected:
    void customEvent(QEvent* event) override;

private:
    struct BoxState {
        bool checked = false;
        bool enabled = false;
    };

    void fire(automation::DispId id, std::vector<automation::Variant> args = {});
    void notify() { emit changed(); }
    void logLine(const std::string& line) { log_.WriteLine(line); }
    void logCode(const std::string& what, RCResult code);
    void goIdle();
    void enableBox(Box box, bool on) { boxes_[box].enabled = on; }
    bool anyBoxChecked() const;

    // Connect steps.
    RCResult readMemoryCard(RCHandle source, bool& card);
    RCResult readProperty(RCHandle source, std::uint32_t id, void* data, std::uint32_t size);
    void listCustomFunctions();
    void logCustomFunction(const RCCustomFunction& f);
    RCResult closeSession(RCHandle source);

    // Setting lists.
    void refillAll();
    void fillIso();
    void fillMode();
    void fillQuality();
    void modeGate();
    void fillTv(std::uint16_t mode);
    void fillAv(std::uint16_t mode);
    void applyIso();
    void applyMode();
    void applyTv();
    void applyAv();
    void applyQuality();
    void putByText(List which, const std::string& text, const char* what);

    // Release and download.
    void boxHandler(Box box);
    void OnCameraEvent(std::uint32_t event, const void* data);
    void DownloadImage(const ReleaseRecord& record);
    void onProgress(std::uint32_t percent);
    void postToSelf(int type);
    // The capture session's callback: reaches the dialog only while it lives, so a
    // session the library failed to end cannot call into a destroyed dialog.
    static std::uint32_t onCameraEventThunk(std::uint32_t event, const void* data,
                                            std::uint32_t unused, void* context);
    static std::uint32_t progressThunk(std::uint32_t percent, std::uint32_t unused, void* context);

    EventSink sink_;
    bool created_ = false;
    // Set while destroy() runs: nothing queued is downloaded and no event is fired,
    // even when a box shown on the way pumps events.
    bool closing_ = false;
    bool hasParent_ = false;
    int releaseCompleteType_ = -1;
    int changeByUiType_ = -1;

    CLogFile log_;
    CReleaseQueue queue_;
    const std::string exeFolder_;  // read by the library thread: fixed at construction

    std::atomic<RCHandle> source_{0};
    bool sessionOpen_ = false;
    RCHandle callbackRegistration_ = 0;
    bool card_ = false;
    bool connected_ = false;
    bool focusMode_ = false;
    bool keepFocusImages_ = false;
    bool waiting_ = false;
    // The pictures of the last release not reported yet: the count the camera
    // gives when the release completes (the library's thread), less one for
    // each picture downloaded or failed.
    std::atomic<int> picturesToCome_{0};
    std::string model_;
    std::string focusFolder_;
    std::string stem_;
    std::string allowedTv_;
    std::string savePath_;

    bool connectEnabled_ = false;
    bool disconnectEnabled_ = false;
    bool releaseEnabled_ = false;
    bool downloading_ = false;  // an image is coming down right now
    bool settingsVisible_ = true;
    int progress_ = 0;
    std::array<BoxState, 4> boxes_{};
    std::array<ComboModel, 5> lists_{ComboModel(true), ComboModel(false), ComboModel(false),
                                     ComboModel(false), ComboModel(true)};
    bool modeBoxShowing_ = false;
};

}  // namespace zelmora::vosquin
