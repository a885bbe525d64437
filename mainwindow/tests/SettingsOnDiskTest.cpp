// What the program's settings cost the disk, with the program's own store on a
// folder of the test's: a window that closes, and the program's exit, write each
// settings file once, whole, and lose nothing.
#include <QComboBox>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <functional>
#include <map>

#include "mainwindow/tests/ProgramOnTheSimulators.h"
#include "platform/os/FileWrite.h"
#include "platform/os/IniSettingsStore.h"
#include "shell/Globals.h"

using namespace zelmora;
using platform::IniSettingsStore;

namespace {

class SettingsOnDisk : public testenv::ProgramOnTheSimulators {
protected:
    void SetUp() override {
        ASSERT_TRUE(settingsDir.isValid());
        const std::string folder = QFile::encodeName(settingsDir.path()).toStdString();
        platform::setWriteObserver([this, folder](const std::string& path) {
            if (path.rfind(folder, 0) == 0)
                ++writes[QFileInfo(QString::fromStdString(path)).fileName().toStdString()];
        });
        platform::setFlushObserver([this, folder](const std::string& path) {
            if (path.rfind(folder, 0) == 0) ++flushes;
        });
        // Taking the lock flushes the lock file.
        IniSettingsStore::setLockObserver([this](const QString&) { ++flushes; });
        platform::setSettings(std::make_shared<IniSettingsStore>(
            settingsDir.path(), IniSettingsStore::Writes::Batched));
        ProgramOnTheSimulators::SetUp();
    }
    void TearDown() override {
        ProgramOnTheSimulators::TearDown();
        platform::failFileWrites(0, ENOSPC);
        platform::setWriteObserver({});
        platform::setFlushObserver({});
        IniSettingsStore::setLockObserver({});
    }

    QWidget* openMoonPhase() {
        menu("mnuMoonPhase");
        deliver();
        return windows().ifLoaded(Win::frmMoonPhase);
    }
    void exitTheProgram() {
        menu("mnuExit");
        deliver();
    }
    // Runs `step`, which must write each settings file once: its lock file, the
    // file and its folder flushed once each.
    void expectEachFileWrittenOnceBy(const std::function<void()>& step) {
        writes.clear();
        flushes = 0;
        step();
        EXPECT_EQ(writes, (std::map<std::string, int>{{"Zelmora 3.ini", 1}, {"Moonphase.ini", 1}}));
        EXPECT_EQ(flushes, 2 * 3);
    }
    // What a second copy of the program started now would read.
    QString onDisk(const QString& app, const QString& section, const QString& key) const {
        return IniSettingsStore(settingsDir.path())
            .get(app, section, key, QStringLiteral("<none>"));
    }
    // The key is on the disk as the program reads it.
    void expectSaved(const QString& app, const QString& section, const QString& key) const {
        EXPECT_EQ(onDisk(app, section, key), Settings::getApp(app, section, key, "<none>"))
            << section.toStdString() << "/" << key.toStdString();
        EXPECT_NE(onDisk(app, section, key), "<none>") << key.toStdString();
    }

    QTemporaryDir settingsDir;
    std::map<std::string, int> writes;
    int flushes = 0;
};

}  // namespace

// Starting the program, opening Moon Phase and closing the main window: each
// settings file is written at most three times (start, a window's save, exit),
// with at most twelve flushes to the disk in all.
TEST_F(SettingsOnDisk, StartMoonPhaseAndExitWriteEachFileAtMostThreeTimes) {
    ASSERT_NE(openMoonPhase(), nullptr);
    exitTheProgram();
    EXPECT_FALSE(writes.empty());
    for (const auto& [file, count] : writes) EXPECT_LE(count, 3) << file;
    EXPECT_LE(flushes, 12);
    expectSaved("Zelmora 3", "WindowPos", "Moon PhaseLeft");
    expectSaved("Moonphase", "Location", "LocationName");
}

// A window's unload writes each file it saved to once; so does the exit, for
// everything the closing windows and the main window saved; nothing is lost.
TEST_F(SettingsOnDisk, AWindowsUnloadAndTheExitWriteEachFileOnce) {
    QWidget* moon = openMoonPhase();
    ASSERT_NE(moon, nullptr);
    deliver();
    frameOf(moon)->move(40, 30);
    expectEachFileWrittenOnceBy([&] {
        frameOf(moon)->close();
        deliver();
    });
    EXPECT_EQ(onDisk("Zelmora 3", "WindowPos", "Moon PhaseLeft"), "600");
    expectSaved("Moonphase", "Location", "LocationName");
    const QString firstLocation = onDisk("Moonphase", "Location", "LocationName");

    // Open again at another place and location: the exit closes it.
    moon = openMoonPhase();
    ASSERT_NE(moon, nullptr);
    frameOf(moon)->move(80, 60);
    auto* locations = control<QComboBox>(moon, "lbLocationList");
    ASSERT_GE(locations->count(), 2);
    const int other = locations->currentText() == locations->itemText(0) ? 1 : 0;
    locations->setCurrentIndex(other);
    emit locations->activated(other);
    expectEachFileWrittenOnceBy([&] { exitTheProgram(); });
    EXPECT_EQ(onDisk("Zelmora 3", "WindowPos", "Moon PhaseLeft"), "1200");
    EXPECT_NE(onDisk("Moonphase", "Location", "LocationName"), firstLocation);
    expectSaved("Moonphase", "Location", "LocationName");
    expectSaved("Zelmora 3", "lptdata", "IndexOfSelectedPort");  // the exit's cable set-up
}

// A disk that is full when the exit writes the settings: the file stays as it
// was, whole, and the trace says which file and why.
TEST_F(SettingsOnDisk, AFullDiskAtTheExitLeavesTheOldFileAndIsTraced) {
    QWidget* moon = openMoonPhase();
    ASSERT_NE(moon, nullptr);
    frameOf(moon)->close();
    deliver();
    const QString file = QDir(settingsDir.path()).filePath("Zelmora 3.ini");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();

    platform::failFileWrites(1000, ENOSPC);  // full until the test ends
    exitTheProgram();
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
    EXPECT_EQ(onDisk("Zelmora 3", "lptdata", "IndexOfSelectedPort"), "<none>");
    EXPECT_TRUE(testenv::traceLines().contains(
        "Error in: MDIMain.Form_Unload with error:Cannot write the settings file " + file +
        ": No space left on device 75"))
        << testenv::traceLines().join("\n").toStdString();
}
