#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <cerrno>

#include "platform/core/AppError.h"
#include "platform/os/FileWrite.h"
#include "shell/AppPaths.h"
#include "shell/Globals.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"
#include "sky/CatalogueObject.h"
#include "sky/CoordParser.h"
#include "sky/frmCustomObjects.h"
#include "sky/frmScopeControl.h"
#include "testing/TestEnv.h"

using namespace zelmora;
using namespace zelmora::sky;

namespace {

const QString kEditorMessage =
    "Unable to load Object Catalogue file. Check the formatting and try again!";
const QString kControlMessage =
    "Unable to load ObjectCtalogue file. Check the formatting and try again!";

QString pathOf(const QString& name) {
    QDir().mkpath(AppPaths::dataFiles());
    return AppPaths::join(AppPaths::dataFiles(), name);
}

QString writeFile(const QString& name, const QByteArray& bytes) {
    const QString path = pathOf(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

CatalogueObject object(const QString& name, const QString& label = "x") {
    CatalogueObject o;
    o.fields = {name, label, "01h 02m 03.0s", "+04 05 06", "a", "b", "c"};
    return o;
}

QByteArray line(int i) {
    return QStringLiteral("\"O%1\",\"L%1\",\"01h 00m 00s\",\"+10 00 00\",\"\",\"\",\"\"\r\n")
        .arg(i)
        .toUtf8();
}

QStringList names(const std::vector<CatalogueObject>& records) {
    QStringList n;
    for (const CatalogueObject& r : records) n << r.name();
    return n;
}

QStringList entries(QListWidget* list) {
    QStringList n;
    for (int i = 0; i < list->count(); ++i) n << list->item(i)->text();
    return n;
}

}  // namespace

TEST(CatalogueFile, RoundTripKeepsEveryField) {
    std::vector<CatalogueObject> records;
    CatalogueObject a;
    a.fields = {"M31",
                "Andromeda, Galaxy",
                "00h 42m 44.3s",
                QString::fromUtf8("+41\xC2\xB0"
                                  "16'09.0"),
                "Spiral galaxy",
                "",
                "3.4"};
    records.push_back(a);
    records.push_back(object("M45", ""));
    const QString path = pathOf("out.txt");
    CatalogueFile::write(path, records);
    const QByteArray bytes = readFile(path);
    EXPECT_TRUE(bytes.startsWith(
        QString::fromUtf8("\"M31\",\"Andromeda, Galaxy\",\"00h 42m 44.3s\",\"+41\xC2\xB0"
                          "16'09.0\","
                          "\"Spiral galaxy\",\"\",\"3.4\"\r\n")
            .toUtf8()));
    const auto back = CatalogueFile::read(path);
    EXPECT_TRUE(back.ok);
    EXPECT_EQ(back.records, records);
}

TEST(CatalogueFile, LinesTable) {
    const QByteArray good = line(1);
    struct Case {
        const char* name;
        QByteArray bytes;
        bool ok;
        int count;
    } cases[] = {
        {"two lines", good + line(2), true, 2},
        {"no final line end", good + line(2).chopped(2), true, 2},
        {"LF only", good.chopped(2) + "\n" + line(2).chopped(2) + "\n", true, 2},
        {"CR only", good.chopped(2) + "\r" + line(2).chopped(2) + "\r" + line(3).chopped(2), true,
         3},
        {"CR, LF and CR LF mixed",
         good.chopped(2) + "\r" + line(2).chopped(2) + "\n" + line(3) + line(4).chopped(2) + "\r",
         true, 4},
        {"CR LF split as LF CR leaves a blank line", good.chopped(2) + "\n\r" + line(2), true, 2},
        {"blank lines and a trailing empty line", "\r\n" + good + "\r\n   \r\n" + line(2) + "\r\n",
         true, 2},
        {"unquoted values", "A,B,1 2 3,+4 5 6,x,y,z\r\n", true, 1},
        {"short line keeps those before", good + "\"a\",\"b\",\"c\"\r\n" + line(3), false, 1},
        {"long line keeps those before", good + line(2).chopped(2) + ",\"8\"\r\n" + line(3), false,
         1},
        {"trailing comma is an eighth value", good.chopped(2) + ",\r\n", false, 0},
        {"unclosed quote", "\"a,\"b\",\"c\",\"d\",\"e\",\"f\",\"g\r\n", false, 0},
        {"text after a closing quote", "\"a\"x,\"b\",\"c\",\"d\",\"e\",\"f\",\"g\"\r\n", false, 0},
        {"empty file", "", false, 0},
        {"only blank lines", "\r\n\r\n", false, 0},
    };
    for (const Case& c : cases) {
        const auto r = CatalogueFile::read(writeFile("t.txt", c.bytes));
        EXPECT_EQ(r.ok, c.ok) << c.name;
        EXPECT_EQ(int(r.records.size()), c.count) << c.name;
    }
    EXPECT_FALSE(CatalogueFile::read(pathOf("missing.txt")).ok);
    EXPECT_FALSE(CatalogueFile::read(QString()).ok);
}

TEST(CatalogueFile, OversizedLinesAndFilesAreRefusedEarly) {
    // A line of commas is given up at its eighth value, not split whole.
    const QByteArray commas(4 * 1024 * 1024, ',');
    auto r = CatalogueFile::read(writeFile("commas.txt", line(1) + commas + "\r\n" + line(3)));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.records.size(), 1u);
    EXPECT_EQ(r.problem, "line 2 holds more than seven values");
    // Quoted commas are not separators: seven quoted values full of commas read.
    const QByteArray quoted = "\"" + QByteArray(1000, ',') + "\"";
    r = CatalogueFile::read(
        writeFile("quoted.txt", quoted + "," + quoted + ",\"1h\",\"+1\",\"\",\"\",\"\"\r"));
    EXPECT_TRUE(r.ok) << r.problem.toStdString();
    EXPECT_EQ(r.records.at(0).name().size(), 1000);

    // A file far larger than any catalogue is refused before it is read.
    const QString huge = writeFile("huge.txt", line(1));
    ASSERT_TRUE(QFile::resize(huge, CatalogueFile::kMaxBytes + 1));
    r = CatalogueFile::read(huge);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.records.empty());
    EXPECT_TRUE(r.problem.startsWith("larger than")) << r.problem.toStdString();
}

TEST(CatalogueFile, DegreeSignInEitherEncoding) {
    const QByteArray ansi =
        "\"A\",\"\",\"1h\",\"+70\xB0"
        "23'00.0\",\"\",\"\",\"\"\r\n";
    const QByteArray utf8 =
        "\"B\",\"\",\"1h\",\"+70\xC2\xB0"
        "23'00.0\",\"\",\"\",\"\"\r\n";
    const auto r = CatalogueFile::read(writeFile("enc.txt", ansi + utf8));
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.records.size(), 2u);
    EXPECT_EQ(r.records[0].dec(), r.records[1].dec());
    EXPECT_NEAR(*CoordParser::degreesFromText(r.records[0].dec()), 70.383333333, 1e-8);
}

TEST(CatalogueFile, AtMost5001Records) {
    QByteArray bytes;
    for (int i = 0; i < 5001; ++i) bytes += line(i);
    auto r = CatalogueFile::read(writeFile("big.txt", bytes));
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.records.size(), 5001u);
    r = CatalogueFile::read(writeFile("big.txt", bytes + line(5001)));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.records.size(), 5001u);
    EXPECT_EQ(r.records.back().name(), "O5000");
}

TEST(CatalogueFile, AQuoteIsRefusedAndTheFileKept) {
    const QString path = writeFile("keep.txt", line(1));
    std::vector<CatalogueObject> records{object("ok"), object("say \"hi\"")};
    EXPECT_EQ(CatalogueFile::firstUnstorable(records), 1);
    EXPECT_THROW(CatalogueFile::write(path, records), AppError);
    EXPECT_EQ(readFile(path), line(1));
    EXPECT_THROW(CatalogueFile::write(QString(), {object("a")}), AppError);
}

TEST(CatalogueFile, AFullDiskKeepsTheOldFile) {
    const QString path = writeFile("full.txt", line(1));
    platform::failFileWrites(1, ENOSPC);
    try {
        CatalogueFile::write(path, {object("a"), object("b")});
        ADD_FAILURE() << "a full disk was not reported";
    } catch (const AppError& e) {
        EXPECT_EQ(e.number(), AppError::kPathFileAccess);
        EXPECT_TRUE(e.description().contains("No space left on device"))
            << e.description().toStdString();
    }
    EXPECT_EQ(readFile(path), line(1));
}

TEST(CatalogueFile, TheShippedCatalogueReadsWhole) {
    const auto r = CatalogueFile::read(QStringLiteral(SKY_DEFAULT_CATALOGUE));
    ASSERT_TRUE(r.ok) << r.problem.toStdString();
    EXPECT_GE(r.records.size(), 110u);
    for (const CatalogueObject& o : r.records) {
        const auto ra = CoordParser::hoursFromText(o.ra());
        const auto dec = CoordParser::degreesFromText(o.dec());
        ASSERT_TRUE(ra && dec) << o.name().toStdString();
        EXPECT_TRUE(*ra >= 0 && *ra < 24) << o.name().toStdString();
        EXPECT_TRUE(*dec >= -90 && *dec <= 90) << o.name().toStdString();
        EXPECT_FALSE(o.label().isEmpty()) << o.name().toStdString();
    }
    EXPECT_EQ(r.records[41].entryText(), "M42 - Orion Nebula");
    EXPECT_EQ(CatalogueFile::firstUnstorable(r.records), -1);
}

namespace {

class CatalogueEditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        QByteArray a, b;
        for (int i = 0; i < 4; ++i) a += line(i);
        b = "\"X\",\"other\",\"2h\",\"+3\",\"p\",\"q\",\"r\"\r\n";
        first = writeFile("first.txt", a);
        second = writeFile("second.txt", b);
        state().sCatalogueFile = first;
    }
    frmCustomObjects* open() {
        editor = new frmCustomObjects;
        return editor;
    }
    QListWidget* list(const char* name) { return editor->findChild<QListWidget*>(name); }
    void select(std::initializer_list<int> rows) {
        QListWidget* l = list("lstObjects");
        l->clearSelection();
        for (int r : rows) l->item(r)->setSelected(true);
    }

    QString first, second;
    frmCustomObjects* editor = nullptr;  // deleted by the registry's reset
};

}  // namespace

TEST_F(CatalogueEditorTest, AddReplacesTheCustomListAndRemoveTakesSelected) {
    open();
    EXPECT_EQ(entries(list("lstObjects")),
              QStringList({"O0 - L0", "O1 - L1", "O2 - L2", "O3 - L3"}));
    select({3, 1});
    editor->cbAddSingle_Click();
    EXPECT_EQ(entries(list("lstCustom")), QStringList({"O1 - L1", "O3 - L3"})) << "in list order";
    editor->cbAddSingle_Click();
    EXPECT_EQ(entries(list("lstCustom")), QStringList({"O1 - L1", "O3 - L3"}));
    select({0, 1, 2});
    editor->cbAddSingle_Click();
    list("lstCustom")->item(1)->setSelected(true);
    editor->cbRemSingle_Click();
    EXPECT_EQ(entries(list("lstCustom")), QStringList({"O0 - L0", "O2 - L2"}));
    EXPECT_EQ(names(editor->custom()), QStringList({"O0", "O2"}));
    select({});
    editor->cbAddSingle_Click();
    EXPECT_EQ(list("lstCustom")->count(), 0);
    EXPECT_TRUE(editor->custom().empty());
}

TEST_F(CatalogueEditorTest, SaveAfterLoadingAnotherSourceWritesTheListedObjects) {
    open();
    select({2});
    editor->cbAddSingle_Click();
    testenv::dialogs().expectOpenFile(second);
    editor->cbLoad_Click();
    EXPECT_EQ(entries(list("lstObjects")), QStringList({"X - other"}));
    EXPECT_EQ(state().sCatalogueFile, second);
    EXPECT_EQ(Settings::get("Telescope", "ObjectCatalogue", ""), second);

    const QString out = pathOf("custom.txt");
    testenv::dialogs().expectSaveFile(out);
    editor->cbSave_Click();
    EXPECT_EQ(readFile(out), line(2));
    EXPECT_EQ(state().sCatalogueFile, out);
    EXPECT_EQ(Settings::get("Telescope", "ObjectCatalogue", ""), out);
    EXPECT_TRUE(testenv::dialogs().allUsed());
}

TEST_F(CatalogueEditorTest, CancelledDialogsChangeNothing) {
    open();
    select({0});
    editor->cbAddSingle_Click();
    testenv::memSettings().clearWrites();
    testenv::dialogs().expectOpenFile("");
    editor->cbLoad_Click();
    testenv::dialogs().expectSaveFile("");
    editor->cbSave_Click();
    EXPECT_EQ(state().sCatalogueFile, first);
    EXPECT_TRUE(testenv::memSettings().writes().empty());
    EXPECT_EQ(list("lstObjects")->count(), 4);
    EXPECT_EQ(QDir(AppPaths::dataFiles()).entryList(QDir::Files).size(), 2);
    EXPECT_EQ(testenv::dialogs().shown().size(), 2u) << "only the two file dialogs";
}

TEST_F(CatalogueEditorTest, SaveFailuresKeepTheActiveCatalogue) {
    // An unquoted value may hold a quote, which the format cannot write back.
    const QString quoted = writeFile("q.txt", "say \"hi\",b,1h,+1,,,\r\n");
    state().sCatalogueFile = quoted;
    open();
    ASSERT_EQ(editor->source().size(), 1u);
    select({0});
    editor->cbAddSingle_Click();
    const QString out = pathOf("custom.txt");
    testenv::dialogs().expectSaveFile(out).expectMsgBox("Unable to Save Custom Catalogue file.");
    editor->cbSave_Click();
    EXPECT_FALSE(QFile::exists(out));
    EXPECT_EQ(state().sCatalogueFile, quoted);

    testenv::dialogs()
        .expectSaveFile(AppPaths::join(testenv::appDir(), "no/such/folder/x.txt"))
        .expectMsgBox("Unable to Save Custom Catalogue file.");
    state().sCatalogueFile = first;
    list("lstCustom")->item(0)->setSelected(true);
    editor->cbRemSingle_Click();
    ASSERT_TRUE(editor->custom().empty());
    editor->cbSave_Click();
    EXPECT_EQ(state().sCatalogueFile, first);
    EXPECT_TRUE(testenv::dialogs().allUsed());
}

TEST_F(CatalogueEditorTest, EachWindowHasItsOwnLoadMessage) {
    state().sCatalogueFile = writeFile("bad.txt", line(0) + "\"short\"\r\n" + line(2));
    testenv::dialogs().expectMsgBox(kEditorMessage);
    open();
    EXPECT_EQ(list("lstObjects")->count(), 1) << "the objects before the bad line stay";
    editor->close();

    testenv::dialogs().expectMsgBox(kControlMessage);  // no driver: the probe is silent
    auto* control = new frmScopeControl;
    EXPECT_EQ(control->findChild<QComboBox*>("cbObjects")->count(), 1);
    EXPECT_TRUE(testenv::dialogs().allUsed());
    for (const auto& s : testenv::dialogs().shown())
        EXPECT_EQ(s.style, platform::Msg::OKOnly) << s.text.toStdString();
    control->close();
}
