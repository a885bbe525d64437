#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>

#include "testing/CoreEnv.h"

// The test main of the lowest layers: the core environment afresh around each test.
namespace {
class ResetListener : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override {
        zelmora::testenv::resetCoreEnvironment();
    }
    void OnTestEnd(const ::testing::TestInfo&) override {
        zelmora::testenv::resetCoreEnvironment();
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
