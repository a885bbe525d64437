#include <gtest/gtest.h>

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <clocale>
#include <thread>

#include "testing/TestEnv.h"
#include "vosquin/CLogFile.h"
#include "vosquin/tests/VosquinFixture.h"

namespace zelmora::vosquin {
namespace {

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class VosquinLogFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    std::string path() const { return dir.filePath("logfile.txt").toStdString(); }
    QByteArray text() const { return contents(dir.filePath("logfile.txt")); }

    QTemporaryDir dir;
    QDateTime at{QDate(1993, 6, 30), QTime(21, 49, 8)};
    CLogFile::TimeSource clock = [this] { return at; };
};

TEST_F(VosquinLogFileTest, LineFormatWithEnglishNamesWhateverTheLocale) {
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    std::setlocale(LC_TIME, "de_DE.UTF-8");  // where installed; the names are ours anyway
    {
        CLogFile log(clock);
        ASSERT_TRUE(log.Open(path()));
        log.SetPrefix("[Main:3.3.14]");
        log.WriteLine("Program Starting.");
        at = QDateTime(QDate(2024, 12, 3), QTime(4, 5, 6));
        log.WriteLine("two\nlines");
        log.WriteLine("%s%n %d literal");
    }
    std::setlocale(LC_TIME, "C");
    QLocale::setDefault(before);
    EXPECT_EQ(text(),
              "\n"
              "Wed Jun 30 21:49:08 1993 - [Main:3.3.14]Program Starting.\n"
              "Tue Dec  3 04:05:06 2024 - [Main:3.3.14]two\nlines\n"
              "Tue Dec  3 04:05:06 2024 - [Main:3.3.14]%s%n %d literal\n");
}

TEST_F(VosquinLogFileTest, EveryOpenAppendsAfterAnEmptyLine) {
    for (int run = 0; run < 2; ++run) {
        CLogFile log(clock);
        ASSERT_TRUE(log.Open(path()));
        log.WriteLine("run");
    }
    EXPECT_EQ(text(),
              "\nWed Jun 30 21:49:08 1993 - run\n"
              "\nWed Jun 30 21:49:08 1993 - run\n");
}

TEST_F(VosquinLogFileTest, WritesWithoutAnOpenFileDoNothing) {
    CLogFile log(clock);
    log.WriteLine("before open");
    EXPECT_FALSE(log.Open(dir.filePath("missing/folder/logfile.txt").toStdString()));
    log.WriteLine("after a failed open");
    EXPECT_FALSE(log.isOpen());
    ASSERT_TRUE(log.Open(path()));
    log.Close();
    log.WriteLine("after close");
    EXPECT_EQ(text(), "\n");
}

TEST_F(VosquinLogFileTest, TwoThreadsWriteOnlyWholeLines) {
    constexpr int kLines = 10000;
    {
        CLogFile log(clock);
        ASSERT_TRUE(log.Open(path()));
        const std::string a = "library thread " + std::string(60, 'a');
        const std::string b = "gui thread " + std::string(90, 'b');
        std::thread other([&] {
            for (int i = 0; i < kLines; ++i) log.WriteLine(a);
        });
        for (int i = 0; i < kLines; ++i) log.WriteLine(b);
        other.join();
    }
    const QList<QByteArray> lines = text().split('\n');
    int a = 0, b = 0;
    for (const QByteArray& line : lines) {
        if (line.isEmpty()) continue;
        if (line == "Wed Jun 30 21:49:08 1993 - library thread " + QByteArray(60, 'a'))
            ++a;
        else if (line == "Wed Jun 30 21:49:08 1993 - gui thread " + QByteArray(90, 'b'))
            ++b;
        else
            FAIL() << "broken line: " << line.left(80).toStdString();
    }
    EXPECT_EQ(a, kLines);
    EXPECT_EQ(b, kLines);
}

// The control's own log: opened in the folder the host names, one run per window.
class VosquinControlLogTest : public test::VosquinTest {};

TEST_F(VosquinControlLogTest, EachStartOfTheControlAddsAnEmptyLineAndItsStartLine) {
    make();
    ctrl().destroyWindow();
    make();
    ctrl_.reset();
    const QByteArray t = contents(logPath());
    // The test clock's time, in the local time the log writes.
    const std::string stamp = CLogFile::timeStamp(testenv::vclock().now());
    EXPECT_EQ(t.toStdString(), "\n" + stamp + " - [Main:3.3.14]Program Starting.\n" + stamp +
                                   " - [Main:3.3.14]Program Terminating.\n"
                                   "\n" +
                                   stamp + " - [Main:3.3.14]Program Starting.\n" + stamp +
                                   " - [Main:3.3.14]Program Terminating.\n");
    EXPECT_EQ(stamp, "Thu Jan 15 21:00:00 2026");
}

}  // namespace
}  // namespace zelmora::vosquin
