#include "testing/TestRunner.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>

namespace zelmora::testenv {

namespace {
class ResetListener : public ::testing::EmptyTestEventListener {
public:
    explicit ResetListener(void (*reset)()) : reset_(reset) {}

private:
    void OnTestStart(const ::testing::TestInfo&) override { reset_(); }
    // What a test left behind (open windows among it) goes before the next test starts.
    void OnTestEnd(const ::testing::TestInfo&) override { reset_(); }

    void (*reset_)();
};
}  // namespace

int runAllTests(int argc, char** argv, void (*reset)()) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zelmora"));
    ::testing::InitGoogleMock(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new ResetListener(reset));
    return RUN_ALL_TESTS();
}

}  // namespace zelmora::testenv
