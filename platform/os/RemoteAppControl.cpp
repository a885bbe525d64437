#include "platform/os/RemoteAppControl.h"

namespace zelmora::platform {

namespace {
std::shared_ptr<RemoteAppControl>& slot() {
    static std::shared_ptr<RemoteAppControl> s;
    return s;
}
}  // namespace

RemoteAppControl& RemoteAppControl::instance() {
    auto& s = slot();
    if (!s) s = std::make_shared<X11RemoteAppControl>();
    return *s;
}

void RemoteAppControl::setInstance(std::shared_ptr<RemoteAppControl> control) {
    slot() = std::move(control);
}

std::optional<std::vector<KeyStroke>> parseKeySequence(const QString& text) {
    std::vector<KeyStroke> keys;
    KeyStroke pending;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'^') {
            pending.ctrl = true;
        } else if (c == u'+') {
            pending.shift = true;
        } else if (c == u'%') {
            pending.alt = true;
        } else if (c == u'{') {
            // "{}}" is a closing brace; otherwise the name runs to the next "}".
            qsizetype end = text.indexOf(u'}', i + 2);
            if (end < 0) return std::nullopt;
            pending.key = text.mid(i + 1, end - i - 1).toUpper();
            if (pending.key.size() == 1) pending.key = text.mid(i + 1, 1);
            keys.push_back(pending);
            pending = {};
            i = end;
        } else if (c == u'}' || c == u'(' || c == u')' || c == u'~') {
            return std::nullopt;  // groups and repeats are not used by the hot keys
        } else {
            pending.key = QString(c);
            keys.push_back(pending);
            pending = {};
        }
    }
    // Modifiers with no key after them.
    if (pending.ctrl || pending.shift || pending.alt) return std::nullopt;
    return keys;
}

}  // namespace zelmora::platform
