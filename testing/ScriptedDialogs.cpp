#include "testing/ScriptedDialogs.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

namespace zelmora::testenv {

namespace {
const char* kindName(ScriptedDialogs::Kind k) {
    switch (k) {
        case ScriptedDialogs::Kind::MsgBox:
            return "message box";
        case ScriptedDialogs::Kind::InputBox:
            return "input box";
        case ScriptedDialogs::Kind::OpenFile:
            return "open-file dialog";
        case ScriptedDialogs::Kind::SaveFile:
            return "save-file dialog";
        case ScriptedDialogs::Kind::Folder:
            return "folder picker";
        case ScriptedDialogs::Kind::Choice:
            return "list choice";
    }
    return "dialog";
}
}  // namespace

ScriptedDialogs& ScriptedDialogs::expectMsgBox(const QString& contains, int answer) {
    script_.push_back({Kind::MsgBox, contains, answer, {}, {}});
    return *this;
}
ScriptedDialogs& ScriptedDialogs::expectInput(const QString& contains, const QString& reply) {
    script_.push_back({Kind::InputBox, contains, 0, reply, {}});
    return *this;
}
ScriptedDialogs& ScriptedDialogs::expectOpenFile(const QString& reply) {
    script_.push_back({Kind::OpenFile, {}, 0, reply, {}});
    return *this;
}
ScriptedDialogs& ScriptedDialogs::expectSaveFile(const QString& reply) {
    script_.push_back({Kind::SaveFile, {}, 0, reply, {}});
    return *this;
}
ScriptedDialogs& ScriptedDialogs::expectFolder(const QString& reply) {
    script_.push_back({Kind::Folder, {}, 0, reply, {}});
    return *this;
}
ScriptedDialogs& ScriptedDialogs::expectChoice(const QString& contains, int choice) {
    script_.push_back({Kind::Choice, contains, choice, {}, {}});
    return *this;
}
ScriptedDialogs& ScriptedDialogs::whileShowing(std::function<void()> action) {
    if (!script_.empty()) script_.back().action = std::move(action);
    return *this;
}

void ScriptedDialogs::clear() {
    script_.clear();
    shown_.clear();
}

std::optional<ScriptedDialogs::Expectation> ScriptedDialogs::take(Kind kind, const QString& text,
                                                                  const QString& title, int style) {
    shown_.push_back({kind, text, style});
    // A real box runs its own loop while it is up: what was posted before it
    // (an act of the user's scheduled at this pass) lands while it shows.
    QCoreApplication::processEvents();
    if (script_.empty() || script_.front().kind != kind ||
        !(text.contains(script_.front().contains) || title.contains(script_.front().contains))) {
        ADD_FAILURE() << "Unexpected " << kindName(kind) << ": \"" << text.toStdString() << "\""
                      << (script_.empty()
                              ? std::string(" (nothing expected)")
                              : " (expected a " + std::string(kindName(script_.front().kind)) +
                                    " with \"" + script_.front().contains.toStdString() + "\")");
        return std::nullopt;
    }
    Expectation e = std::move(script_.front());
    script_.pop_front();
    if (e.action) e.action();
    return e;
}

int ScriptedDialogs::msgBox(const QString& text, int style, const QString& title) {
    const auto e = take(Kind::MsgBox, text, title, style);
    if (e) return e->answer;
    // The answer that changes least: Cancel/No where offered, else OK.
    switch (style & 0x7) {
        case platform::Msg::OKCancel:
        case platform::Msg::YesNoCancel:
        case platform::Msg::RetryCancel:
            return platform::Msg::Cancel;
        case platform::Msg::YesNo:
            return platform::Msg::No;
        case platform::Msg::AbortRetryIgnore:
            return platform::Msg::Abort;
        default:
            return platform::Msg::OK;
    }
}

QString ScriptedDialogs::inputBox(const QString& prompt, const QString& title, const QString&) {
    const auto e = take(Kind::InputBox, prompt, title, 0);
    return e ? e->reply : QString();
}

QString ScriptedDialogs::openFile(const platform::FileDialogRequest& r) {
    const auto e = take(Kind::OpenFile, r.title, r.title, 0);
    return e ? e->reply : QString();
}

QString ScriptedDialogs::saveFile(const platform::FileDialogRequest& r) {
    const auto e = take(Kind::SaveFile, r.title, r.title, 0);
    return e ? e->reply : QString();
}

QString ScriptedDialogs::browseForFolder(const QString&, const QString& title) {
    const auto e = take(Kind::Folder, title, title, 0);
    return e ? e->reply : QString();
}

int ScriptedDialogs::chooseItem(const QString& title, const QString&, const QStringList& items,
                                int) {
    const auto e = take(Kind::Choice, items.join(u'\n'), title, 0);
    return e ? e->answer : -1;
}

}  // namespace zelmora::testenv
