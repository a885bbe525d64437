#pragma once

#include <QString>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "platform/os/Dialogs.h"

namespace zelmora::testenv {

// Answers the program's dialogs from a script. Each expectation names the kind
// of box and a text that its message (or title) must contain; a box that
// nobody expected fails the test with its text and gets the cancel answer.
class ScriptedDialogs : public platform::DialogBackend {
public:
    enum class Kind { MsgBox, InputBox, OpenFile, SaveFile, Folder, Choice };
    struct Shown {
        Kind kind;
        QString text;   // message, prompt or title
        int style = 0;  // message boxes
    };

    // msgBox: answer with `answer` (a Msg::Answer) when the text contains `contains`.
    ScriptedDialogs& expectMsgBox(const QString& contains, int answer = platform::Msg::OK);
    ScriptedDialogs& expectInput(const QString& contains, const QString& reply);
    ScriptedDialogs& expectOpenFile(const QString& reply);  // "" = cancelled
    ScriptedDialogs& expectSaveFile(const QString& reply);
    ScriptedDialogs& expectFolder(const QString& reply);
    // chooseItem: answer with the index `choice` (-1 = cancelled) when the title or an
    // item contains `contains`. The shown text is the items, one a line.
    ScriptedDialogs& expectChoice(const QString& contains, int choice);
    // Runs `action` while the box is up (to look at program state), then answers.
    ScriptedDialogs& whileShowing(std::function<void()> action);

    const std::vector<Shown>& shown() const { return shown_; }
    bool allUsed() const { return script_.empty(); }
    void clear();

    int msgBox(const QString& text, int style, const QString& title) override;
    QString inputBox(const QString& prompt, const QString& title,
                     const QString& defaultText) override;
    QString openFile(const platform::FileDialogRequest& request) override;
    QString saveFile(const platform::FileDialogRequest& request) override;
    QString browseForFolder(const QString& startFolder, const QString& title) override;
    int chooseItem(const QString& title, const QString& prompt, const QStringList& items,
                   int current) override;

private:
    struct Expectation {
        Kind kind;
        QString contains;
        int answer = 0;
        QString reply;
        std::function<void()> action;
    };
    // The expectation that answers this box, after its action has run; a box
    // shown by the action is answered before this one returns.
    std::optional<Expectation> take(Kind kind, const QString& text, const QString& title,
                                    int style);

    std::deque<Expectation> script_;
    std::vector<Shown> shown_;
};

}  // namespace zelmora::testenv
