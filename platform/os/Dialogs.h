#pragma once

#include "platform/core/Api.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

ZELMORA_API_BEGIN

class QWidget;

namespace zelmora::platform {

// Message box styles and answers, numbered as the program's message texts
// describe them (buttons + icon + default button).
namespace Msg {
enum Style : int {
    OKOnly = 0,
    OKCancel = 1,
    AbortRetryIgnore = 2,
    YesNoCancel = 3,
    YesNo = 4,
    RetryCancel = 5,
    Critical = 16,
    Question = 32,
    Exclamation = 48,
    Information = 64,
    DefaultButton1 = 0,
    DefaultButton2 = 256,
    DefaultButton3 = 512,
};
enum Answer : int { OK = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };
}  // namespace Msg

struct FileDialogRequest {
    QString title;
    QString filter;  // "Text files (*.txt)|*.txt|All files (*.*)|*.*" or a Qt filter
    QString initialDir;
    QString fileName;  // preset file name
};

// The modal boxes and file choosers of the program. Production shows Qt
// dialogs; tests install a scripted backend that answers from a script and
// fails the test on any box it did not expect.
class DialogBackend {
public:
    virtual ~DialogBackend() = default;
    virtual int msgBox(const QString& text, int style, const QString& title) = 0;
    // Returns the text typed, or "" when cancelled.
    virtual QString inputBox(const QString& prompt, const QString& title,
                             const QString& defaultText) = 0;
    // Return the chosen path, or "" when cancelled.
    virtual QString openFile(const FileDialogRequest& request) = 0;
    virtual QString saveFile(const FileDialogRequest& request) = 0;
    virtual QString browseForFolder(const QString& startFolder, const QString& title) = 0;
    // A drop-down list with OK and Cancel: the index chosen, or -1 when cancelled.
    virtual int chooseItem(const QString& title, const QString& prompt, const QStringList& items,
                           int current) = 0;
};

// Front of the dialog service. Every call brackets the box with the modal
// hook (the shell sets its "a message box is up" flag there) unless told not
// to. A box lets events run while it is up: each call is a pass of the event
// loop, told to the clock's pass listener as the box comes up.
class Dialogs {
public:
    enum class Bracket { Yes, No };

    static int msgBox(const QString& text, int style = Msg::OKOnly, const QString& title = {},
                      Bracket bracket = Bracket::Yes);
    static QString inputBox(const QString& prompt, const QString& title = {},
                            const QString& defaultText = {});
    static QString openFile(const FileDialogRequest& request);
    static QString saveFile(const FileDialogRequest& request);
    static QString browseForFolder(const QString& startFolder, const QString& title);
    static int chooseItem(const QString& title, const QString& prompt, const QStringList& items,
                          int current = 0);

    static void setBackend(std::shared_ptr<DialogBackend> backend);
    static DialogBackend& backend();
    // Called with true before a box shows and false after it closes.
    static void setModalHook(std::function<void(bool)> hook);
};

// Qt's own dialogs, owned by the active window.
class QtDialogBackend : public DialogBackend {
public:
    int msgBox(const QString& text, int style, const QString& title) override;
    QString inputBox(const QString& prompt, const QString& title,
                     const QString& defaultText) override;
    QString openFile(const FileDialogRequest& request) override;
    QString saveFile(const FileDialogRequest& request) override;
    QString browseForFolder(const QString& startFolder, const QString& title) override;
    int chooseItem(const QString& title, const QString& prompt, const QStringList& items,
                   int current) override;

    // "Text (*.txt)|*.txt|All (*.*)|*.*" -> "Text (*.txt);;All (*.*)"
    static QString toQtFilter(const QString& filter);
};

}  // namespace zelmora::platform

ZELMORA_API_END
