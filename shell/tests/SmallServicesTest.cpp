#include <gtest/gtest.h>

#include <QDir>

#include "platform/os/Dialogs.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"
#include "shell/modBrowseForFolder.h"
#include "shell/modWin32Ver.h"
#include "testing/TestEnv.h"

using namespace zelmora;

TEST(SmallServicesTest, OperatingSystemClassifier) {
    using modWin32Ver::VersionRecord;
    struct Case {
        std::optional<VersionRecord> record;
        int code;
        QString name;
    };
    const std::vector<Case> cases = {
        {VersionRecord{2, 5, 1, {}}, 6, "Windows XP::"},
        {VersionRecord{2, 5, 0, {}}, 5, "Windows 2000::"},
        {VersionRecord{2, 4, 0, {}}, 4, "Windows NT4::"},
        {VersionRecord{1, 4, 90, {}}, 3, "Windows ME::"},
        {VersionRecord{1, 4, 10, {}}, 2, "Windows 98::"},
        {VersionRecord{1, 5, 0, {}}, 2, "Windows 98::"},
        {VersionRecord{1, 4, 0, {}}, 1, "Windows 95::"},
        {VersionRecord{2, 5, 2, {}}, 0, "Unknown OS::"},
        {VersionRecord{2, 6, 1, {}}, 0, "Unknown OS::"},
        {std::nullopt, 0, "Unknown OS::"},
    };
    for (const auto& c : cases) {
        const auto got = modWin32Ver::classify(c.record);
        EXPECT_EQ(got.code, c.code);
        EXPECT_EQ(got.name, c.name);
    }
}

TEST(SmallServicesTest, ThisMachineIsUnknownAndTraced) {
    testenv::enableTrace();
    EXPECT_FALSE(modWin32Ver::IsWindowsNT());
    const QStringList lines = testenv::traceLines();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith("Unknown OS::Linux ")) << lines[0].toStdString();
}

TEST(SmallServicesTest, FolderPickerReturnsFolderOrEmpty) {
    testenv::dialogs()
        .expectFolder(testenv::appDir())
        .expectFolder("")
        .expectFolder("/no/such/folder");
    EXPECT_EQ(modBrowseForFolder::BrowseForFolder("", nullptr, "Pick"),
              QDir(testenv::appDir()).absolutePath());
    EXPECT_EQ(modBrowseForFolder::BrowseForFolder("/tmp", nullptr, "Pick"), "");
    EXPECT_EQ(modBrowseForFolder::BrowseForFolder("/tmp", nullptr, "Pick"), "");
}

TEST(SmallServicesTest, AWindowFactoryMayRegisterMoreWindows) {
    int placed = 0;
    windows().setChildPlacer([&](QWidget* w) {
        ++placed;
        return w;
    });
    // The first window's factory makes the program's other windows known, as a
    // subsystem's first window may; the registry grows under the running factory.
    windows().registerWindow("frmFirst", [] {
        for (int i = 0; i < 200; ++i)
            windows().registerWindow(QStringLiteral("frmMore%1").arg(i),
                                     [] { return new QWidget; });
        return new QWidget;
    });
    QWidget* w = windows().load("frmFirst");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(placed, 1);
    EXPECT_TRUE(windows().isRegistered("frmMore199"));
    EXPECT_EQ(windows().ifLoaded("frmFirst"), w);
}

// A subsystem registers its reset hook on first use, which may happen inside
// another subsystem's hook.
TEST(SmallServicesTest, AResetHookMayRegisterAnotherHook) {
    static int ran = 0;
    static bool firstUse = true;
    addResetHook([] {
        if (!firstUse) return;
        firstUse = false;
        // Enough registrations to move the list while this hook runs.
        for (int i = 0; i < 64; ++i) addResetHook([] { ++ran; });
    });
    addResetHook([] {});  // a hook after it
    resetProgramState();
    EXPECT_EQ(ran, 64);
}

// A handler that runs while a box is up may show a box of its own; the flag
// stays up until the outer box has closed too.
TEST(SmallServicesTest, ABoxInsideABoxKeepsTheFlagUpUntilTheOuterCloses) {
    bool afterInner = false;
    testenv::dialogs()
        .expectMsgBox("Stop the run?", platform::Msg::Yes)
        .whileShowing([&] {
            platform::Dialogs::msgBox("Camera disconnected");
            afterInner = state().bMsgBoxShowing;
        })
        .expectMsgBox("Camera disconnected");
    platform::Dialogs::msgBox("Stop the run?", platform::Msg::YesNo);
    EXPECT_TRUE(afterInner);
    EXPECT_FALSE(state().bMsgBoxShowing);
}
