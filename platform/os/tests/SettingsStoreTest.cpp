#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/os/IniSettingsStore.h"

using zelmora::platform::IniSettingsStore;

TEST(IniSettingsStoreTest, AwkwardKeysAndValuesRoundTripExactly) {
    QTemporaryDir dir;
    struct Case {
        QString section, key, value;
    };
    const std::vector<Case> cases = {
        {"WindowPos", "Camera ControlTop", "1234"},
        {"WindowPos", "A/B", "slash key"},
        {"WindowPos", "C\\D", "backslash key"},
        {"Options", "Comma", "a,b, c"},
        {"Options", "At", "@Variant(junk)"},
        {"Options", "Equals=Key", "x=y==z"},
        {"Options", "Backslash", "C:\\Images\\"},
        {"Options", "Spaces", "  padded value  "},
        {"Options", "Percent", "100% %41"},
        {"Options", "Empty", ""},
        {"Options", "[Bracket]", ";semi #hash"},
        {"Options", "Unicode", QString::fromUtf8("Zürich – 12°")},
        {"Options", QString::fromUtf8("\u00A0Pasted"), QString::fromUtf8("\u00A0Home\u3000")},
        {"Odd/Section [x]", "Key", "value\r\nwith lines"},
    };
    {
        IniSettingsStore store(dir.path());
        for (const auto& c : cases) store.save("Zelmora 3", c.section, c.key, c.value);
    }
    IniSettingsStore fresh(dir.path());  // reads the file back
    for (const auto& c : cases) {
        EXPECT_EQ(fresh.get("Zelmora 3", c.section, c.key, "<absent>"), c.value)
            << c.section.toStdString() << "/" << c.key.toStdString();
    }
}

TEST(IniSettingsStoreTest, LookupIgnoresCaseAndKeepsApplicationsApart) {
    QTemporaryDir dir;
    IniSettingsStore store(dir.path());
    store.save("Zelmora 3", "XhairType", "BullsEye", "True");
    store.save("Moonphase", "Location", "LocationName", "Home");
    EXPECT_EQ(store.get("zelmora 3", "xhairtype", "BULLSEYE", "x"), "True");
    EXPECT_EQ(store.get("Zelmora 3", "Location", "LocationName", "none"), "none");
    EXPECT_TRUE(QFile::exists(store.fileFor("Moonphase")));
    store.save("Zelmora 3", "XHAIRTYPE", "bullseye", "False");
    EXPECT_EQ(store.get("Zelmora 3", "XhairType", "BullsEye", "x"), "False");

    // Another spelling of the application's name is the same file, on disk too.
    store.save("ZELMORA 3", "Options", "Color", "192");
    EXPECT_EQ(store.get("Zelmora 3", "XhairType", "BullsEye", "x"), "False");
    IniSettingsStore fresh(dir.path());
    EXPECT_EQ(fresh.get("zelmora 3", "Options", "Color", "x"), "192");
    EXPECT_EQ(fresh.get("zelmora 3", "XhairType", "BullsEye", "x"), "False");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}

TEST(IniSettingsStoreTest, ReadingAnAbsentKeyWritesNothing) {
    QTemporaryDir dir;
    IniSettingsStore store(dir.path() + "/sub");
    EXPECT_EQ(store.get("Zelmora 3", "Options", "Color", "192"), "192");
    EXPECT_FALSE(QDir(dir.path() + "/sub").exists());
}

TEST(IniSettingsStoreTest, TwoCopiesOfTheProgramKeepEachOthersSaves) {
    QTemporaryDir dir;
    IniSettingsStore first(dir.path());
    IniSettingsStore second(dir.path());
    first.get("Zelmora 3", "A", "k", "");  // caches the (empty) file
    second.save("Zelmora 3", "A", "fromSecond", "2");
    first.save("Zelmora 3", "A", "fromFirst", "1");
    IniSettingsStore reader(dir.path());
    EXPECT_EQ(reader.get("Zelmora 3", "A", "fromSecond", ""), "2");
    EXPECT_EQ(reader.get("Zelmora 3", "A", "fromFirst", ""), "1");
}

TEST(IniSettingsStoreTest, MalformedLinesAreSkipped) {
    QTemporaryDir dir;
    QFile f(dir.path() + "/Zelmora 3.ini");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("orphan=1\n[Options]\nno equals sign\nColor=255\n\n[Broken\nKey=v\n");
    f.close();
    IniSettingsStore store(dir.path());
    EXPECT_EQ(store.get("Zelmora 3", "Options", "Color", ""), "255");
    EXPECT_EQ(store.get("Zelmora 3", "Options", "orphan", "none"), "none");
}
