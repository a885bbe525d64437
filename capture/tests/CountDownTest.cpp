#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>

#include "capture/ctlCountDown.h"
#include "shell/AppPaths.h"
#include "shell/Globals.h"
#include "shell/ProgramState.h"
#include "testing/TestEnv.h"

using namespace zelmora;
using namespace zelmora::capture;
using Milestone = ctlCountDown::Milestone;

namespace {

QStringList words(std::initializer_list<const char*> names) {
    QStringList out;
    for (const char* n : names) out << QString::fromLatin1(n) + ".wav";
    return out;
}

// Names of the played files, with whether each was waited for.
std::vector<std::pair<QString, bool>> played() {
    std::vector<std::pair<QString, bool>> out;
    for (const auto& p : testenv::sounds().played)
        out.emplace_back(QFileInfo(p.path).fileName(), p.wait);
    return out;
}

// Speaks a 400-second countdown on the virtual clock and returns what was
// said at each remaining time, with the sync flag of its words.
std::map<int, std::pair<QStringList, bool>> spokenMilestones(ctlCountDown& c) {
    std::map<int, std::pair<QStringList, bool>> said;
    c.setVoiceEnabled(true);
    c.setCountdowntime(400);
    c.StartCoundown();
    size_t seen = 0;
    for (int i = 0; i < 405 && c.counting(); ++i) {
        testenv::vclock().advance(1000);
        const auto& all = testenv::sounds().played;
        for (; seen < all.size(); ++seen) {
            auto& entry = said[c.RemainingSeconds()];
            entry.first << QFileInfo(all[seen].path).fileName();
            entry.second = all[seen].wait;
        }
    }
    return said;
}

}  // namespace

TEST(CountDownTest, SpokenWords) {
    const std::vector<std::pair<QString, QStringList>> cases = {
        {"1", words({"one"})},
        {"0", {}},
        {"10", words({"ten"})},
        {"18", words({"eightteen"})},
        {"40", words({"fourty"})},
        {"45", words({"fourty", "five"})},
        {"05", words({"five"})},
        {"100", words({"one", "hundred"})},
        {"360", words({"three", "hundred", "sixty"})},
        {"007", words({"seven"})},
        {"1000", words({"one", "thousand"})},
        {"21345", words({"twenty", "one", "thousand", "three", "hundred", "fourty", "five"})},
        {"1000000", words({"one", "million"})},
        {"", {}},
        {"1234567890123456", {}},
        {"-5", {}},
        {"-51", {}},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(ctlCountDown::wordsFor(text), expected) << text.toStdString();
}

TEST(CountDownTest, TimeText) {
    const std::vector<std::pair<std::int64_t, QString>> cases = {
        {90, "00:01:30"},      {3725, "01:02:05"}, {59, "00:00:59"}, {3600, "01:00:00"},
        {360000, "100:00:00"}, {-5, "00:00:-05"},  {0, "00:00:00"}};
    for (const auto& [n, text] : cases) EXPECT_EQ(ctlCountDown::secsToTime(n), text) << n;
}

TEST(CountDownTest, MilestonesOfA400SecondCountdown) {
    ctlCountDown c;
    const auto said = spokenMilestones(c);
    std::vector<int> at;
    for (const auto& [remaining, entry] : said) at.push_back(remaining);
    std::vector<int> expected = {1,  2,  3,  4,  5,   6,   7,   8,   9,
                                 10, 20, 30, 60, 120, 180, 240, 300, 360};
    EXPECT_EQ(at, expected);
    EXPECT_EQ(said.at(360).first, words({"three", "hundred", "sixty"}));
    for (int r : {360, 300, 240, 180, 120}) EXPECT_TRUE(said.at(r).second) << r;  // waited for
    for (int r : {60, 30, 20, 10, 1}) EXPECT_FALSE(said.at(r).second) << r;       // started only
    EXPECT_EQ(c.timeLeftText(), "00:00:00");
    EXPECT_FALSE(c.counting());
}

TEST(CountDownTest, FiveSecondsSpeaksFourToOneAndFinishes) {
    ctlCountDown c;
    int finished = 0;
    QObject::connect(&c, &ctlCountDown::CountDownFinished, [&] { ++finished; });
    c.setVoiceEnabled(true);
    c.setCountDownReason("Exposure");
    c.setCountdowntime(5);
    c.StartCoundown();
    QStringList shown;
    for (int i = 0; i < 6; ++i) {
        testenv::vclock().advance(1000);
        shown << c.timeLeftText();
    }
    EXPECT_EQ(shown.mid(0, 5),
              QStringList({"00:00:04", "00:00:03", "00:00:02", "00:00:01", "00:00:00"}));
    EXPECT_EQ(
        played(),
        (std::vector<std::pair<QString, bool>>{
            {"four.wav", false}, {"three.wav", false}, {"two.wav", false}, {"one.wav", false}}));
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(c.CountDownReason(), "");
    c.StopCountdown();
    EXPECT_EQ(c.timeLeftText(), "00:00");
}

TEST(CountDownTest, LateTicksSpeakNoNegativeNumbersAndNoRepeats) {
    ctlCountDown c;
    c.setVoiceEnabled(true);
    EXPECT_EQ(ctlCountDown::milestone(-51), Milestone::None);
    EXPECT_EQ(ctlCountDown::milestone(0), Milestone::None);
    // A tick that lands 12 s after the end shows the negative time and says nothing.
    c.setCountdowntime(3);
    c.StartCoundown();
    testenv::vclock().sleepMs(15000);  // the program was busy
    c.tmrCountDown_Timer();
    EXPECT_EQ(c.RemainingSeconds(), -12);
    EXPECT_EQ(c.timeLeftText(), "00:00:-12");
    EXPECT_TRUE(testenv::sounds().played.empty());

    // Jitter: ticks at 0.98 s and 2.03 s read 1 and 2 seconds elapsed, never 0 or 3.
    ctlCountDown d;
    d.setVoiceEnabled(true);
    d.setCountdowntime(12);
    d.StartCoundown();
    testenv::vclock().sleepMs(980);
    d.tmrCountDown_Timer();
    EXPECT_EQ(d.RemainingSeconds(), 11);
    testenv::vclock().sleepMs(1050);
    d.tmrCountDown_Timer();
    EXPECT_EQ(d.RemainingSeconds(), 10);
}

namespace {
// A word that takes 2.5 s to say, during which the timer keeps falling due.
class SlowSound : public platform::SoundService {
public:
    void play(const QString& path, bool wait) override {
        played.push_back(QFileInfo(path).fileName());
        if (wait) platform::clock().pumpFor(2500, std::make_shared<platform::WaitControl>());
    }
    void stop() override {}
    QStringList played;
};
}  // namespace

TEST(CountDownTest, TickIsNotReenteredWhileAWordPlays) {
    auto slow = std::make_shared<SlowSound>();
    platform::SoundService::setInstance(slow);
    ctlCountDown c;
    c.setVoiceEnabled(true);
    c.setCountdowntime(361);
    c.StartCoundown();
    testenv::vclock().advance(1000);  // 360 left: three words, each waited for
    EXPECT_EQ(slow->played, words({"three", "hundred", "sixty"}));
    EXPECT_EQ(c.RemainingSeconds(), 360);  // ticks due meanwhile were dropped, not nested
    testenv::vclock().advance(1000);
    // The next tick shows the real time (about 9 s after the start).
    EXPECT_GE(c.RemainingSeconds(), 351);
    EXPECT_LE(c.RemainingSeconds(), 352);
    platform::SoundService::setInstance(std::make_shared<platform::RecordingSound>());
}

TEST(CountDownTest, MuteVoiceSettingAndAlarm) {
    {
        ctlCountDown c;
        EXPECT_FALSE(c.VoiceEnabled());  // "voice" missing: silent
        c.findChild<QCheckBox*>("chVoice")->setChecked(true);
        EXPECT_TRUE(c.VoiceEnabled());
        state().bMute = true;
        c.setCountdowntime(2);
        c.StartCoundown();
        testenv::vclock().advance(3000);
        c.SoundAlarm();
        EXPECT_TRUE(testenv::sounds().played.empty());
        EXPECT_EQ(c.timeLeftText(), "00:00:00");  // the display still counts
        state().bMute = false;
        c.SoundAlarm();
        ASSERT_EQ(testenv::sounds().played.size(), 1u);
        EXPECT_TRUE(testenv::sounds().played[0].path.endsWith("WavFiles/alarm.wav"));
        EXPECT_FALSE(testenv::sounds().played[0].wait);
    }
    EXPECT_EQ(Settings::get("Options", "voice", "?"), "1");
    ctlCountDown again;
    EXPECT_TRUE(again.VoiceEnabled());

    Settings::save("DSLRControl", "AlramWav", "");
    ctlCountDown silent;
    testenv::sounds().played.clear();
    silent.SoundAlarm();
    EXPECT_TRUE(testenv::sounds().played.empty());
}

// The words the countdown plays exist as real wave files in the build.
TEST(CountDownTest, SpokenWaveFilesAreBuilt) {
    AppPaths::setResourceDir(QStringLiteral(ZELMORA_APP_FOLDER));
    QStringList names = {"startexposure", "alarm",   "hundred", "thousand",
                         "million",       "billion", "trillion"};
    for (int n = 1; n <= 99; ++n)
        for (const QString& w : ctlCountDown::wordsFor(QString::number(n))) names << w.chopped(4);
    names.removeDuplicates();
    for (const QString& name : names) {
        QFile f(AppPaths::join(ctlCountDown::wavFolder(), name + ".wav"));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
        const QByteArray head = f.read(12);
        EXPECT_TRUE(head.startsWith("RIFF") && head.mid(8, 4) == "WAVE") << name.toStdString();
        EXPECT_GT(f.size(), 2000) << name.toStdString();
    }
    AppPaths::setResourceDir({});
}
