#include <gtest/gtest.h>

#include <QGuiApplication>

#include "platform/os/PointerScreen.h"
#include "platform/os/RemoteAppControl.h"

using namespace zelmora::platform;

namespace {

TEST(KeySequence, ReadsTheHotKeyNotation) {
    using K = KeyStroke;
    const struct {
        const char* text;
        std::vector<KeyStroke> keys;
    } cases[] = {
        {" ", {K{false, false, false, " "}}},
        {"^+F", {K{true, true, false, "F"}}},
        {"{F1}", {K{false, false, false, "F1"}}},
        {"{f9}", {K{false, false, false, "F9"}}},
        {"%{ENTER}", {K{false, false, true, "ENTER"}}},
        {"{+}", {K{false, false, false, "+"}}},
        {"ab", {K{false, false, false, "a"}, K{false, false, false, "b"}}},
    };
    for (const auto& c : cases) {
        const auto keys = parseKeySequence(QString::fromLatin1(c.text));
        ASSERT_TRUE(keys.has_value()) << c.text;
        EXPECT_EQ(*keys, c.keys) << c.text;
    }
    for (const char* bad : {"^", "{F1", "(ab)", "x}"})
        EXPECT_FALSE(parseKeySequence(QString::fromLatin1(bad)).has_value()) << bad;
}

TEST(RemoteApp, OffX11NothingIsActivatedOrSent) {
    // The tests run on the offscreen platform: the real control must refuse.
    ASSERT_NE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    X11RemoteAppControl remote;
    EXPECT_FALSE(remote.activate(4242));
    EXPECT_FALSE(remote.sendKeys({KeyStroke{false, false, false, " "}}));
}

TEST(ScreenGrab, NeverMoreThan128PixelsASide) {
    EXPECT_EQ(limitGrabArea(QRect(-40, 10, 500, 90)), QRect(-40, 10, 128, 90));
    RecordingGrabber grabber;
    EXPECT_EQ(grabber.grab(QRect(0, 0, 1920, 1080)).size(), QSize(128, 128));
    QtScreenGrabber real;
    const QImage image = real.grab(QRect(5, 5, 4000, 20));
    EXPECT_LE(image.width(), 128);
}

}  // namespace
