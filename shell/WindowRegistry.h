#pragma once

#include <QHash>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

namespace zelmora {

// The names of the program's windows, as the registry knows them.
namespace Win {
inline const QString frmCameraControl = QStringLiteral("frmCameraControl");
inline const QString frmImageDisp = QStringLiteral("frmImageDisp");
inline const QString frmImage1 = QStringLiteral("frmImage1");
inline const QString frmZoomer = QStringLiteral("frmZoomer");
inline const QString frmHistogram = QStringLiteral("frmHistogram");
inline const QString frmFullScreen = QStringLiteral("frmFullScreen");
inline const QString frmAnalyze = QStringLiteral("frmAnalyze");
inline const QString frmAutofocus = QStringLiteral("frmAutofocus");
inline const QString frmAutoFocusRslts = QStringLiteral("frmAutoFocusRslts");
inline const QString frmCapture = QStringLiteral("frmCapture");
inline const QString frmAutomate = QStringLiteral("frmAutomate");
inline const QString frmExpCalc = QStringLiteral("frmExpCalc");
inline const QString frmSelectPort = QStringLiteral("frmSelectPort");
inline const QString frmScopeControl = QStringLiteral("frmScopeControl");
inline const QString frmCustomObjects = QStringLiteral("frmCustomObjects");
inline const QString frmMoonPhase = QStringLiteral("frmMoonPhase");
inline const QString frmAbout = QStringLiteral("frmAbout");
inline const QString frmColorPicker = QStringLiteral("frmColorPicker");
}  // namespace Win

// Knows which windows are loaded. "Call only if loaded" (ifLoaded) and
// "create and show" (show) are separate calls: every call site says which it
// means, so touching a window never creates it by accident.
class WindowRegistry {
public:
    struct Entry {
        std::function<QWidget*()> create;  // makes the window (not shown)
        bool mdiChild = true;              // shown inside the main window
    };

    static WindowRegistry& instance();

    // Subsystems register their windows once, at program start.
    void registerWindow(const QString& name, std::function<QWidget*()> create,
                        bool mdiChild = true);
    bool isRegistered(const QString& name) const { return entries_.contains(name); }

    // The loaded window, or nullptr. Never creates it.
    QWidget* ifLoaded(const QString& name) const;
    template <typename T>
    T* ifLoadedAs(const QString& name) const {
        return dynamic_cast<T*>(ifLoaded(name));
    }
    bool isLoaded(const QString& name) const { return ifLoaded(name) != nullptr; }

    // Creates the window when it is not loaded (placing it in the main window
    // when it is a child window), then shows it modeless. nullptr when no
    // window of that name has been built into the program.
    QWidget* show(const QString& name);
    // Creates the window when it is not loaded, without showing it.
    QWidget* load(const QString& name);
    template <typename T>
    T* showAs(const QString& name) {
        return dynamic_cast<T*>(show(name));
    }

    // Windows call these from their load and unload steps; the b...Loaded
    // flags of the program read them.
    void markLoaded(const QString& name, QWidget* window);
    void markUnloaded(const QString& name);

    // Closes every loaded window, each running its own closing steps.
    void closeAll();
    QStringList loadedNames() const;

    // How child windows are placed: the main window installs this.
    using Placer = std::function<QWidget*(QWidget* window)>;
    void setChildPlacer(Placer placer) { placer_ = std::move(placer); }

    void reset();

private:
    QHash<QString, Entry> entries_;
    QHash<QString, QPointer<QWidget>> loaded_;
    Placer placer_;
};

inline WindowRegistry& windows() {
    return WindowRegistry::instance();
}

// What stands for a window on screen: its frame in the main window when it is
// a child window, else the window itself.
QWidget* frameOf(QWidget* window);

// Brings a window forward for the program's own reasons (a new frame, a result):
// it comes up over the others, but never over the child window the user is
// working in (the active one), which stays in front where the two meet.
void bringForward(QWidget* window);

// Puts the frame of `back` just under the frame of `front` when both are child
// windows of one area, else at the bottom of its own stack (also when `front`
// is null).
void stackBehind(QWidget* back, QWidget* front);

}  // namespace zelmora

namespace zelmora {
// The program's "window is loaded" flags, read from the registry.
inline bool bCameraControlLoaded() {
    return windows().isLoaded(Win::frmCameraControl);
}
inline bool bImageDispLoaded() {
    return windows().isLoaded(Win::frmImageDisp);
}
inline bool bAnalyzeLoaded() {
    return windows().isLoaded(Win::frmAnalyze);
}
inline bool bAutoFocusRsltsLoaded() {
    return windows().isLoaded(Win::frmAutoFocusRslts);
}
inline bool bCaptureLoaded() {
    return windows().isLoaded(Win::frmCapture);
}
inline bool bAutomateLoaded() {
    return windows().isLoaded(Win::frmAutomate);
}
}  // namespace zelmora
