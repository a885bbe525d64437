#include <gtest/gtest.h>

#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <filesystem>

#include "platform/core/AppError.h"
#include "platform/time/Clock.h"
#include "shell/DirUtils.h"
#include "shell/ListUtils.h"

using namespace zelmora;
namespace DF = zelmora::DirectoryFunctions;

namespace {

void touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("x");
}

QStringList relative(const QString& root, const QStringList& paths) {
    QStringList out;
    for (const QString& p : paths) out << p.mid(root.size() + 1);
    return out;
}

class DirUtilsTest : public ::testing::Test {
protected:
    void TearDown() override { platform::setEventPassListener({}); }
    QTemporaryDir tmp;
    QString root() const { return tmp.path(); }
};

}  // namespace

TEST(ListUtils, CountAppendIndexOf) {
    std::vector<QString> list;
    EXPECT_EQ(ArrayFunctions::ArrayCount(list), 0);
    EXPECT_EQ(ArrayFunctions::ArrayIndexOf(list, QStringLiteral("a")), -1);
    ArrayFunctions::ArrayAppend(list, QStringLiteral("a"));
    ArrayFunctions::ArrayAppend(list, QStringLiteral("b"));
    EXPECT_EQ(ArrayFunctions::ArrayCount(list), 2);
    EXPECT_EQ(ArrayFunctions::ArrayIndexOf(list, QStringLiteral("b")), 1);
    int pumped = 0;
    platform::setEventPassListener([&] { ++pumped; });
    ArrayFunctions::ArrayAppendAll(list, std::vector<QString>{"c", "d"});
    platform::setEventPassListener({});
    EXPECT_EQ(list, (std::vector<QString>{"a", "b", "c", "d"}));
    EXPECT_EQ(pumped, 2);
}

// A table of records is searched by each record's element 0 only.
TEST(ListUtils, IndexOfARecordByItsFirstElement) {
    using Table = std::vector<std::vector<QString>>;
    const Table folders{{"/night/a", "12"}, {"/night/b", "/night/a"}, {}, {"/night/c"}};
    struct Case {
        const char* name;
        Table table;
        QString value;
        int index;
    } cases[] = {
        {"first record", folders, "/night/a", 0},
        {"a later record", folders, "/night/c", 3},
        {"only in element 1", folders, "12", -1},
        {"element 1 of another record", Table{{"x", "/night/c"}, {"/night/c"}}, "/night/c", 1},
        {"empty table", Table{}, "/night/a", -1},
        {"first record empty", Table{{}, {"/night/a"}}, "/night/a", -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ArrayFunctions::ArrayIndexOf(c.table, c.value), c.index) << c.name;
    // A whole record is still found as a value of the table.
    EXPECT_EQ(ArrayFunctions::ArrayIndexOf(folders, std::vector<QString>{"/night/c"}), 3);
    EXPECT_EQ(ArrayFunctions::ArrayIndexOf(std::vector<std::vector<int>>{{4, 1}, {7, 4}}, 7), 1);
}

TEST(DirUtilsMatch, WildcardTable) {
    struct Case {
        const char* path;
        const char* mask;
        bool match;
    };
    const Case cases[] = {
        {"/x/A.JPG", "*.jpg", true},
        {"/x/a.jpeg", "*.jpg", false},
        {"/x/README", "*.*", true},
        {"/x/README", "*.", true},
        {"/x/a.b", "*.", false},
        {"/x/IMG_1.CRW", "IMG_?.crw", true},
        {"/x/IMG_12.CRW", "IMG_?.crw", false},
        {"/x/anything", "", true},
        {"/x/a.tar.gz", "*.gz", true},
        {"/x/abc", "a*c", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DF::MatchSpec(c.path, c.mask), c.match) << c.path << " " << c.mask;
        EXPECT_EQ(DF::MatchSpec(c.path, c.mask, true), !c.match) << c.path << " " << c.mask;
    }
}

TEST_F(DirUtilsTest, ScanTreeMasksPlaceSubFolderContentsWhereTheFolderWasMet) {
    touch(root() + "/b.jpg");
    touch(root() + "/a.CRW");
    touch(root() + "/notes");             // no extension: the masks decide
    touch(root() + "/2024.01.05/c.jpg");  // dotted folder is scanned
    touch(root() + "/sub/d.JPG");
    touch(root() + "/sub/deeper/e.crw");
    touch(root() + "/sub/deeper/f.txt");
    const QStringList got = DF::ScanTree(root(), false, {"*.jpg", "*.crw"});
    EXPECT_EQ(relative(root(), got),
              (QStringList{"2024.01.05/c.jpg", "sub/deeper/e.crw", "sub/d.JPG", "b.jpg", "a.CRW"}));

    const QStringList excl = DF::ScanTree(root(), true, {"*.jpg"});
    EXPECT_EQ(relative(root(), excl),
              (QStringList{"sub/deeper/e.crw", "sub/deeper/f.txt", "a.CRW", "notes"}));

    EXPECT_TRUE(DF::ScanTree(root() + "/missing", false, {"*.jpg"}).isEmpty());
    EXPECT_EQ(relative(root(), DF::GetFileList(root(), true, "*.jpg")),
              (QStringList{"2024.01.05/c.jpg", "sub/d.JPG", "b.jpg"}));
    EXPECT_EQ(relative(root(), DF::GetFileList(root(), false, "")),
              (QStringList{"a.CRW", "b.jpg", "notes"}));
}

TEST_F(DirUtilsTest, ListingsAreSortedAndIndependentOfListingsStartedInsideThePump) {
    for (const char* n : {"IMG_0003.JPG", "img_0001.jpg", "IMG_0002.JPG"}) touch(root() + "/" + n);
    touch(root() + "/other/x.jpg");
    touch(root() + "/other/y.jpg");
    int nested = 0;
    platform::setEventPassListener([&] {
        if (nested++ < 3) DF::GetFileList(root() + "/other", false, "*.jpg");
    });
    EXPECT_EQ(relative(root(), DF::GetFileList(root(), false, "*.JPG")),
              (QStringList{"img_0001.jpg", "IMG_0002.JPG", "IMG_0003.JPG"}));
    EXPECT_GT(nested, 0);
}

TEST_F(DirUtilsTest, SymlinkLoopTerminatesAndUnreadableSubFolderIsSkipped) {
    touch(root() + "/a/one.jpg");
    std::filesystem::create_directory_symlink(root().toStdString(),
                                              (root() + "/a/loop").toStdString());
    touch(root() + "/locked/hidden.jpg");
    QFile::setPermissions(root() + "/locked", QFileDevice::Permissions{});
    const bool root_user = ::geteuid() == 0;
    const QStringList got = DF::ScanTree(root(), false, {"*.jpg"});
    QFile::setPermissions(root() + "/locked",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (root_user)
        EXPECT_EQ(relative(root(), got), (QStringList{"a/one.jpg", "locked/hidden.jpg"}));
    else
        EXPECT_EQ(relative(root(), got), QStringList{"a/one.jpg"});
}

TEST_F(DirUtilsTest, UnreadableRootRaisesScanTreeError) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every folder";
    touch(root() + "/locked/a.jpg");
    QFile::setPermissions(root() + "/locked", QFileDevice::Permissions{});
    try {
        DF::ScanTree(root() + "/locked", false, {"*.jpg"});
        ADD_FAILURE() << "no error";
    } catch (const AppError& e) {
        EXPECT_EQ(e.number(), -2147220270);
        EXPECT_EQ(e.source(), "ScanTree");
    }
    QFile::setPermissions(root() + "/locked",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST_F(DirUtilsTest, SafeDirNamesExistingEntriesOnly) {
    touch(root() + "/f.jpg");
    QDir().mkpath(root() + "/d");
    EXPECT_EQ(DF::SafeDir(root() + "/d", DF::kDirectory), "d");
    EXPECT_EQ(DF::SafeDir(root() + "/d/", DF::kDirectory), "d");
    EXPECT_EQ(DF::SafeDir(root() + "/d", 0), "");  // a folder needs the directory attribute
    EXPECT_EQ(DF::SafeDir(root() + "/f.jpg", 0), "f.jpg");
    EXPECT_EQ(DF::SafeDir(root() + "/gone.jpg", 0), "");
    EXPECT_EQ(DF::SafeDir(root() + "/missing/sub", DF::kDirectory), "");
    EXPECT_EQ(DF::SafeDir("", DF::kDirectory), "");
    EXPECT_EQ(DF::DirList(root() + "/*", DF::kDirectory), (QStringList{".", "..", "d", "f.jpg"}));
    EXPECT_FALSE(DF::DriveExists(""));
    EXPECT_TRUE(DF::DriveExists(root() + "/no/such/thing"));
}
