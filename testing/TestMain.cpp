#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>

#include "testing/TestEnv.h"

namespace {
class ResetListener : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { zelmora::testenv::resetEnvironment(); }
    void OnTestEnd(const ::testing::TestInfo&) override {
        // Windows a test left open go before the next test starts.
        zelmora::testenv::resetEnvironment();
    }
};
}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zelmora"));
    ::testing::InitGoogleMock(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new ResetListener);
    return RUN_ALL_TESTS();
}
