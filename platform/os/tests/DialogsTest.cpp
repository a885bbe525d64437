#include <gtest/gtest.h>

#include "platform/os/Dialogs.h"
#include "shell/ProgramState.h"
#include "testing/TestEnv.h"

using namespace zelmora;
using platform::Dialogs;
namespace Msg = platform::Msg;

TEST(DialogsTest, EveryBoxIsBracketedByTheMessageBoxFlag) {
    bool seenDuring = false;
    testenv::dialogs().expectMsgBox("Sure?", Msg::Yes).whileShowing([&] {
        seenDuring = state().bMsgBoxShowing;
    });
    EXPECT_EQ(Dialogs::msgBox("Sure?", Msg::YesNo), Msg::Yes);
    EXPECT_TRUE(seenDuring);
    EXPECT_FALSE(state().bMsgBoxShowing);

    seenDuring = true;
    testenv::dialogs().expectMsgBox("quiet").whileShowing(
        [&] { seenDuring = state().bMsgBoxShowing; });
    Dialogs::msgBox("quiet", Msg::OKOnly, {}, Dialogs::Bracket::No);
    EXPECT_FALSE(seenDuring);

    testenv::dialogs().expectFolder("/tmp");
    testenv::dialogs().expectInput("Name", "Home");
    EXPECT_EQ(Dialogs::browseForFolder("", "Pick /tmp"), "/tmp");
    EXPECT_EQ(Dialogs::inputBox("Name?"), "Home");
    EXPECT_TRUE(testenv::dialogs().allUsed());
}

TEST(DialogsTest, FilterTextsBecomeQtFilters) {
    using platform::QtDialogBackend;
    EXPECT_EQ(QtDialogBackend::toQtFilter("Text Files (*.txt)|*.txt|All Files (*.*)|*.*"),
              "Text Files (*.txt);;All Files (*.*)");
    EXPECT_EQ(QtDialogBackend::toQtFilter("Wave|*.wav;*.WAV"), "Wave (*.wav *.WAV)");
    EXPECT_EQ(QtDialogBackend::toQtFilter("Images (*.jpg)"), "Images (*.jpg)");
}
