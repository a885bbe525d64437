#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <cstdint>

#include "sky/FailureTrace.h"
#include "sky/modScope.h"

namespace zelmora::platform {
class Timer;
}

namespace zelmora::sky {

// What the telescope control model shows: implemented by the window.
class ScopeView {
public:
    virtual ~ScopeView() = default;
    virtual int jogArcMinutes() const = 0;
    virtual void showRightAscension(const QString& text) = 0;
    virtual void showDeclination(const QString& text) = 0;
    virtual void showAzimuth(const QString& text) = 0;
    virtual void showAltitude(const QString& text) = 0;
    virtual void showLamp(std::uint32_t bgr) = 0;
    virtual void showJogCaptions(const std::array<QString, 4>& captions) = 0;
};

// The telescope control window's state and decisions, on the program clock:
// the link probe, the 200 ms poll with its jog latch, the 800 ms slew
// indicator, the slew command, sync and the driver's setup dialog.
class ScopeControlModel : public QObject, public ScopePollHost {
    Q_OBJECT
public:
    // Lamp colours (0x00BBGGRR).
    static constexpr std::uint32_t kBrightGreen = 0x0000FF00;
    static constexpr std::uint32_t kGreen = 0x00008000;
    static constexpr std::uint32_t kRed = 0x00000080;

    static inline const QString kRaPlaceholder = QStringLiteral("--h--m--s");
    static inline const QString kDecPlaceholder = QString::fromUtf8("--\xC2\xB0--'--.-");
    static inline const QString kInvalidCoordinates = QString::fromUtf8(
        "Invalid Co-Ordinates. Enter Valid Coordniates eg RA = 16h 46m 30.00s    "
        "Dec = +70\xC2\xB0"
        "23'00.0");

    explicit ScopeControlModel(ScopeView& view, QObject* parent = nullptr);
    ~ScopeControlModel() override;

    // The jog buttons: mouse down latches the press until a poll takes it, so
    // a click shorter than the poll interval still jogs once.
    void cmdSlew_MouseDown(std::int16_t index);
    void cmdSlew_MouseUp();
    std::int16_t ButtonState() override;  // read and clear

    bool SouthernHemisphere() const { return southern_; }
    void setSouthernHemisphere(bool value);
    std::int32_t AlignMode() const { return alignMode_; }
    void setAlignMode(std::int32_t value);
    void SetJogCaptions();
    static std::array<QString, 4> jogCaptions(std::int32_t alignMode, bool southern);

    // The link and capability probe of a newly opened window.
    void ProbeScope();
    // "Slew to" with the target boxes' texts.
    void cbSlew_Click(const QString& raText, const QString& decText);
    void Sync_Click();
    void cmdSetup_Click();
    void timer_Timer();
    void Timer2_Timer();

    std::uint32_t lamp() const { return lamp_; }
    platform::Timer& timer() { return *timer_; }
    platform::Timer& Timer2() { return *timer2_; }

    // ScopePollHost: the display goes to the view as text.
    int jogArcMinutes() const override { return view_.jogArcMinutes(); }
    void setRightAscension(double hours) override;
    void setDeclination(double degrees) override;
    void setAzimuth(double degrees) override;
    void setAltitude(double degrees) override;
    void blankEquatorial() override;
    void blankHorizontal() override;

private:
    void setLamp(std::uint32_t bgr);

    ScopeView& view_;
    platform::Timer* timer_ = nullptr;
    platform::Timer* timer2_ = nullptr;
    std::int16_t buttonState_ = 0;
    bool southern_ = false;
    std::int32_t alignMode_ = 1;
    std::uint32_t lamp_ = kRed;
    FailureTrace tickTrace_{QStringLiteral("frmScopeControl.timer_Timer")};
    FailureTrace indicatorTrace_{QStringLiteral("frmScopeControl.Timer2_Timer")};
};

}  // namespace zelmora::sky
