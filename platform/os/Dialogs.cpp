#include "platform/os/Dialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/os/Placement.h"
#include "platform/time/Clock.h"

namespace zelmora::platform {

namespace {

std::shared_ptr<DialogBackend>& backendSlot() {
    static std::shared_ptr<DialogBackend> slot;
    return slot;
}
std::function<void(bool)>& hookSlot() {
    static std::function<void(bool)> hook;
    return hook;
}

// Brackets one modal box, also when the backend throws. The box runs a loop
// of its own: a pass like any other, told as the box comes up.
template <typename F>
auto bracketed(Dialogs::Bracket bracket, F&& f) {
    handToTheLoop();
    const bool on = bracket == Dialogs::Bracket::Yes && hookSlot();
    if (on) hookSlot()(true);
    struct Off {
        bool on;
        ~Off() {
            if (on && hookSlot()) hookSlot()(false);
        }
    } off{on};
    return f();
}

QString applicationTitle(const QString& title) {
    return title.isEmpty() ? QCoreApplication::applicationName() : title;
}

// A caller's prompt may carry a mnemonic marker ("&Select a directory:"); a title
// bar shows no mnemonics, so the marker goes ("&&" stays a plain "&").
QString withoutMnemonic(QString text) {
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(u'&');
    text.replace(u'\x01', u'&');
    return text;
}

// Room a window manager takes from a title bar for its icon and buttons.
constexpr int kTitleBarAllowance = 140;

// Wide enough that the window manager shows the whole title.
void fitTitle(QWidget* dialog) {
    const int wanted =
        dialog->fontMetrics().horizontalAdvance(dialog->windowTitle()) + kTitleBarAllowance;
    dialog->setMinimumWidth(std::max(dialog->minimumWidth(), wanted));
}

// A box comes up where it covers least of the child windows of the window it
// belongs to (a chart it asks about stays in view), centred when it can.
void placeClearOfChildWindows(QWidget* box, QWidget* owner) {
    const QMdiArea* area = owner ? owner->findChild<QMdiArea*>() : nullptr;
    if (!area || !owner->isVisible()) return;
    QList<QRect> children;
    for (const QMdiSubWindow* sub : area->subWindowList())
        if (sub->isVisible() && !sub->isMinimized())
            children << QRect(area->viewport()->mapToGlobal(sub->pos()), sub->size());
    if (children.isEmpty()) return;
    box->adjustSize();
    const QSize size = box->frameGeometry().size().expandedTo(box->size());
    const QRect bounds = owner->geometry();
    const QPoint centre = bounds.center() - QPoint(size.width() / 2, size.height() / 2);
    box->move(leastCovering(bounds, size, children, centre, true));
}

// Where a file dialog opens: the folder, with the preset file name in it.
QString startPath(const FileDialogRequest& r) {
    if (r.fileName.isEmpty()) return r.initialDir;
    return r.initialDir.isEmpty() ? r.fileName : r.initialDir + u'/' + r.fileName;
}

}  // namespace

void Dialogs::setBackend(std::shared_ptr<DialogBackend> backend) {
    backendSlot() = std::move(backend);
}

DialogBackend& Dialogs::backend() {
    auto& slot = backendSlot();
    if (!slot) slot = std::make_shared<QtDialogBackend>();
    return *slot;
}

void Dialogs::setModalHook(std::function<void(bool)> hook) {
    hookSlot() = std::move(hook);
}

int Dialogs::msgBox(const QString& text, int style, const QString& title, Bracket bracket) {
    return bracketed(bracket, [&] { return backend().msgBox(text, style, title); });
}

QString Dialogs::inputBox(const QString& prompt, const QString& title, const QString& defaultText) {
    return bracketed(Bracket::Yes, [&] { return backend().inputBox(prompt, title, defaultText); });
}

QString Dialogs::openFile(const FileDialogRequest& request) {
    return bracketed(Bracket::Yes, [&] { return backend().openFile(request); });
}

QString Dialogs::saveFile(const FileDialogRequest& request) {
    return bracketed(Bracket::Yes, [&] { return backend().saveFile(request); });
}

QString Dialogs::browseForFolder(const QString& startFolder, const QString& title) {
    return bracketed(Bracket::Yes, [&] { return backend().browseForFolder(startFolder, title); });
}

int Dialogs::chooseItem(const QString& title, const QString& prompt, const QStringList& items,
                        int current) {
    return bracketed(Bracket::Yes,
                     [&] { return backend().chooseItem(title, prompt, items, current); });
}

int QtDialogBackend::msgBox(const QString& text, int style, const QString& title) {
    // On the heap: the box belongs to the window in front and goes with it,
    // should that window be deleted while the box is up.
    const QPointer<QMessageBox> box = new QMessageBox(QApplication::activeWindow());
    box->setWindowTitle(applicationTitle(title));
    box->setText(text);
    switch (style & 0x70) {
        case Msg::Critical:
            box->setIcon(QMessageBox::Critical);
            break;
        case Msg::Question:
            box->setIcon(QMessageBox::Question);
            break;
        case Msg::Exclamation:
            box->setIcon(QMessageBox::Warning);
            break;
        case Msg::Information:
            box->setIcon(QMessageBox::Information);
            break;
        default:
            break;
    }
    struct B {
        QMessageBox::StandardButton button;
        int answer;
    };
    std::vector<B> buttons;
    switch (style & 0x7) {
        case Msg::OKCancel:
            buttons = {{QMessageBox::Ok, Msg::OK}, {QMessageBox::Cancel, Msg::Cancel}};
            break;
        case Msg::AbortRetryIgnore:
            buttons = {{QMessageBox::Abort, Msg::Abort},
                       {QMessageBox::Retry, Msg::Retry},
                       {QMessageBox::Ignore, Msg::Ignore}};
            break;
        case Msg::YesNoCancel:
            buttons = {{QMessageBox::Yes, Msg::Yes},
                       {QMessageBox::No, Msg::No},
                       {QMessageBox::Cancel, Msg::Cancel}};
            break;
        case Msg::YesNo:
            buttons = {{QMessageBox::Yes, Msg::Yes}, {QMessageBox::No, Msg::No}};
            break;
        case Msg::RetryCancel:
            buttons = {{QMessageBox::Retry, Msg::Retry}, {QMessageBox::Cancel, Msg::Cancel}};
            break;
        default:
            buttons = {{QMessageBox::Ok, Msg::OK}};
            break;
    }
    for (const auto& b : buttons) box->addButton(b.button);
    const size_t def = static_cast<size_t>((style >> 8) & 0x3);
    if (def < buttons.size()) box->setDefaultButton(buttons[def].button);
    placeClearOfChildWindows(box, box->parentWidget());
    box->exec();
    QMessageBox::StandardButton clicked = QMessageBox::NoButton;
    if (box) clicked = box->standardButton(box->clickedButton());
    delete box.data();
    for (const auto& b : buttons)
        if (b.button == clicked) return b.answer;
    // Closed with the close box, or gone with its window: the cancel-like
    // answer, else the only one.
    for (const auto& b : buttons)
        if (b.answer == Msg::Cancel) return Msg::Cancel;
    return buttons.back().answer;
}

QString QtDialogBackend::inputBox(const QString& prompt, const QString& title,
                                  const QString& defaultText) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(QApplication::activeWindow(), applicationTitle(title), prompt,
                              QLineEdit::Normal, defaultText, &ok);
    return ok ? text : QString();
}

QString QtDialogBackend::toQtFilter(const QString& filter) {
    if (!filter.contains(u'|')) return filter;
    const QStringList parts = filter.split(u'|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString name = parts[i];
        QString patterns = parts[i + 1];
        patterns.replace(u';', u' ');
        if (!name.contains(u'(')) name += QStringLiteral(" (") + patterns + u')';
        out << name;
    }
    return out.join(QStringLiteral(";;"));
}

QString QtDialogBackend::openFile(const FileDialogRequest& r) {
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), r.title, startPath(r),
                                        toQtFilter(r.filter));
}

QString QtDialogBackend::saveFile(const FileDialogRequest& r) {
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), r.title, startPath(r),
                                        toQtFilter(r.filter));
}

QString QtDialogBackend::browseForFolder(const QString& startFolder, const QString& title) {
    return QFileDialog::getExistingDirectory(QApplication::activeWindow(), withoutMnemonic(title),
                                             startFolder, QFileDialog::ShowDirsOnly);
}

int QtDialogBackend::chooseItem(const QString& title, const QString& prompt,
                                const QStringList& items, int current) {
    // A dialog of our own rather than QInputDialog::getItem, which answers with the
    // text: two devices of one model have the same name.
    // On the heap, as a message box is: it may go with the window in front.
    const QPointer<QDialog> dialog = new QDialog(QApplication::activeWindow());
    dialog->setWindowTitle(applicationTitle(title));
    auto* layout = new QVBoxLayout(dialog);
    if (!prompt.isEmpty()) layout->addWidget(new QLabel(prompt, dialog));
    auto* list = new QComboBox(dialog);
    list->addItems(items);
    list->setCurrentIndex(current);
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    layout->addWidget(buttons);
    fitTitle(dialog);
    const bool accepted = dialog->exec() == QDialog::Accepted && dialog;
    const int chosen = accepted ? list->currentIndex() : -1;
    delete dialog.data();
    return chosen;
}

}  // namespace zelmora::platform
