#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "shell/AppPaths.h"
#include "testing/TestEnv.h"

using namespace zelmora;

namespace {

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~ScopedEnv() {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

void writeFile(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

}  // namespace

// Where the user's data goes: the arguments and the environment, as a table. "~"
// stands for a temporary home folder, "@" for a temporary working folder.
TEST(AppPathsTest, ApplicationFolderChoice) {
    QTemporaryDir tmp;
    const QString home = tmp.filePath("home");
    const QString work = tmp.filePath("work");
    QDir().mkpath(home);
    QDir().mkpath(work);
    writeFile(tmp.filePath("a-file"), "not a folder");
    const QString savedCwd = QDir::currentPath();
    QDir::setCurrent(work);

    struct Case {
        const char* what;
        QStringList args;
        QByteArray xdgDataHome;  // null = unset
        QString dir;             // expected; "" = refused
    };
    const QByteArray unset;
    const QByteArray xdg = tmp.filePath("xdg").toLocal8Bit();
    const QByteArray underFile = tmp.filePath("a-file/xdg").toLocal8Bit();
    const Case cases[] = {
        {"default", {"zelmora"}, unset, home + "/.local/share/zelmora"},
        {"XDG_DATA_HOME", {"zelmora"}, xdg, tmp.filePath("xdg/zelmora")},
        {"--app-dir DIR",
         {"zelmora", "--app-dir", tmp.filePath("mine")},
         xdg,
         tmp.filePath("mine")},
        {"--app-dir=DIR", {"zelmora", "--app-dir=" + tmp.filePath("eq")}, xdg, tmp.filePath("eq")},
        {"relative --app-dir", {"zelmora", "log", "--app-dir", "rel/x"}, xdg, work + "/rel/x"},
        {"the program's own folder is never chosen",
         {tmp.filePath("bin/zelmora")},
         xdg,
         tmp.filePath("xdg/zelmora")},
        {"--app-dir under a file", {"zelmora", "--app-dir", tmp.filePath("a-file/sub")}, xdg, ""},
        {"--app-dir without a folder", {"zelmora", "--app-dir"}, xdg, ""},
        {"XDG_DATA_HOME under a file", {"zelmora"}, underFile, ""},
    };
    ScopedEnv homeEnv("HOME", home.toLocal8Bit());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScopedEnv dataHome("XDG_DATA_HOME", c.xdgDataHome);
        const AppPaths::AppDirChoice choice = AppPaths::chooseAppDir(c.args);
        if (c.dir.isEmpty()) {
            EXPECT_FALSE(choice.problem.isEmpty());
            if (!choice.dir.isEmpty()) EXPECT_TRUE(choice.problem.contains(choice.dir));
            continue;
        }
        EXPECT_EQ(choice.problem, "");
        EXPECT_EQ(choice.dir, QDir::cleanPath(c.dir));
        EXPECT_TRUE(QFileInfo(choice.dir).isDir()) << "created";
        EXPECT_EQ(
            QDir(choice.dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList{})
            << "the write probe is removed";
    }
    QDir::setCurrent(savedCwd);
}

TEST(AppPathsTest, ProgramArgumentsLeaveOutTheFolderOption) {
    EXPECT_EQ(AppPaths::programArguments({"/x/zelmora", "--app-dir", "/tmp/catalogue", "log"}),
              QStringList{"log"});
    EXPECT_EQ(AppPaths::programArguments({"/x/zelmora", "--app-dir=/tmp/log", "--smoke"}),
              QStringList{"--smoke"});
    EXPECT_EQ(AppPaths::programArguments({"/x/blog/zelmora"}), QStringList{});
}

TEST(AppPathsTest, ResourceFolderOfBuildTreeAndInstallation) {
    QTemporaryDir tmp;
    const QString prefix = tmp.filePath("prefix");
    QDir().mkpath(prefix + "/bin");
    QDir().mkpath(prefix + "/share/zelmora");
    QDir().mkpath(tmp.filePath("build/app"));
    QDir().mkpath(tmp.filePath("plain/bin"));
    EXPECT_EQ(AppPaths::chooseResourceDir(prefix + "/bin"), prefix + "/share/zelmora");
    EXPECT_EQ(AppPaths::chooseResourceDir(tmp.filePath("build/app")), tmp.filePath("build/app"));
    // A bin folder without an installed share/zelmora beside it is a folder of its own.
    EXPECT_EQ(AppPaths::chooseResourceDir(tmp.filePath("plain/bin")), tmp.filePath("plain/bin"));
}

// Defaults are copied into the user's folder only where the user has none.
TEST(AppPathsTest, SeedingDefaults) {
    QTemporaryDir resources;
    AppPaths::setResourceDir(resources.path());
    const QString app = AppPaths::appDir();
    writeFile(resources.filePath("DataFiles/Locations.txt"), "shipped places\n");
    writeFile(resources.filePath("DataFiles/ObjectCatalogue.txt"), "shipped catalogue\n");
    QFile::setPermissions(resources.filePath("DataFiles/Locations.txt"),
                          QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    writeFile(app + "/DataFiles/ObjectCatalogue.txt", "my catalogue\n");

    EXPECT_EQ(AppPaths::seedDefaults(), QStringList{});
    EXPECT_EQ(readFile(app + "/DataFiles/Locations.txt"), "shipped places\n") << "missing: copied";
    EXPECT_TRUE(QFileInfo(app + "/DataFiles/Locations.txt").isWritable()) << "the user's copy";
    EXPECT_EQ(readFile(app + "/DataFiles/ObjectCatalogue.txt"), "my catalogue\n")
        << "present: untouched";
    EXPECT_FALSE(QFileInfo::exists(app + "/DataFiles/Locations.txt.part"));

    // Once the user has edited the list, a later start keeps it.
    writeFile(app + "/DataFiles/Locations.txt", "my places\n");
    EXPECT_EQ(AppPaths::seedDefaults(), QStringList{});
    EXPECT_EQ(readFile(app + "/DataFiles/Locations.txt"), "my places\n");

    // Nothing shipped, or the program running in its own folder: nothing to do.
    QTemporaryDir empty;
    AppPaths::setResourceDir(empty.path());
    QFile::remove(app + "/DataFiles/Locations.txt");
    EXPECT_EQ(AppPaths::seedDefaults(), QStringList{});
    EXPECT_FALSE(QFileInfo::exists(app + "/DataFiles/Locations.txt"));
    AppPaths::setResourceDir({});
    EXPECT_EQ(AppPaths::seedDefaults(), QStringList{});
}

TEST(AppPathsTest, SeedingReportsWhatCannotBeCopied) {
    QTemporaryDir resources;
    AppPaths::setResourceDir(resources.path());
    writeFile(resources.filePath("DataFiles/Locations.txt"), "shipped places\n");
    // DataFiles is a file here, so no copy can go into it.
    writeFile(AppPaths::appDir() + "/DataFiles", "in the way");
    const QStringList problems = AppPaths::seedDefaults();
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].contains("Locations.txt"));
}
