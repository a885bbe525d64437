#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <cerrno>
#include <functional>

#include "camera/CameraSettingLists.h"
#include "camera/ShutterSpeeds.h"
#include "capture/ExposureFile.h"
#include "platform/core/AppError.h"
#include "platform/os/FileWrite.h"
#include "platform/rcsdk/SimCamera.h"
#include "testing/TestEnv.h"

using namespace zelmora;
using namespace zelmora::capture::expfile;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

// Steps as rows the window made, without records of their own.
std::vector<ListedStep> listOf(const std::vector<ExposureStep>& steps) {
    std::vector<ListedStep> listed;
    for (const auto& s : steps) listed.push_back({stepRow(s), {}});
    return listed;
}

QStringList rowsOf(const std::vector<ExposureStep>& steps) {
    QStringList rows;
    for (const auto& s : steps) rows << stepRow(s);
    return rows;
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// The shutter-speed texts the simulated cameras offer, as the camera window's
// list (through the release control) and the direct driver's list show them.
QStringList simulatedCameraSpeeds() {
    namespace profiles = simrc::profiles;
    QStringList speeds;
    for (const simrc::CameraProfile& p :
         {profiles::eos20D(), profiles::eos350D(), profiles::eos350DRebelXT(), profiles::eos300D(),
          profiles::digitalRebel(), profiles::eos10D(), profiles::eosD60(), profiles::eos1D(),
          profiles::eosD30(), profiles::powerShotG2()}) {
        std::vector<std::uint16_t> codes = p.tvValues;
        codes.push_back(4);  // Bulb, which the lists add on their own
        for (std::uint16_t code : codes) {
            if (const auto text = camera::ShutterSpeeds::text(code)) speeds << *text;
            speeds << CameraSettingLists::tvText(code);
        }
    }
    // The direct driver's half stops, 1.5 seconds among them.
    for (int code = 16; code <= 168; ++code)
        if (code % 4 == 0) speeds << CameraSettingLists::tvText(code);
    speeds.removeDuplicates();
    return speeds;
}

}  // namespace

TEST(ExposureFile, RowsAndTheirReadBack) {
    EXPECT_EQ(headingRow(), "No Exposures\tExposure Length\tDelay Between\tISO Speed");
    // A shutter speed is shown between double quotes, as the file holds it.
    const QString row = stepRow({"5", "1/125", "10", "N/A", true});
    EXPECT_EQ(row, "5,\t\t\"1/125\",\t\t10,\t\tN/A");
    EXPECT_EQ(rowFields(row), QStringList({"5", "\"1/125\"", "10", "N/A"}));
    EXPECT_EQ(rowStep(row), (ExposureStep{"5", "1/125", "10", "N/A", true}));
    EXPECT_EQ(stepRow({"5", "60", "10", "N/A"}), "5,\t\t60,\t\t10,\t\tN/A");
    EXPECT_EQ(rowStep(stepRow({"5", "60", "10", "N/A"})), (ExposureStep{"5", "60", "10", "N/A"}));
    // Speeds holding double quotes of their own.
    EXPECT_EQ(rowStep(stepRow({"1", "0\"3", "0", "0", true})),
              (ExposureStep{"1", "0\"3", "0", "0", true}));
    EXPECT_EQ(rowFields(QString("2,\b\t3\n,4,\t800")), QStringList({"2", "3", "4", "800"}));
    EXPECT_FALSE(rowStep("2,3,4").has_value());
}

TEST(ExposureFile, RecordsAsWritten) {
    struct Row {
        ExposureStep step;
        QByteArray line;
    };
    for (const Row& r : {Row{{"5", "360", "10", "400"}, "5,360,10,400\r\n"},
                         Row{{"5", "1/125", "10", "N/A", true}, "5,\"1/125\",10,0\r\n"},
                         Row{{"5", "360", "10", "N/A", true}, "5,\"360\",10,0\r\n"},
                         Row{{"-2", "0360", "007", "1600"}, "-2,360,7,1600\r\n"}})
        EXPECT_EQ(formatRecord(r.step), r.line) << r.line.toStdString();
    // What does not convert raises, naming the column and its text.
    struct Bad {
        ExposureStep step;
        QString problem;
    };
    for (const Bad& b :
         {Bad{{"5", "1/125", "10", "0"}, "Exposure Length \"1/125\" is not a whole number"},
          Bad{{"", "30", "10", "0"}, "No Exposures \"\" is not a whole number"},
          Bad{{"5", "30", "10", ""}, "ISO Speed \"\" is not a whole number"},
          Bad{{"40000", "30", "10", "0"}, "No Exposures \"40000\" is not a whole number"},
          Bad{{"5", "1/125", "x", "0", true}, "Delay Between \"x\" is not a whole number"},
          Bad{{"5", "", "10", "0", true}, "Exposure Length \"\" is no shutter speed"}}) {
        try {
            formatRecord(b.step);
            ADD_FAILURE() << b.problem.toStdString();
        } catch (const AppError& e) {
            EXPECT_TRUE(e.description().startsWith(b.problem)) << e.description().toStdString();
        }
    }
}

TEST(ExposureFile, RoundTripThroughTheFile) {
    const QString path = QDir(testenv::appDir()).filePath("steps.txt");
    const std::vector<ExposureStep> steps = {{"2", "30", "5", "1600"},
                                             {"1", "5", "0", "N/A", true},
                                             {"10", "360", "30", "400"},
                                             {"4", "1/125", "0", "800", true}};
    ASSERT_TRUE(writeFile(path, listOf(steps)).ok);
    // Each step in its own form: a shutter speed quoted, seconds bare.
    EXPECT_EQ(readAll(path),
              "2,30,5,1600\r\n1,\"5\",0,0\r\n10,360,30,400\r\n4,\"1/125\",0,800\r\n");
    EXPECT_EQ(readFile(path).steps, steps);

    // Nothing: an empty file.
    ASSERT_TRUE(writeFile(path, {}).ok);
    EXPECT_EQ(readAll(path), "");
    EXPECT_TRUE(readFile(path).steps.empty());
}

// A file written by hand keeps its bytes for every step: what a rewrite
// writes for a step read from it is the step's own record.
TEST(ExposureFile, AStepReadFromAFileIsWrittenBackByteForByte) {
    const QByteArray text =
        "  2 , 30 ,5,1600\r\n"
        "1,1.5,0,0   \n"
        "3,\"0\"3\"x,2,\"0\"\r\n"
        "4,\r\n060,1,800,5,\"1/125\",0,0\r\n"
        "\r\n";
    const ReadResult read = parse(text);
    ASSERT_EQ(read.status, ReadResult::Status::Read);
    EXPECT_EQ(read.steps, (std::vector<ExposureStep>{{"2", "30", "5", "1600"},
                                                     {"1", "1.5", "0", "N/A"},
                                                     {"3", "0\"3", "2", "N/A", true},
                                                     {"4", "60", "1", "800"},
                                                     {"5", "1/125", "0", "N/A", true}}));
    EXPECT_EQ(read.records,
              (std::vector<QByteArray>{"2 , 30 ,5,1600", "1,1.5,0,0   ", "3,\"0\"3\"x,2,\"0\"",
                                       "4,\r\n060,1,800", "5,\"1/125\",0,0"}));
    const QString path = QDir(testenv::appDir()).filePath("kept.txt");
    ASSERT_TRUE(writeFile(path, listedSteps(read), read).ok);
    const QByteArray written = readAll(path);
    EXPECT_EQ(written,
              "2 , 30 ,5,1600\r\n1,1.5,0,0   \r\n3,\"0\"3\"x,2,\"0\"\r\n4,\r\n060,1,800\r\n"
              "5,\"1/125\",0,0\r\n");
    // Read again, the same steps.
    EXPECT_EQ(parse(written).steps, read.steps);
    EXPECT_EQ(parse(written).records, read.records);
}

// Values of a file written by hand that do not come in whole steps of four:
// the lines they stand on, and those left over after the last whole step.
TEST(ExposureFile, LinesThatDoNotReadAsWholeSteps) {
    struct Row {
        const char* what;
        QByteArray text;
        QStringList lines;  // "N: text" for each line that does not read as whole steps
        QString leftOver;
    };
    const QByteArray bom("\xEF\xBB\xBF");
    const std::vector<Row> rows = {
        {"a step a line, blanks and blank lines", "3,60,10,800\r\n\r\n  5,300,10,1600 \n", {}, ""},
        {"an ISO forgotten", "3,60,10,800\r\n5,300,10\r\n", {"2: 5,300,10"}, "5,300,10"},
        {"a comment line first",
         "# M42, 2026-12-10\r\n3,60,10,800\r\n5,300,10,1600\r\n",
         {"1: # M42, 2026-12-10", "2: 3,60,10,800", "3: 5,300,10,1600"},
         "10,1600"},
        {"a comment line without a comma",
         "# my night\r\n3,60,10,800\r\n5,300,10,1600\r\n",
         {"1: # my night", "2: 3,60,10,800", "3: 5,300,10,1600"},
         "1600"},
        {"a quoted speed holding a comma",
         "2,\"1,5\",0,0\r\n3,60,10,800\r\n",
         {"1: 2,\"1,5\",0,0", "2: 3,60,10,800"},
         "800"},
        {"an extra fifth value",
         "3,60,10,800,5\r\n5,300,10,1600\r\n",
         {"1: 3,60,10,800,5", "2: 5,300,10,1600"},
         "1600"},
        {"CR-only line ends", "3,60,10,800\r5,300,10,1600\r\r2,30\r", {"4: 2,30"}, "2,30"},
        {"cut inside a quoted value", "3,60,10,800\r\n2,\"1/1", {"2: 2,\"1/1"}, "2,\"1/1"},
        {"a step over two lines", "2,\r\n30,5,1600\r\n", {"1: 2,", "2: 30,5,1600"}, ""},
        {"a byte-order mark, a sign outside Latin-1",
         bom + "1,\"1″\",0\r\n",
         {QString::fromUtf8("1: 1,\"1″\",0")},
         QString::fromUtf8("1,\"1″\",0")},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        const ReadResult read = parse(r.text);
        ASSERT_EQ(read.status, ReadResult::Status::Read);
        QStringList lines;
        for (int number : read.brokenLines)
            lines << QString::number(number) + ": " + lineText(read, number);
        EXPECT_EQ(lines.join(" / ").toStdString(), r.lines.join(" / ").toStdString());
        EXPECT_EQ(read.leftOver.toStdString(), r.leftOver.toStdString());
        EXPECT_EQ(read.readsAsWholeSteps(), r.lines.isEmpty());
    }
}

// A rewrite of a file that reads as whole steps changes the line of the step
// edited and nothing else: blank lines, blanks, line ends, a byte-order mark
// and the bytes of every other step stay. A file that does not read as whole
// steps is written afresh (once the user said yes): one step a line, each
// step's own bytes, its mark kept.
TEST(ExposureFile, ARewriteChangesOnlyTheLineOfTheStepEdited) {
    using Edit = std::function<void(std::vector<ListedStep>&)>;
    const auto step = [](const QByteArray& record) {
        return ListedStep{stepRow(parse(record).steps.at(0)), record};
    };
    const auto add = [&](const QByteArray& record) -> Edit {
        return [=](std::vector<ListedStep>& s) { s.push_back(step(record)); };
    };
    const auto modify = [&](std::size_t i, const QByteArray& record) -> Edit {
        return [=](std::vector<ListedStep>& s) {
            const int origin = s.at(i).origin;
            s.at(i) = step(record);
            s.at(i).origin = origin;
        };
    };
    const auto remove = [](std::size_t i) -> Edit {
        return [=](std::vector<ListedStep>& s) { s.erase(s.begin() + std::ptrdiff_t(i)); };
    };
    const Edit none = [](std::vector<ListedStep>&) {};
    struct Row {
        const char* what;
        QByteArray text;
        Edit edit;
        QByteArray written;
    };
    const QByteArray bom("\xEF\xBB\xBF");
    const QByteArray mixed = bom + "  3,60,10,800 \r\n\r\n1,\"1″\",0,0\r5,300,10,1600";
    const std::vector<Row> rows = {
        {"nothing edited", mixed, none, mixed},
        // An added step ends its line as the file's lines end.
        {"Add after a last line without a line end", "3,60,10,800\n\n5,300,10,1600",
         add("1,30,0,0"), "3,60,10,800\n\n5,300,10,1600\n1,30,0,0\n"},
        {"Add before blank lines at the end", "3,60,10,800\r\r\r", add("1,30,0,0"),
         "3,60,10,800\r1,30,0,0\r\r\r"},
        // Blanks after a step's last value are its own.
        {"Modify", mixed, modify(0, "4,60,0,0"),
         bom + "  4,60,0,0\r\n\r\n1,\"1″\",0,0\r5,300,10,1600"},
        {"Delete", mixed, remove(1), bom + "  3,60,10,800 \r\n\r\n5,300,10,1600"},
        {"Delete the last step", mixed, remove(2), bom + "  3,60,10,800 \r\n\r\n1,\"1″\",0,0\r"},
        {"Delete one of two steps on a line", "1,30,5,0, 2,60,5,0\r\n3,90,5,0\r\n", remove(0),
         "2,60,5,0\r\n3,90,5,0\r\n"},
        {"Modify one of two steps on a line", "1,30,5,0, 2,60,5,0\r\n3,90,5,0\r\n",
         modify(1, "4,60,0,0"), "1,30,5,0, 4,60,0,0\r\n3,90,5,0\r\n"},
        {"Delete the only step", bom + "3,60,10,800\r\n", remove(0), bom},
        {"Add to an empty file", "", add("1,30,0,0"), "1,30,0,0\r\n"},
        {"not whole steps: written afresh",
         bom + "1,\"1″\",0,0\r\n\r\n3,\r\n60,10,800\r\n5,300\r\n", add("1,30,0,0"),
         bom + "1,\"1″\",0,0\r\n3,\r\n60,10,800\r\n1,30,0,0\r\n"},
    };
    const QString path = QDir(testenv::appDir()).filePath("edited.txt");
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        const ReadResult read = parse(r.text);
        std::vector<ListedStep> steps = listedSteps(read);
        r.edit(steps);
        const WriteResult result = writeFile(path, steps, read);
        ASSERT_TRUE(result.ok) << result.problem.toStdString();
        EXPECT_EQ(readAll(path).toStdString(), r.written.toStdString());
        // It reads back as the steps the list holds.
        QStringList listed, readBack;
        for (const ListedStep& s : steps) listed << s.row;
        for (const ExposureStep& s : readFile(path).steps) readBack << stepRow(s);
        EXPECT_EQ(readBack, listed);
    }
}

TEST(ExposureFile, AStepThatDoesNotConvertLeavesTheFileUntouched) {
    const QString path = QDir(testenv::appDir()).filePath("keep.txt");
    ASSERT_TRUE(writeFile(path, listOf({{"2", "30", "5", "1600"}})).ok);
    const QByteArray before = readAll(path);
    // A shutter speed as seconds, an empty ISO: nothing is written at all.
    for (const std::vector<ListedStep>& steps :
         {listOf({{"2", "30", "5", "1600"}, {"3", "1/125", "5", "0"}}),
          listOf({{"2", "30", "5", ""}})}) {
        const WriteResult result = writeFile(path, steps);
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
        // Quoted text, junk after the closing quote ignored, quoted "0" as ISO is none;
        // a quoted exposure is a shutter speed.
        {"4,\"1/250\"xx,3,\"0\"\r\n", {{"4", "1/250", "3", "N/A", true}}},
        // Blank lines skipped, LF alone accepted, numbers in their text form.
        {"\r\n\r\n1,030,0,800\n\n", {{"1", "30", "0", "800"}}},
        // Not numeric: kept as text.
        {"x,30,5,0\r\n", {{"x", "30", "5", "N/A"}}},
        // An incomplete last step is dropped; the earlier ones stay.
        {"1,30,5,0\r\n2,60\r\n", {{"1", "30", "5", "N/A"}}},
        {"", {}},
        // Speeds holding double quotes of their own run to the field's last quote.
        {"5,\"0\"3\",10,0\r\n2,\"30\"\" ,0,800\r\n1,\"0\"3(1/3)\"\n",
         {{"5", "0\"3", "10", "N/A", true}, {"2", "30\"", "0", "800", true}}},
        {"1,\"1.5\"\",0,0\r\n", {{"1", "1.5\"", "0", "N/A", true}}},
        // An unclosed quote ends at the field's end, not at the end of the file.
        {"1,\"1/125,5,0\r\n2,30,5,0\r\n",
         {{"1", "1/125", "5", "N/A", true}, {"2", "30", "5", "N/A"}}},
        // A file an editor saved as UTF-8 with a byte-order mark.
        {"\xEF\xBB\xBF"
         "5,\"0\"3\",10,0\r\n",
         {{"5", "0\"3", "10", "N/A", true}}},
        {"\xEF\xBB\xBF"
         "2,30,5,1600\r\n",
         {{"2", "30", "5", "1600"}}},
    };
    for (const Row& r : rows) {
        const ReadResult read = parse(r.text);
        EXPECT_EQ(read.status, ReadResult::Status::Read) << r.text.toStdString();
        EXPECT_EQ(read.steps, r.steps) << r.text.toStdString();
    }
}

// Written as a shutter speed and read back, every speed is the text it was,
// and a shutter speed still, also those that look like seconds ("1", "2").
TEST(ExposureFile, EverySpeedOfTheSimulatedCameraComesBackAsWritten) {
    const QStringList speeds = simulatedCameraSpeeds();
    for (const char* s : {"30\"", "1\"3", "0\"8", "0\"3", "0\"3(1/3)", "1.5\"", "30''", "0''3", "2",
                          "1/8000", "Bulb"})
        EXPECT_TRUE(speeds.contains(QString::fromLatin1(s))) << s;
    const QString path = QDir(testenv::appDir()).filePath("speeds.txt");
    std::vector<ExposureStep> steps;
    for (const QString& speed : speeds) steps.push_back({"2", speed, "5", "N/A", true});
    ASSERT_TRUE(writeFile(path, listOf(steps)).ok);
    // The writer's bytes: the text between quotes, nothing escaped.
    EXPECT_TRUE(readAll(path).contains("\r\n2,\"0\"3\",5,0\r\n"));
    EXPECT_TRUE(readAll(path).contains("\r\n2,\"2\",5,0\r\n"));
    const ReadResult read = readFile(path);
    ASSERT_EQ(read.status, ReadResult::Status::Read);
    EXPECT_EQ(rowsOf(read.steps), rowsOf(steps));
    EXPECT_EQ(read.steps, steps);
}

// Far beyond any real sequence: refused with a message naming the file and
// the limit, before the list is filled.
TEST(ExposureFile, AFileFarBeyondAnySequenceIsRefused) {
    const QString path = QDir(testenv::appDir()).filePath("huge.txt");
    const QByteArray step("1,30,5,0\r\n");

    // 5000 steps load; one more is refused, and so is a file of nothing but commas.
    writeBytes(path, step.repeated(kMaxSteps));
    ReadResult read = readFile(path);
    EXPECT_EQ(read.status, ReadResult::Status::Read);
    EXPECT_EQ(read.steps.size(), std::size_t(kMaxSteps));
    for (const QByteArray& bytes : {step.repeated(kMaxSteps + 1), QByteArray(1000 * 1000, ',')}) {
        writeBytes(path, bytes);
        read = readFile(path);
        EXPECT_EQ(read.status, ReadResult::Status::TooLarge);
        EXPECT_TRUE(read.steps.empty());
        EXPECT_EQ(read.problem, "The exposure file " + path +
                                    " was not loaded: it is more than 5000 steps, far beyond "
                                    "any sequence.");
    }

    // Nor is such a file written: the list and the file keep their steps.
    writeBytes(path, step);
    const WriteResult written =
        writeFile(path, listOf(std::vector<ExposureStep>(kMaxSteps + 1, {"1", "30", "5", "0"})));
    EXPECT_FALSE(written.ok);
    EXPECT_FALSE(written.badRow);
    EXPECT_EQ(written.problem, "it would hold more than 5000 steps, far beyond any sequence");
    EXPECT_EQ(readAll(path), step);

    // Up to 1 MB is read (here a step padded with blank lines); one byte more is not.
    QByteArray padded = step + QByteArray(kMaxFileBytes - step.size(), '\n');
    writeBytes(path, padded);
    read = readFile(path);
    EXPECT_EQ(read.status, ReadResult::Status::Read);
    EXPECT_EQ(read.steps, (std::vector<ExposureStep>{{"1", "30", "5", "N/A"}}));
    writeBytes(path, padded + "\n");
    read = readFile(path);
    EXPECT_EQ(read.status, ReadResult::Status::TooLarge);
    EXPECT_TRUE(read.steps.empty());
    EXPECT_EQ(read.problem, "The exposure file " + path +
                                " was not loaded: it is larger than 1 MB, far beyond any "
                                "sequence.");
}

TEST(ExposureFile, MissingFileAndAFolderThatCannotBeWritten) {
    const WriteResult result = writeFile(QDir(testenv::appDir()).filePath("no/such/dir/x.txt"), {});
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.badRow);
    EXPECT_EQ(readFile(QDir(testenv::appDir()).filePath("none.txt")).status,
              ReadResult::Status::NotFound);
    // There, but no file that opens: said, not taken for a missing file.
    const QString folder = QDir(testenv::appDir()).filePath("folder.txt");
    ASSERT_TRUE(QDir().mkpath(folder));
    const ReadResult unreadable = readFile(folder);
    EXPECT_EQ(unreadable.status, ReadResult::Status::Unreadable);
    EXPECT_TRUE(unreadable.problem.startsWith("The exposure file " + folder +
                                              " was not loaded: it cannot be read"))
        << unreadable.problem.toStdString();
    EXPECT_EQ(defaultFile(), testenv::appDir() + "/ExposureFiles/exposurefile.txt");
}

TEST(ExposureFile, AFullDiskKeepsTheOldFile) {
    const QString path = QDir(testenv::appDir()).filePath("full.txt");
    ASSERT_TRUE(writeFile(path, listOf({{"1", "30", "5", "1600"}})).ok);
    const QByteArray before = readAll(path);
    platform::failFileWrites(1, ENOSPC);
    const WriteResult result = writeFile(path, listOf({{"2", "60", "5", "800"}}));
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.badRow);
    EXPECT_TRUE(result.problem.contains("No space left on device")) << result.problem.toStdString();
    EXPECT_EQ(readAll(path), before);
}

// The shipped sample is a valid file for the Long Exposures tab, written as the writer writes.
TEST(ExposureFile, TheShippedSample) {
    const ReadResult read = readFile(QStringLiteral(ZELMORA_SAMPLE_EXPOSURE_FILE));
    ASSERT_EQ(read.status, ReadResult::Status::Read);
    ASSERT_FALSE(read.steps.empty());
    QByteArray rewritten;
    for (const ExposureStep& s : read.steps) rewritten += formatRecord(s);
    EXPECT_EQ(rewritten, readAll(QStringLiteral(ZELMORA_SAMPLE_EXPOSURE_FILE)));
}
