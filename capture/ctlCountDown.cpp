#include "capture/ctlCountDown.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <cmath>

#include "platform/os/Media.h"
#include "platform/time/Clock.h"
#include "platform/time/Timer.h"
#include "shell/AppPaths.h"
#include "shell/Conv.h"
#include "shell/Globals.h"
#include "shell/ProgramState.h"

namespace zelmora::capture {

namespace {
const char* const kOnes[] = {"one", "two",   "three", "four", "five",
                             "six", "seven", "eight", "nine"};
const char* const kTeens[] = {"ten",     "eleven",  "twelve",    "thirteen",  "fourteen",
                              "fifteen", "sixteen", "seventeen", "eightteen", "nineteen"};
const char* const kTens[] = {"twenty", "thirty",  "fourty", "fifty",
                             "sixty",  "seventy", "eighty", "ninety"};

QString wav(const char* word) {
    return QString::fromLatin1(word) + QStringLiteral(".wav");
}

void words1(QChar c, QStringList& out) {
    if (c >= u'1' && c <= u'9') out << wav(kOnes[c.unicode() - '1']);
}

void words2(const QString& t, QStringList& out) {
    const QChar a = t[0], b = t[1];
    if (a == u'1') {
        if (b >= u'0' && b <= u'9') out << wav(kTeens[b.unicode() - '0']);
    } else if (a >= u'2' && a <= u'9') {
        out << wav(kTens[a.unicode() - '2']);
        words1(b, out);
    } else if (a == u'0') {
        words1(b, out);
    }
}

void words(const QString& t, QStringList& out) {
    const int n = int(t.size());
    if (n == 1) {
        words1(t[0], out);
    } else if (n == 2) {
        words2(t, out);
    } else if (n == 3) {
        if (t[0] != u'0') {
            words1(t[0], out);
            out << wav("hundred");
        }
        words2(t.mid(1), out);
    } else if (n >= 4 && n <= 15) {
        const int lead = n % 3 == 0 ? 3 : n % 3;
        const QString head = t.left(lead);
        words(head, out);
        // A group of zeros says nothing, nor its scale word ("1000000" is "one million").
        if (head.count(u'0') != head.size()) {
            static const char* const kScale[] = {"thousand", "million", "billion", "trillion"};
            out << wav(kScale[(n - lead) / 3 - 1]);
        }
        words(t.mid(lead), out);
    }
}
}  // namespace

ctlCountDown::ctlCountDown(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ctlCountDown"));
    resize(270, 110);
    Frame5 = new QGroupBox(QStringLiteral("Count Down"), this);
    Frame5->setObjectName(QStringLiteral("Frame5"));
    Frame5->setGeometry(0, 0, 270, 110);
    lblCountReason = new QLabel(Frame5);
    lblCountReason->setObjectName(QStringLiteral("lblCountReason"));
    lblCountReason->setGeometry(10, 20, 250, 18);
    timeLeft = new QLabel(Frame5);
    timeLeft->setObjectName(QStringLiteral("timeLeft"));
    timeLeft->setGeometry(10, 40, 180, 50);
    QFont f(QStringLiteral("Arial"));
    f.setPointSize(24);
    f.setBold(true);
    timeLeft->setFont(f);
    timeLeft->setText(QStringLiteral("00:00"));
    chVoice = new QCheckBox(Frame5);
    chVoice->setObjectName(QStringLiteral("chVoice"));
    chVoice->setToolTip(QStringLiteral("Provides voice and visual count down."));
    chVoice->setGeometry(200, 55, 20, 20);
    Label7 = new QLabel(QStringLiteral("Voice"), Frame5);
    Label7->setObjectName(QStringLiteral("Label7"));
    Label7->setGeometry(222, 55, 40, 20);
    tmrCountDown = new platform::Timer(this);
    tmrCountDown->setObjectName(QStringLiteral("tmrCountDown"));
    tmrCountDown->setInterval(0);
    connect(tmrCountDown, &platform::Timer::timeout, this, [this] { tmrCountDown_Timer(); });
    connect(chVoice, &QCheckBox::toggled, this, [this] { chVoice_Click(); });

    // Start of the control.
    waitforVoice_ = false;
    std::int16_t voice = 0;
    try {
        voice = Conv::parseInt16(
            Settings::get(QStringLiteral("Options"), QStringLiteral("voice"), QStringLiteral("0")));
    } catch (const AppError& e) {
        Globals::traceError(e);
    }
    chVoice->setChecked(voice == 1);
    chVoice_Click();  // an unchanged box raises no toggled signal
    sAlarmWavFile_ = Settings::get(QStringLiteral("DSLRControl"), QStringLiteral("AlramWav"),
                                   AppPaths::join(wavFolder(), QStringLiteral("alarm.wav")));
    ChangeColor();
}

ctlCountDown::~ctlCountDown() {
    UserControl_Terminate();
}

void ctlCountDown::UserControl_Terminate() {
    if (terminated_) return;
    terminated_ = true;
    Settings::save(QStringLiteral("Options"), QStringLiteral("voice"),
                   chVoice->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
}

QString ctlCountDown::wavFolder() {
    return AppPaths::join(AppPaths::resourceDir(), QStringLiteral("WavFiles"));
}

void ctlCountDown::setCountDownReason(const QString& reason) {
    lblCountReason->setText(reason);
}
QString ctlCountDown::CountDownReason() const {
    return lblCountReason->text();
}
QString ctlCountDown::timeLeftText() const {
    return timeLeft->text();
}
bool ctlCountDown::counting() const {
    return tmrCountDown->isRunning();
}

void ctlCountDown::chVoice_Click() {
    voiceEnabled_ = chVoice->isChecked();
}

void ctlCountDown::StartCoundown() {
    startMs_ = platform::clock().monotonicMs();
    tmrCountDown->setInterval(1000);
}

void ctlCountDown::StopCountdown() {
    tmrCountDown->setInterval(0);
    timeLeft->setText(QStringLiteral("00:00"));
}

void ctlCountDown::tmrCountDown_Timer() {
    // A tick due while a waited-for word still plays is dropped: the next
    // tick shows the right time anyway.
    if (inTick_) return;
    inTick_ = true;
    waitforVoice_ = false;
    // Rounded monotonic seconds: timer jitter cannot repeat or skip a value,
    // and a change of the wall clock cannot shift the display.
    const qint64 elapsedMs = platform::clock().monotonicMs() - startMs_;
    const auto elapsed = static_cast<std::int32_t>(std::llround(double(elapsedMs) / 1000.0));
    lRemainingSeconds_ = countdowntime_ - elapsed;
    timeLeft->setText(secsToTime(lRemainingSeconds_));
    if (voiceEnabled_) {
        const Milestone m = milestone(lRemainingSeconds_);
        if (m != Milestone::None) {
            waitforVoice_ = m == Milestone::Sync;
            if (!speak(QString::number(lRemainingSeconds_))) return;
            waitforVoice_ = false;
        }
    }
    if (lRemainingSeconds_ <= 0) {
        tmrCountDown->setInterval(0);
        emit CountDownFinished();
        setCountDownReason(QString());
    }
    inTick_ = false;
}

ctlCountDown::Milestone ctlCountDown::milestone(std::int32_t r) {
    switch (r) {
        case 360:
        case 300:
        case 240:
        case 180:
        case 120:
            return Milestone::Sync;
        case 60:
        case 30:
        case 20:
            return Milestone::Async;
        default:
            // Only values of 1 or more are ever spoken.
            return r >= 1 && r <= 10 ? Milestone::Async : Milestone::None;
    }
}

QString ctlCountDown::secsToTime(std::int64_t n) {
    const std::int64_t h = n / 3600;
    const std::int64_t m = (n / 60) % 60;
    const std::int64_t s = n % 60;
    return Conv::zeroPadded(double(h), 2) + u':' + Conv::zeroPadded(double(m), 2) + u':' +
           Conv::zeroPadded(double(s), 2);
}

QStringList ctlCountDown::wordsFor(const QString& digits) {
    QStringList out;
    // Only digits are spoken: a sign or any other character says nothing at
    // all (a "-51" would otherwise come out as "hundred fifty one").
    for (const QChar c : digits)
        if (c < u'0' || c > u'9') return out;
    words(digits, out);
    return out;
}

void ctlCountDown::NumericParseTextForSound(const QString& text) {
    speak(text);
}

bool ctlCountDown::speak(const QString& digits) {
    // A word waited for lets events run: the window may close, and this
    // control go with it, or the program end, before the next word.
    const QPointer<ctlCountDown> self(this);
    for (const QString& w : wordsFor(digits)) {
        PlayWave(w);
        if (!self || platform::shuttingDown()) return false;
    }
    return true;
}

void ctlCountDown::SymbolParseTextForSound(const QString& text) {
    static const QHash<QString, QString> kSymbols = {{"$", "dollars.wav"},
                                                     {".", "dot.wav"},
                                                     {"%", "percent.wav"},
                                                     {"#", "number.wav"},
                                                     {"&", "cents.wav"}};
    if (kSymbols.contains(text)) PlayWave(kSymbols.value(text));
}

void ctlCountDown::PlayWave(const QString& fileName) {
    if (state().bMute) return;
    platform::SoundService::instance().play(AppPaths::join(wavFolder(), fileName), waitforVoice_);
}

void ctlCountDown::SoundAlarm() {
    if (sAlarmWavFile_.isEmpty() || state().bMute) return;
    platform::SoundService::instance().play(sAlarmWavFile_, false);
}

void ctlCountDown::ChangeColor() {
    const QColor c = Conv::colorFromBgr(state().lForeColor);
    for (QWidget* w : {static_cast<QWidget*>(timeLeft), static_cast<QWidget*>(Frame5),
                       static_cast<QWidget*>(Label7)}) {
        QPalette p = w->palette();
        p.setColor(QPalette::WindowText, c);
        w->setPalette(p);
        w->update();
    }
}

}  // namespace zelmora::capture
