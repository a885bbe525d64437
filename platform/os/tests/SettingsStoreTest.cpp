#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <map>
#include <thread>

#include "platform/core/AppError.h"
#include "platform/os/FileWrite.h"
#include "platform/os/IniSettingsStore.h"

using zelmora::platform::IniSettingsStore;

namespace {

constexpr auto kBatched = IniSettingsStore::Writes::Batched;

// What reaches the disk in a folder: each file replaced whole, by name, and each
// flush, the settings lock's included.
struct DiskCount {
    explicit DiskCount(const QString& folder) {
        const std::string prefix = QFile::encodeName(folder).toStdString();
        zelmora::platform::setWriteObserver([this, prefix](const std::string& path) {
            if (path.rfind(prefix, 0) == 0)
                ++writes[QFileInfo(QString::fromStdString(path)).fileName().toStdString()];
        });
        zelmora::platform::setFlushObserver([this, prefix](const std::string& path) {
            if (path.rfind(prefix, 0) == 0) ++flushes;
        });
        IniSettingsStore::setLockObserver([this](const QString&) { ++flushes; });
    }
    ~DiskCount() {
        zelmora::platform::setWriteObserver({});
        zelmora::platform::setFlushObserver({});
        IniSettingsStore::setLockObserver({});
    }
    std::map<std::string, int> writes;
    int flushes = 0;
};

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

}  // namespace

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
    QStringList warnings;
    IniSettingsStore::setWarningSink([&](const QString& w) { warnings << w; });
    IniSettingsStore store(dir.path());
    EXPECT_EQ(store.get("Zelmora 3", "Options", "Color", ""), "255");
    EXPECT_EQ(store.get("Zelmora 3", "Options", "orphan", "none"), "none");
    // The keys under a section line without its "]" join no other section.
    EXPECT_EQ(store.get("Zelmora 3", "Options", "Key", "none"), "none");
    IniSettingsStore::setWarningSink({});
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings[0].endsWith("malformed section line skipped with its keys: [Broken"))
        << warnings[0].toStdString();
}

// Hand edits and other programs write CR LF, LF or CR alone; every one ends a line,
// so nothing is lost at the next save.
TEST(IniSettingsStoreTest, EveryKindOfLineEndEndsALine) {
    for (const char* end : {"\r\n", "\n", "\r"}) {
        QTemporaryDir dir;
        QFile f(dir.path() + "/Zelmora 3.ini");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("[Options]") + end + "Color=255" + end + "Size=3" + end + "[Other]" +
                end + "Size=4" + end);
        f.close();
        IniSettingsStore store(dir.path());
        EXPECT_EQ(store.get("Zelmora 3", "Options", "Color", ""), "255") << int(end[0]);
        EXPECT_EQ(store.get("Zelmora 3", "Options", "Size", ""), "3") << int(end[0]);
        EXPECT_EQ(store.get("Zelmora 3", "Other", "Size", ""), "4") << int(end[0]);
        store.save("Zelmora 3", "Options", "New", "1");
        IniSettingsStore fresh(dir.path());
        EXPECT_EQ(fresh.get("Zelmora 3", "Options", "Color", ""), "255") << int(end[0]);
        EXPECT_EQ(fresh.get("Zelmora 3", "Other", "Size", ""), "4") << int(end[0]);
    }
}

// A disk that fills while the file is written, or a flush to the disk that fails:
// the old file stays as it was and the caller hears the cause.
TEST(IniSettingsStoreTest, AFailedWriteOrFlushLeavesTheOldFileAndRaises) {
    struct Row {
        const char* name;
        void (*fail)(int, int);
        int error;
    };
    for (const Row& r : {Row{"a full disk", zelmora::platform::failFileWrites, ENOSPC},
                         Row{"a failed flush", zelmora::platform::failFileFlushes, EIO}}) {
        SCOPED_TRACE(r.name);
        QTemporaryDir dir;
        IniSettingsStore store(dir.path());
        store.save("Zelmora 3", "Options", "Color", "255");
        QFile f(store.fileFor("Zelmora 3"));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray before = f.readAll();
        f.close();
        r.fail(1, r.error);
        try {
            store.save("Zelmora 3", "Options", "Size", "3");
            ADD_FAILURE() << "no error";
        } catch (const zelmora::AppError& e) {
            EXPECT_EQ(e.number(), 75);
            EXPECT_TRUE(e.description().contains(QString::fromLocal8Bit(std::strerror(r.error))))
                << e.description().toStdString();
        }
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), before);
        f.close();
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"Zelmora 3.ini"});
        IniSettingsStore fresh(dir.path());
        EXPECT_EQ(fresh.get("Zelmora 3", "Options", "Color", ""), "255");
    }
}

// Saved whole through a power cut: the new contents reach the disk under the
// temporary name, at their full size, before the file's own name changes; the
// folder, with the rename, after it.
TEST(FileWriteTest, TheFileIsFlushedWholeBeforeItTakesItsName) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/Locations.txt";
    const auto contents = [&] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    zelmora::platform::writeFileWhole(path, "the old list\n");
    struct Flush {
        QString path;
        qint64 size;
        QByteArray underTheName;
    };
    std::vector<Flush> flushes;
    zelmora::platform::setFlushObserver([&](const std::string& p) {
        const QString flushed = QString::fromStdString(p);
        flushes.push_back({flushed, QFileInfo(flushed).size(), contents()});
    });
    const QByteArray list(100000, 'L');
    zelmora::platform::writeFileWhole(path, list);
    zelmora::platform::setFlushObserver({});
    ASSERT_EQ(flushes.size(), 2u);
    EXPECT_TRUE(flushes[0].path.startsWith(path + ".")) << flushes[0].path.toStdString();
    EXPECT_EQ(flushes[0].size, list.size());
    EXPECT_EQ(flushes[0].underTheName, "the old list\n");
    // Then the folder, which holds the new name.
    EXPECT_EQ(flushes[1].path, dir.path());
    EXPECT_EQ(flushes[1].underTheName, list);
    EXPECT_EQ(contents(), list);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"Locations.txt"});
}

// A settings file that is there but cannot be opened (too many open files, no
// permission, an I/O error) is not a missing one: a save raises and writes nothing,
// and a read gives the default without keeping it.
TEST(IniSettingsStoreTest, AnUnreadableFileIsNeitherReplacedNorTakenForEmpty) {
    for (int error : {EMFILE, EACCES, EIO}) {
        QTemporaryDir dir;
        IniSettingsStore(dir.path()).save("Zelmora 3", "Options", "Color", "255");
        QFile f(dir.path() + "/Zelmora 3.ini");
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray before = f.readAll();
        f.close();

        IniSettingsStore store(dir.path());
        zelmora::platform::failFileReads(1, error);
        try {
            store.save("Zelmora 3", "Options", "Size", "3");
            ADD_FAILURE() << "no error for errno " << error;
        } catch (const zelmora::AppError& e) {
            EXPECT_EQ(e.number(), 75);
            EXPECT_TRUE(e.description().contains(QString::fromLocal8Bit(std::strerror(error))))
                << e.description().toStdString();
        }
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), before) << error;
        f.close();

        zelmora::platform::failFileReads(1, error);
        EXPECT_EQ(store.get("Zelmora 3", "Options", "Color", "dflt"), "dflt") << error;
        EXPECT_EQ(store.get("Zelmora 3", "Options", "Color", "dflt"), "255") << error;
        store.save("Zelmora 3", "Options", "Size", "3");
        IniSettingsStore fresh(dir.path());
        EXPECT_EQ(fresh.get("Zelmora 3", "Options", "Color", ""), "255") << error;
        EXPECT_EQ(fresh.get("Zelmora 3", "Options", "Size", ""), "3") << error;
    }
}

// Two copies of the program saving at the same moment: the read, change and write
// of each is one step, so no key is lost.
TEST(IniSettingsStoreTest, TwoCopiesSavingAtOnceLoseNoKey) {
    QTemporaryDir dir;
    constexpr int kEach = 150;
    auto copy = [&](const QString& prefix) {
        IniSettingsStore store(dir.path());
        for (int i = 0; i < kEach; ++i)
            store.save("Zelmora 3", "Keys", prefix + QString::number(i), "v");
    };
    std::thread a(copy, QStringLiteral("a"));
    std::thread b(copy, QStringLiteral("b"));
    a.join();
    b.join();
    IniSettingsStore reader(dir.path());
    int found = 0;
    for (int i = 0; i < kEach; ++i)
        for (const char* prefix : {"a", "b"})
            found += reader.contains("Zelmora 3", "Keys", prefix + QString::number(i));
    EXPECT_EQ(found, 2 * kEach);
}

// Many keys: read, look-up and save stay linear (the bench measures the time).
TEST(SettingsDataTest, FiftyThousandKeysRoundTrip) {
    zelmora::platform::SettingsData data;
    constexpr int kKeys = 50'000;
    for (int i = 0; i < kKeys; ++i)
        data.set(QStringLiteral("Section%1").arg(i % 10), QStringLiteral("Key%1").arg(i),
                 QString::number(i));
    const auto back = zelmora::platform::SettingsData::fromIni(data.toIni());
    for (int i = 0; i < kKeys; i += 997)
        EXPECT_EQ(
            back.find(QStringLiteral("section%1").arg(i % 10), QStringLiteral("KEY%1").arg(i)),
            QString::number(i));
    EXPECT_EQ(back.toIni(), data.toIni());
    // Removing keeps the look-ups right for the keys after the one removed.
    zelmora::platform::SettingsData copy = back;
    EXPECT_TRUE(copy.remove("Section3", "Key3"));
    EXPECT_FALSE(copy.find("Section3", "Key3"));
    EXPECT_EQ(copy.find("Section3", "Key13"), QString("13"));
    copy.set("Section3", "Key13", "x");
    EXPECT_EQ(copy.find("Section3", "key13"), QString("x"));
}

// The program's store: what is saved while one event is handled (a window saving
// its place and choices as it closes) reaches each file once, when the event loop
// comes round: one flush of the lock file, one of the file and one of its folder.
// Reads see each save at once, and what a second copy saved meanwhile is kept.
TEST(IniSettingsStoreTest, SavesMadeWhileOneEventIsHandledAreWrittenOnceAFile) {
    QTemporaryDir dir;
    IniSettingsStore store(dir.path(), kBatched);
    IniSettingsStore(dir.path()).save("Zelmora 3", "Options", "Color", "192");
    EXPECT_EQ(store.get("Zelmora 3", "Options", "Color", ""), "192");  // read and kept
    IniSettingsStore(dir.path()).save("Zelmora 3", "Options", "FromOtherCopy", "1");

    DiskCount disk(dir.path());
    for (int i = 0; i < 4; ++i) {
        store.save("Zelmora 3", "lptdata", QStringLiteral("Port%1Address").arg(i),
                   QString::number(0x378 + i));
        store.save("Zelmora 3", "lptdata", QStringLiteral("Port%1Enabled").arg(i), "True");
    }
    store.remove("Zelmora 3", "Options", "Color");
    store.save("Moonphase", "Location", "LocationName", "Home");
    EXPECT_EQ(store.get("Zelmora 3", "lptdata", "Port2Address", ""), "890");
    EXPECT_FALSE(store.contains("Zelmora 3", "Options", "Color"));
    EXPECT_EQ(store.get("Moonphase", "Location", "LocationName", ""), "Home");
    QCoreApplication::processEvents();

    EXPECT_EQ(disk.writes,
              (std::map<std::string, int>{{"Zelmora 3.ini", 1}, {"Moonphase.ini", 1}}));
    EXPECT_EQ(disk.flushes, 2 * 3);
    IniSettingsStore fresh(dir.path());
    EXPECT_EQ(fresh.get("Zelmora 3", "lptdata", "Port3Address", ""), "891");
    EXPECT_EQ(fresh.get("Zelmora 3", "Options", "FromOtherCopy", ""), "1");
    EXPECT_FALSE(fresh.contains("Zelmora 3", "Options", "Color"));
    EXPECT_EQ(fresh.get("Moonphase", "Location", "LocationName", ""), "Home");

    // Saved again as they are: the files already say so.
    store.save("Zelmora 3", "lptdata", "Port0Address", "888");
    store.save("Moonphase", "Location", "LocationName", "Home");
    QCoreApplication::processEvents();
    EXPECT_EQ(disk.writes,
              (std::map<std::string, int>{{"Zelmora 3.ini", 1}, {"Moonphase.ini", 1}}));
    // Ended with saves still waiting: the store writes them as it goes.
    {
        IniSettingsStore last(dir.path(), kBatched);
        last.save("Zelmora 3", "WindowPos", "Moon PhaseTop", "1200");
    }
    EXPECT_EQ(IniSettingsStore(dir.path()).get("Zelmora 3", "WindowPos", "Moon PhaseTop", ""),
              "1200");
}

// A full disk, a failed flush or a read-only file system when the saves are
// written: the old file stays whole, the failure is told (to the trace when the
// loop wrote them, to the caller of flush()), reads keep the new values, and the
// next write takes them along.
TEST(IniSettingsStoreTest, SavesThatCannotBeWrittenLeaveTheOldFileAndAreKept) {
    struct Row {
        const char* name;
        void (*fail)(int, int);
        int error;
    };
    for (const Row& r :
         {Row{"a full disk", zelmora::platform::failFileWrites, ENOSPC},
          Row{"a failed flush", zelmora::platform::failFileFlushes, EIO},
          Row{"a read-only file system", zelmora::platform::failFileWrites, EROFS}}) {
        SCOPED_TRACE(r.name);
        const QString cause = QString::fromLocal8Bit(std::strerror(r.error));
        QTemporaryDir dir;
        IniSettingsStore store(dir.path(), kBatched);
        store.save("Zelmora 3", "Options", "Color", "255");
        store.flush();
        const QString file = store.fileFor("Zelmora 3");
        const QByteArray before = contents(file);
        QStringList told;
        IniSettingsStore::setWarningSink([&](const QString& w) { told << w; });

        r.fail(1, r.error);
        store.save("Zelmora 3", "Options", "Size", "3");
        QCoreApplication::processEvents();
        EXPECT_EQ(contents(file), before);
        ASSERT_EQ(told.size(), 1);
        EXPECT_TRUE(told[0].startsWith("Cannot write the settings file " + file + ": "))
            << told[0].toStdString();
        EXPECT_TRUE(told[0].contains(cause)) << told[0].toStdString();
        EXPECT_EQ(store.get("Zelmora 3", "Options", "Size", ""), "3");

        r.fail(1, r.error);
        store.save("Zelmora 3", "Options", "Zoom", "2");
        try {
            store.flush();
            ADD_FAILURE() << "no error";
        } catch (const zelmora::AppError& e) {
            EXPECT_EQ(e.number(), 75);
            EXPECT_TRUE(e.description().contains(cause)) << e.description().toStdString();
        }
        EXPECT_EQ(contents(file), before);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"Zelmora 3.ini"});
        IniSettingsStore::setWarningSink({});

        store.flush();
        IniSettingsStore fresh(dir.path());
        EXPECT_EQ(fresh.get("Zelmora 3", "Options", "Color", ""), "255");
        EXPECT_EQ(fresh.get("Zelmora 3", "Options", "Size", ""), "3");
        EXPECT_EQ(fresh.get("Zelmora 3", "Options", "Zoom", ""), "2");
    }
}

// The program may end without its event loop coming round again after the last
// saves (it quits from inside an event): they are in the file once the
// application has ended, though the store itself is never destroyed.
TEST(IniSettingsStoreTest, SavesStillWaitingWhenTheApplicationEndsReachTheFile) {
    QTemporaryDir dir;
    QProcess end;
    end.start(QStringLiteral(SETTINGS_END_CHECK), {dir.path()});
    ASSERT_TRUE(end.waitForFinished(60'000));
    EXPECT_EQ(end.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(end.exitCode(), 0) << end.readAllStandardError().toStdString();
    IniSettingsStore fresh(dir.path());
    EXPECT_EQ(fresh.get("Zelmora 3", "Options", "SavedLast", ""), "yes");
    EXPECT_EQ(fresh.get("Moonphase", "Location", "LocationName", ""), "Home");
}
