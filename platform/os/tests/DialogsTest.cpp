#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

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

// Qt's own boxes belong to the window in front. That window going while the
// box is up (deleted from a handler the box's loop runs) takes the box with
// it: the answer is the cancel-like one, and nothing of the box is touched.
TEST(DialogsTest, ABoxWhoseWindowGoesMeanwhileAnswersAsIfClosed) {
    platform::QtDialogBackend qt;
    const std::vector<std::pair<const char*, std::function<int()>>> boxes = {
        {"message box", [&] { return qt.msgBox("Sure?", Msg::YesNo, "Question"); }},
        {"choice",
         [&] {
             return qt.chooseItem("Choose", {}, {"a", "b"}, 0);
         }},
    };
    const std::vector<int> expected = {Msg::No, -1};
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        auto* owner = new QWidget;
        owner->show();
        QApplication::setActiveWindow(owner);
        ASSERT_EQ(QApplication::activeWindow(), owner);
        QTimer::singleShot(0, owner, [owner] { owner->deleteLater(); });
        // Should the box outlive its window, it is ended rather than left waiting.
        QObject guard;
        QTimer::singleShot(5000, &guard, [] {
            if (QWidget* box = QApplication::activeModalWidget()) box->close();
        });
        EXPECT_EQ(boxes[i].second(), expected[i]) << boxes[i].first;
    }
}
