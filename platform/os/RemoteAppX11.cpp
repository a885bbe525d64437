#include <QCoreApplication>
#include <QGuiApplication>

#include "platform/os/RemoteAppControl.h"
#include "platform/time/Clock.h"

#ifdef ZELMORA_HAVE_XTEST
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#endif

namespace zelmora::platform {

#ifdef ZELMORA_HAVE_XTEST
namespace {

bool onX11() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

// One short-lived connection per call: the remote path runs once per space bar.
struct Connection {
    Display* dpy = XOpenDisplay(nullptr);
    ~Connection() {
        if (dpy) XCloseDisplay(dpy);
    }
};

std::vector<unsigned long> windowProperty(Display* dpy, Window w, Atom property, Atom type) {
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned long> values;
    if (XGetWindowProperty(dpy, w, property, 0, 4096, False, type, &actualType, &format, &count,
                           &after, &data) == Success &&
        data && format == 32) {
        auto* longs = reinterpret_cast<unsigned long*>(data);
        values.assign(longs, longs + count);
    }
    if (data) XFree(data);
    return values;
}

long pidOf(Display* dpy, Window w) {
    const auto v = windowProperty(dpy, w, XInternAtom(dpy, "_NET_WM_PID", False), XA_CARDINAL);
    return v.empty() ? -1 : static_cast<long>(v.front());
}

Window activeWindow(Display* dpy) {
    const auto v = windowProperty(dpy, DefaultRootWindow(dpy),
                                  XInternAtom(dpy, "_NET_ACTIVE_WINDOW", False), XA_WINDOW);
    return v.empty() ? 0 : static_cast<Window>(v.front());
}

KeySym keySymOf(const QString& key, bool& needsShift) {
    needsShift = false;
    static const struct {
        const char* name;
        KeySym sym;
    } kNamed[] = {{"ENTER", XK_Return},
                  {"TAB", XK_Tab},
                  {"ESC", XK_Escape},
                  {"BS", XK_BackSpace},
                  {"BACKSPACE", XK_BackSpace},
                  {"DEL", XK_Delete},
                  {"DELETE", XK_Delete},
                  {"HOME", XK_Home},
                  {"END", XK_End},
                  {"UP", XK_Up},
                  {"DOWN", XK_Down},
                  {"LEFT", XK_Left},
                  {"RIGHT", XK_Right},
                  {"PGUP", XK_Page_Up},
                  {"PGDN", XK_Page_Down},
                  {"INSERT", XK_Insert}};
    if (key.size() > 1) {
        if (key.startsWith(u'F')) {
            bool ok = false;
            const int n = key.mid(1).toInt(&ok);
            if (ok && n >= 1 && n <= 16) return XK_F1 + (n - 1);
        }
        for (const auto& k : kNamed)
            if (key == QLatin1String(k.name)) return k.sym;
        return NoSymbol;
    }
    if (key.isEmpty()) return NoSymbol;
    const QChar c = key.at(0);
    if (c.isLetter() && c.isUpper()) {
        needsShift = true;
        return c.toLower().unicode();
    }
    const char16_t u = c.unicode();
    // Latin-1 key symbols are the characters' own codes.
    return u < 0x100 ? KeySym(u) : KeySym(0x01000000 | u);
}

void press(Display* dpy, KeySym sym, bool down) {
    const KeyCode code = XKeysymToKeycode(dpy, sym);
    if (code) XTestFakeKeyEvent(dpy, code, down ? True : False, CurrentTime);
}

}  // namespace

bool X11RemoteAppControl::activate(qint64 pid) {
    if (!onX11() || pid <= 0 || pid == QCoreApplication::applicationPid()) return false;
    Connection c;
    if (!c.dpy) return false;
    Display* dpy = c.dpy;
    const Window root = DefaultRootWindow(dpy);
    Window target = 0;
    for (unsigned long w :
         windowProperty(dpy, root, XInternAtom(dpy, "_NET_CLIENT_LIST", False), XA_WINDOW)) {
        if (pidOf(dpy, w) == pid) {
            target = w;
            break;
        }
    }
    if (!target) return false;
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = target;
    e.xclient.message_type = XInternAtom(dpy, "_NET_ACTIVE_WINDOW", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = 2;  // a pager-like request: window managers honour it
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(dpy, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    XFlush(dpy);
    // The window manager answers asynchronously; give it up to a second.
    for (int i = 0; i < 50; ++i) {
        const Window active = activeWindow(dpy);
        if (active == target && pidOf(dpy, active) == pid) return true;
        clock().sleepMs(20);
    }
    return false;
}

bool X11RemoteAppControl::sendKeys(const std::vector<KeyStroke>& keys) {
    if (!onX11() || keys.empty()) return false;
    Connection c;
    if (!c.dpy) return false;
    Display* dpy = c.dpy;
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(dpy, &event, &error, &major, &minor)) return false;
    // The keys go to whatever is active: refuse when that is one of ours.
    const Window active = activeWindow(dpy);
    if (!active || pidOf(dpy, active) == QCoreApplication::applicationPid()) return false;
    for (const KeyStroke& k : keys) {
        bool shift = false;
        const KeySym sym = keySymOf(k.key, shift);
        if (sym == NoSymbol || !XKeysymToKeycode(dpy, sym)) return false;
        shift = shift || k.shift;
        if (k.ctrl) press(dpy, XK_Control_L, true);
        if (shift) press(dpy, XK_Shift_L, true);
        if (k.alt) press(dpy, XK_Alt_L, true);
        press(dpy, sym, true);
        press(dpy, sym, false);
        if (k.alt) press(dpy, XK_Alt_L, false);
        if (shift) press(dpy, XK_Shift_L, false);
        if (k.ctrl) press(dpy, XK_Control_L, false);
    }
    // Returns once the server has taken every event.
    XSync(dpy, False);
    return true;
}

#else

bool X11RemoteAppControl::activate(qint64) {
    return false;
}
bool X11RemoteAppControl::sendKeys(const std::vector<KeyStroke>&) {
    return false;
}

#endif

}  // namespace zelmora::platform
