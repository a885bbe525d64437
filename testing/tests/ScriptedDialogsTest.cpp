#include <gtest/gtest.h>

#include "platform/os/Dialogs.h"
#include "shell/ProgramState.h"
#include "testing/TestEnv.h"

using namespace zelmora;
namespace Msg = platform::Msg;

// A handler that runs while a box is up may show a box of its own; each box
// gets the answer scripted for it.
TEST(ScriptedDialogsTest, ABoxShownWhileAnotherIsUpGetsItsOwnAnswer) {
    int inner = 0;
    bool flagWhileInnerUp = false;
    testenv::dialogs()
        .expectMsgBox("Stop the run?", Msg::Yes)
        .whileShowing(
            [&] { inner = platform::Dialogs::msgBox("Camera disconnected", Msg::OKCancel); })
        .expectMsgBox("Camera disconnected", Msg::Cancel)
        .whileShowing([&] { flagWhileInnerUp = state().bMsgBoxShowing; });

    EXPECT_EQ(platform::Dialogs::msgBox("Stop the run?", Msg::YesNo), Msg::Yes);
    EXPECT_EQ(inner, Msg::Cancel);
    EXPECT_TRUE(flagWhileInnerUp);
    EXPECT_TRUE(testenv::dialogs().allUsed());
    ASSERT_EQ(testenv::dialogs().shown().size(), 2u);
    EXPECT_EQ(testenv::dialogs().shown()[1].text, "Camera disconnected");
}
