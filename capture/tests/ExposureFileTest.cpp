#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <cerrno>

#include "capture/ExposureFile.h"
#include "platform/core/AppError.h"
#include "platform/os/FileWrite.h"
#include "testing/TestEnv.h"

using namespace zelmora;
using namespace zelmora::capture::expfile;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

QStringList listOf(const std::vector<ExposureStep>& steps) {
    QStringList rows{headingRow()};
    for (const auto& s : steps) rows << stepRow(s);
    return rows;
}

}  // namespace

TEST(ExposureFile, RowsAndTheirReadBack) {
    EXPECT_EQ(headingRow(), "No Exposures\tExposure Length\tDelay Between\tISO Speed");
    const QString row = stepRow({"5", "1/125", "10", "N/A"});
    EXPECT_EQ(row, "5,\t\t1/125,\t\t10,\t\tN/A");
    EXPECT_EQ(rowFields(row), QStringList({"5", "1/125", "10", "N/A"}));
    EXPECT_EQ(rowFields(QString("2,\b\t3\n,4,\t800")), QStringList({"2", "3", "4", "800"}));
}

TEST(ExposureFile, RecordsAsWritten) {
    struct Row {
        QStringList fields;
        bool shortMode;
        QByteArray line;
    };
    for (const Row& r : {Row{{"5", "360", "10", "400"}, false, "5,360,10,400\r\n"},
                         Row{{"5", "1/125", "10", "N/A"}, true, "5,\"1/125\",10,0\r\n"},
                         Row{{"5", "360", "10", "N/A"}, true, "5,\"360\",10,0\r\n"},
                         Row{{"-2", "0360", "007", "1600"}, false, "-2,360,7,1600\r\n"}})
        EXPECT_EQ(formatRecord(r.fields, r.shortMode), r.line) << r.line.toStdString();
    // What does not convert in the mode at hand raises.
    for (const QStringList& bad :
         {QStringList{"5", "1/125", "10", "0"}, QStringList{"", "30", "10", "0"},
          QStringList{"5", "30", "10", ""}, QStringList{"40000", "30", "10", "0"},
          QStringList{"5", "30", "10"}})
        EXPECT_THROW(formatRecord(bad, false), AppError) << bad.join('|').toStdString();
}

TEST(ExposureFile, RoundTripThroughTheFile) {
    const QString path = QDir(testenv::appDir()).filePath("steps.txt");
    const std::vector<ExposureStep> steps = {
        {"2", "30", "5", "1600"}, {"1", "5", "0", "N/A"}, {"10", "360", "30", "400"}};
    ASSERT_TRUE(writeFile(path, listOf(steps), false).ok);
    EXPECT_EQ(readAll(path), "2,30,5,1600\r\n1,5,0,0\r\n10,360,30,400\r\n");
    EXPECT_EQ(readFile(path).value(), steps);

    // Short mode quotes the exposure; the reader shows both the same way.
    ASSERT_TRUE(writeFile(path, listOf(steps), true).ok);
    EXPECT_EQ(readAll(path), "2,\"30\",5,1600\r\n1,\"5\",0,0\r\n10,\"360\",30,400\r\n");
    EXPECT_EQ(readFile(path).value(), steps);

    // Only the heading, or nothing: an empty file.
    ASSERT_TRUE(writeFile(path, {headingRow()}, false).ok);
    EXPECT_EQ(readAll(path), "");
    ASSERT_TRUE(writeFile(path, {}, false).ok);
    EXPECT_TRUE(readFile(path).value().empty());
}

TEST(ExposureFile, AStepThatDoesNotConvertLeavesTheFileUntouched) {
    const QString path = QDir(testenv::appDir()).filePath("keep.txt");
    ASSERT_TRUE(writeFile(path, listOf({{"2", "30", "5", "1600"}}), false).ok);
    const QByteArray before = readAll(path);
    // A shutter-speed step in long mode, an empty ISO: nothing is written at all.
    for (const QStringList& rows : {listOf({{"2", "30", "5", "1600"}, {"3", "1/125", "5", "0"}}),
                                    listOf({{"2", "30", "5", ""}})}) {
        const WriteResult result = writeFile(path, rows, false);
        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(result.badRow);
        EXPECT_EQ(readAll(path), before);
    }
    // No temporary file is left behind.
    EXPECT_EQ(QDir(testenv::appDir()).entryList(QDir::Files), QStringList{"keep.txt"});
}

TEST(ExposureFile, ReaderRules) {
    struct Row {
        QByteArray text;
        std::vector<ExposureStep> steps;
    };
    const std::vector<Row> rows = {
        // Records spanning lines, leading blanks, trailing blanks trimmed.
        {"2,\r\n30,5,\r\n1600\r\n", {{"2", "30", "5", "1600"}}},
        {"  2 ,  30  , 5,  0\r\n", {{"2", "30", "5", "N/A"}}},
        // Quoted text, junk after the closing quote ignored, quoted "0" as ISO is none.
        {"4,\"1/250\"xx,3,\"0\"\r\n", {{"4", "1/250", "3", "N/A"}}},
        // Blank lines skipped, LF alone accepted, numbers in their text form.
        {"\r\n\r\n1,030,0,800\n\n", {{"1", "30", "0", "800"}}},
        // Not numeric: kept as text.
        {"x,30,5,0\r\n", {{"x", "30", "5", "N/A"}}},
        // An incomplete last step is dropped; the earlier ones stay.
        {"1,30,5,0\r\n2,60\r\n", {{"1", "30", "5", "N/A"}}},
        {"", {}},
    };
    for (const Row& r : rows) EXPECT_EQ(parse(r.text), r.steps) << r.text.toStdString();
}

TEST(ExposureFile, MissingFileAndAFolderThatCannotBeWritten) {
    const WriteResult result =
        writeFile(QDir(testenv::appDir()).filePath("no/such/dir/x.txt"), {}, false);
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.badRow);
    EXPECT_FALSE(readFile(QDir(testenv::appDir()).filePath("none.txt")).has_value());
    EXPECT_EQ(defaultFile(), testenv::appDir() + "/ExposureFiles/exposurefile.txt");
}

TEST(ExposureFile, AFullDiskKeepsTheOldFile) {
    const QString path = QDir(testenv::appDir()).filePath("full.txt");
    ASSERT_TRUE(writeFile(path, listOf({{"1", "30", "5", "1600"}}), false).ok);
    const QByteArray before = readAll(path);
    platform::failFileWrites(1, ENOSPC);
    const WriteResult result = writeFile(path, listOf({{"2", "60", "5", "800"}}), false);
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.badRow);
    EXPECT_TRUE(result.problem.contains("No space left on device")) << result.problem.toStdString();
    EXPECT_EQ(readAll(path), before);
}

// The shipped sample is a valid file for the Long Exposures tab, written as the writer writes.
TEST(ExposureFile, TheShippedSample) {
    const auto steps = readFile(QStringLiteral(ZELMORA_SAMPLE_EXPOSURE_FILE));
    ASSERT_TRUE(steps.has_value());
    ASSERT_FALSE(steps->empty());
    QByteArray rewritten;
    for (const ExposureStep& s : *steps)
        rewritten += formatRecord({s.count, s.exposure, s.delay, s.iso}, false);
    EXPECT_EQ(rewritten, readAll(QStringLiteral(ZELMORA_SAMPLE_EXPOSURE_FILE)));
}
