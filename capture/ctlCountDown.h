#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <cstdint>

class QCheckBox;
class QGroupBox;
class QLabel;

namespace zelmora::platform {
class Timer;
}

namespace zelmora::capture {

// The countdown shown during the waits of an exposure run: the remaining time
// as hh:mm:ss and, with the voice on, the remaining seconds spoken at fixed
// milestones. The run engine times the wait itself; this only shows and speaks it.
class ctlCountDown : public QWidget {
    Q_OBJECT
public:
    explicit ctlCountDown(QWidget* parent = nullptr);
    ~ctlCountDown() override;

    void setCountDownReason(const QString& reason);
    QString CountDownReason() const;
    bool WaitforVoice() const { return waitforVoice_; }
    void setWaitforVoice(bool v) { waitforVoice_ = v; }
    std::int32_t Countdowntime() const { return countdowntime_; }
    void setCountdowntime(std::int32_t seconds) { countdowntime_ = seconds; }
    bool VoiceEnabled() const { return voiceEnabled_; }
    void setVoiceEnabled(bool v) { voiceEnabled_ = v; }
    std::int32_t RemainingSeconds() const { return lRemainingSeconds_; }
    bool counting() const;

    void StartCoundown();
    void StopCountdown();
    void SoundAlarm();
    void PlayWave(const QString& fileName);
    void NumericParseTextForSound(const QString& text);
    void SymbolParseTextForSound(const QString& text);
    void ChangeColor();
    QString timeLeftText() const;

    // Handlers.
    void chVoice_Click();
    void tmrCountDown_Timer();

    // The words (wave-file names) that speak a number written in digits.
    static QStringList wordsFor(const QString& digits);
    // Whether a remaining time is spoken, and whether each word is waited for.
    enum class Milestone { None, Sync, Async };
    static Milestone milestone(std::int32_t remaining);
    static QString secsToTime(std::int64_t seconds);
    // The folder of the spoken words.
    static QString wavFolder();

signals:
    void colorChanged();
    void CountDownFinished();

private:
    void UserControl_Terminate();
    // Says the number word by word; false when the control is gone or the
    // program is ending, and nothing of it may be touched.
    bool speak(const QString& digits);

    QGroupBox* Frame5 = nullptr;
    QLabel* lblCountReason = nullptr;
    QLabel* timeLeft = nullptr;
    QCheckBox* chVoice = nullptr;
    QLabel* Label7 = nullptr;
    platform::Timer* tmrCountDown = nullptr;

    std::int32_t countdowntime_ = 0;
    bool voiceEnabled_ = false;
    bool waitforVoice_ = false;
    qint64 startMs_ = 0;  // monotonic
    std::int32_t lRemainingSeconds_ = 0;
    QString sAlarmWavFile_;
    bool inTick_ = false;
    bool terminated_ = false;
};

}  // namespace zelmora::capture
