// The sequencing window and its exposure file: every way the list or the file
// changes, driven as a user does from the capture window's two tabs, each
// followed by the same check that the file holds what the list shows and that
// no step the user did not edit changed by a byte.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMap>
#include <QPointer>
#include <QPushButton>
#include <cerrno>
#include <functional>

#include "capture/CaptureRunEngine.h"
#include "capture/CaptureWindows.h"
#include "capture/ExposureFile.h"
#include "capture/frmAutomate.h"
#include "capture/frmCapture.h"
#include "capture/tests/RunFakes.h"
#include "platform/os/Dialogs.h"
#include "platform/os/FileWrite.h"
#include "shell/WindowRegistry.h"

using namespace zelmora;
using namespace zelmora::capture;
using namespace zelmora::capture::testing;
namespace Msg = zelmora::platform::Msg;

namespace {

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// The records of a file of one step a line, each as its bytes.
QList<QByteArray> recordsOf(const QByteArray& bytes) {
    QList<QByteArray> records = bytes.split('\n');
    if (!records.isEmpty() && records.last().isEmpty()) records.removeLast();
    for (QByteArray& r : records)
        if (r.endsWith('\r')) r.chop(1);
    return records;
}

// What the list shows for such a file, read here on its own: every value as
// the file holds it, blanks trimmed, an ISO of 0 shown as "N/A".
QStringList rowsOf(const QByteArray& bytes) {
    QStringList rows;
    for (const QByteArray& record : recordsOf(bytes)) {
        QStringList f;
        for (const QByteArray& value : record.split(',')) f << QString::fromLatin1(value).trimmed();
        if (f.size() != 4) return {QStringLiteral("not a record: ") + QString::fromLatin1(record)};
        if (f[3] == QStringLiteral("0")) f[3] = QStringLiteral("N/A");
        rows << f.join(QStringLiteral(",\t\t"));
    }
    return rows;
}

// Texts as a failure prints them: rows with their TABs as " | ", records one
// after another with " / " between.
std::string shown(const QStringList& rows) {
    return rows.join(QStringLiteral(" / ")).replace(u'\t', QStringLiteral(" |")).toStdString();
}
std::string shown(const QList<QByteArray>& records) {
    QByteArray out;
    for (const QByteArray& r : records) out += (out.isEmpty() ? "" : " / ") + r;
    return out.toStdString();
}
std::string shown(const QByteArray& bytes) {
    return bytes.size() > 200 ? "(" + std::to_string(bytes.size()) + " bytes)"
                              : QByteArray(bytes).replace("\r\n", "\\r\\n").toStdString();
}

// What a row does to the window's file.
enum class Change {
    None,      // nothing on disk changes, the list neither
    Added,     // one record more at the end, the others as they were
    Modified,  // the record of `step` differs, the others as they were
    Deleted,   // the record of `step` is gone, the others as they were
    Loaded,    // the window keeps its list in `file` now, which is as it was
    SavedAs,   // the records move, as they were, into `file`
    Reopened,  // a new window keeps its list in `file`, which is as it was
};

class SequenceFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        QDir(testenv::appDir()).mkpath("ExposureFiles");
        dir = QDir(testenv::appDir()).filePath("ExposureFiles");
        camera = std::make_shared<DownloadingCamera>();
        camera->isConnected = true;
        CameraLink::setInstance(camera);
        ShutterCable::setInstance(std::make_shared<RecordingShutter>());
        setMainWindow(&main);
        registerWindows();
        cap = dynamic_cast<frmCapture*>(windows().load(Win::frmCapture));
        ASSERT_NE(cap, nullptr);
    }
    void TearDown() override {
        for (const QString& name : {Win::frmAutomate, Win::frmCapture})
            if (QWidget* w = windows().ifLoaded(name)) w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        setMainWindow(nullptr);
        CaptureRunEngine::setFactory({});
        EXPECT_TRUE(testenv::dialogs().allUsed()) << "a scripted box was not shown";
    }

    QString path(const QString& name) const { return QDir(dir).filePath(name); }
    std::string name(const QString& path) const {
        return QDir(dir).relativeFilePath(path).toStdString();
    }
    QStringList names(const QStringList& paths) const {
        QStringList out;
        for (const QString& p : paths) out << QDir(dir).relativeFilePath(p);
        return out;
    }
    QString windowFile() const {
        return seq->sExposureFileName.isEmpty() ? expfile::defaultFile() : seq->sExposureFileName;
    }
    QMap<QString, QByteArray> files() const {
        QMap<QString, QByteArray> out;
        for (const QString& name : QDir(dir).entryList(QDir::Files))
            out.insert(path(name), bytesOf(path(name)));
        return out;
    }

    // The sequencing window as the capture window's "Automate" opens it from a tab.
    void openFrom(int tab) {
        if (seq) {
            seq->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        camera->tv = "1/125";  // the Long tab left the camera on Bulb
        cap->selectTab(tab);
        cap->cbAutomate->click();
        QCoreApplication::processEvents();
        seq = windows().ifLoadedAs<frmAutomate>(Win::frmAutomate);
        ASSERT_NE(seq, nullptr);
    }
    void fill(const QString& count, const QString& exposure, const QString& delay,
              const QString& iso) {
        seq->txtNoExp->setText(count);
        seq->txtExpLength->setText(exposure);
        const int speed = seq->lbTv->findText(exposure);
        if (speed >= 0) seq->lbTv->setCurrentIndex(speed);
        seq->txtDelayBetwExp->setText(delay);
        seq->lbISOSpeed->setCurrentText(iso);
    }
    void select(int row) {
        seq->lbExposures->clearSelection();
        seq->lbExposures->setCurrentRow(row);
    }

    std::shared_ptr<DownloadingCamera> camera;
    StatusMainWindow main;
    QString dir;
    frmCapture* cap = nullptr;
    QPointer<frmAutomate> seq;
};

}  // namespace

TEST_F(SequenceFileTest, TheFileHoldsWhatTheListShowsAfterEveryChange) {
    const QString defaultFile = expfile::defaultFile();
    ASSERT_TRUE(QFile::copy(QStringLiteral(ZELMORA_SAMPLE_EXPOSURE_FILE), defaultFile));
    QFile::setPermissions(defaultFile, QFile::ReadOwner | QFile::WriteOwner);
    ASSERT_EQ(bytesOf(defaultFile), "3,60,10,800\r\n5,300,10,1600\r\n5,300,10,0\r\n");
    const QByteArray huge = QByteArray("1,30,5,0\r\n").repeated(expfile::kMaxFileBytes / 10 + 1);
    writeBytes(path("huge.txt"), huge);
    // Written by hand: blanks, and seconds the writer would round.
    writeBytes(path("night.txt"), "2, 30 ,5,1600\r\n1,1.5,0,0\r\n");
    writeBytes(path("speeds.txt"), "1,\"1/125\",0,400\r\n3,\"30''\",10,0\r\n");

    struct Row {
        const char* what;
        std::function<void()> act;
        Change change;
        int step = 0;  // 1-based, in the list before the row
        QString file = {};
        std::function<void()> prepare = {};  // on disk, before the row
    };
    const std::vector<Row> rows = {
        // From the Short tab, over the default file's bulb steps.
        {"opened from the Short tab", [&] { openFrom(1); }, Change::Reopened, 0, defaultFile},
        {"Add refused: no count",
         [&] {
             testenv::dialogs().expectMsgBox("You must enter a valid value in all columns!");
             fill("", "1/125", "5", "N/A");
             seq->cbAdd_Click();
         },
         Change::None},
        {"Add a shutter-speed step",
         [&] {
             fill("2", "1/125", "5", "N/A");
             seq->cbAdd_Click();
         },
         Change::Added},
        {"Modify refused: no step selected",
         [&] {
             testenv::dialogs().expectMsgBox("Select the item you wish modified");
             select(-1);
             seq->cbModify_Click();
         },
         Change::None},
        {"Modify the first step to a shutter speed",
         [&] {
             select(1);
             fill("4", "30''", "0", "800");
             seq->cbModify_Click();
         },
         Change::Modified, 1},
        {"Delete refused: the heading selected",
         [&] {
             testenv::dialogs().expectMsgBox("Select the item you wish to delete");
             select(0);
             seq->cbDelete_Click();
         },
         Change::None},
        {"Delete the second step",
         [&] {
             select(2);
             seq->cbDelete_Click();
         },
         Change::Deleted, 2},
        {"Load File cancelled",
         [&] {
             testenv::dialogs().expectOpenFile("");
             seq->cbLoadFile_Click();
         },
         Change::None},
        {"Add after the cancelled Load",
         [&] {
             fill("1", "1''3", "0", "N/A");
             seq->cbAdd_Click();
         },
         Change::Added},
        {"Load File: a file too large to read",
         [&] {
             testenv::dialogs().expectOpenFile(path("huge.txt")).expectMsgBox("was not loaded");
             seq->cbLoadFile_Click();
         },
         Change::None},
        {"Load File: a file that is not there",
         [&] {
             testenv::dialogs()
                 .expectOpenFile(path("gone.txt"))
                 .expectMsgBox("Exposure File not found.");
             seq->cbLoadFile_Click();
         },
         Change::None},
        {"Load File: a file of bulb steps, written by hand",
         [&] {
             testenv::dialogs().expectOpenFile(path("night.txt"));
             seq->cbLoadFile_Click();
         },
         Change::Loaded, 0, path("night.txt")},
        {"Add a shutter-speed step to the bulb steps",
         [&] {
             fill("3", "1/125", "2", "400");
             seq->cbAdd_Click();
         },
         Change::Added},
        {"Modify refused: a count that is no number",
         [&] {
             testenv::dialogs().expectMsgBox("The list and the file keep their steps");
             select(1);
             fill("x", "1/125", "0", "N/A");
             seq->cbModify_Click();
         },
         Change::None},
        {"Save File: a name without a suffix",
         [&] {
             testenv::dialogs().expectSaveFile(path("mine"));
             seq->Command1_Click();
         },
         Change::SavedAs, 0, path("mine.txt")},
        {"Save File: a name with its suffix",
         [&] {
             testenv::dialogs().expectSaveFile(path("kept.txt"));
             seq->Command1_Click();
         },
         Change::SavedAs, 0, path("kept.txt")},
        {"Save File: a name without a suffix whose file is there, not replaced",
         [&] {
             testenv::dialogs()
                 .expectSaveFile(path("mine"))
                 .expectMsgBox("mine.txt already exists. Replace it?", Msg::No);
             seq->Command1_Click();
         },
         Change::None},
        {"Save File: a name without a suffix whose file is there, replaced",
         [&] {
             testenv::dialogs()
                 .expectSaveFile(path("mine"))
                 .expectMsgBox("mine.txt already exists. Replace it?", Msg::Yes);
             seq->Command1_Click();
         },
         Change::SavedAs, 0, path("mine.txt")},
        {"Save File cancelled: saved again where it is",
         [&] {
             testenv::dialogs().expectSaveFile("");
             seq->Command1_Click();
         },
         Change::None},
        // From the Long tab, over a default file of both kinds.
        {"opened from the Long tab", [&] { openFrom(2); }, Change::Reopened, 0, defaultFile},
        {"Add refused: a shutter speed as seconds",
         [&] {
             testenv::dialogs().expectMsgBox("The list and the file keep their steps");
             fill("1", "1/125", "0", "N/A");
             seq->cbAdd_Click();
         },
         Change::None},
        {"Add a bulb step",
         [&] {
             fill("2", "120", "10", "1600");
             seq->cbAdd_Click();
         },
         Change::Added},
        {"Add refused: the disk is full",
         [&] {
             testenv::dialogs().expectMsgBox("was not saved, the list and the file keep their");
             platform::failFileWrites(1, ENOSPC);
             fill("1", "30", "0", "N/A");
             seq->cbAdd_Click();
         },
         Change::None},
        {"Modify the last step",
         [&] {
             select(seq->lbExposures->count() - 1);
             fill("2", "240", "10", "1600");
             seq->cbModify_Click();
         },
         Change::Modified, 5},
        {"Delete a shutter-speed step",
         [&] {
             select(1);
             seq->cbDelete_Click();
         },
         Change::Deleted, 1},
        {"Load File: a file of shutter-speed steps",
         [&] {
             testenv::dialogs().expectOpenFile(path("speeds.txt"));
             seq->cbLoadFile_Click();
         },
         Change::Loaded, 0, path("speeds.txt")},
        {"Delete from the shutter-speed steps",
         [&] {
             select(2);
             seq->cbDelete_Click();
         },
         Change::Deleted, 2},
        {"Load File cancelled on the Long tab",
         [&] {
             testenv::dialogs().expectOpenFile("");
             seq->cbLoadFile_Click();
         },
         Change::None},
        // Opened again over a default file that cannot be read: the window is
        // up before it says so, and leaves the file alone.
        {"opened from the Short tab over a file too large to read",
         [&] {
             testenv::dialogs().expectMsgBox("was not loaded").whileShowing([] {
                 QWidget* w = windows().ifLoaded(Win::frmAutomate);
                 EXPECT_TRUE(w && w->isVisible()) << "a box while the window is built";
             });
             openFrom(1);
         },
         Change::Reopened, 0, defaultFile, [&] { writeBytes(defaultFile, huge); }},
        {"Add refused while the window's file could not be read",
         [&] {
             testenv::dialogs().expectMsgBox("was not loaded");
             fill("1", "1/125", "0", "N/A");
             seq->cbAdd_Click();
         },
         Change::None},
        {"Load File there: a file saved before",
         [&] {
             testenv::dialogs().expectOpenFile(path("mine.txt"));
             seq->cbLoadFile_Click();
         },
         Change::Loaded, 0, path("mine.txt")},
        {"Delete there",
         [&] {
             select(1);
             seq->cbDelete_Click();
         },
         Change::Deleted, 1},
        {"opened from the Long tab over the same file",
         [&] {
             testenv::dialogs().expectMsgBox("was not loaded").whileShowing([] {
                 QWidget* w = windows().ifLoaded(Win::frmAutomate);
                 EXPECT_TRUE(w && w->isVisible()) << "a box while the window is built";
             });
             openFrom(2);
         },
         Change::Reopened, 0, defaultFile},
    };

    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        if (row.prepare) row.prepare();
        const QMap<QString, QByteArray> before = files();
        const QString fileBefore = seq ? windowFile() : QString();
        const QStringList listBefore = seq ? seq->rows() : QStringList();
        row.act();
        if (!seq) {
            ADD_FAILURE() << "no window";
            break;
        }
        EXPECT_TRUE(testenv::dialogs().allUsed()) << "a scripted box was not shown";
        testenv::dialogs().clear();

        // The window's file after the row, and every other file untouched.
        const bool newFile = row.change == Change::Loaded || row.change == Change::SavedAs ||
                             row.change == Change::Reopened;
        const QString file = windowFile();
        EXPECT_EQ(name(file), name(newFile ? row.file : fileBefore));
        const QMap<QString, QByteArray> after = files();
        for (auto it = after.begin(); it != after.end(); ++it) {
            if (it.key() != file) {
                EXPECT_EQ(shown(it.value()), shown(before.value(it.key()))) << name(it.key());
            }
        }
        QStringList kept = before.keys();
        if (row.change == Change::SavedAs && !kept.contains(file)) kept << file;
        kept.sort();
        EXPECT_EQ(shown(names(after.keys())), shown(names(kept))) << "files made or removed";

        // The steps the user did not edit, byte for byte as they were.
        const QList<QByteArray> was = recordsOf(before.value(fileBefore));
        const QList<QByteArray> is = recordsOf(after.value(file));
        QList<QByteArray> expected = was;
        switch (row.change) {
            case Change::None:
                EXPECT_EQ(shown(after.value(file)), shown(before.value(file)));
                EXPECT_EQ(shown(seq->rows()), shown(listBefore));
                break;
            case Change::Loaded:
            case Change::Reopened:
                EXPECT_EQ(shown(after.value(file)), shown(before.value(file)));
                expected = is;
                break;
            case Change::SavedAs:
                break;
            case Change::Added:
                expected << (is.size() == was.size() + 1 ? is.last() : QByteArray("(none)"));
                break;
            case Change::Modified:
                if (is.size() != was.size() || row.step > was.size()) {
                    ADD_FAILURE() << "no step " << row.step << " modified in place";
                    break;
                }
                EXPECT_NE(is[row.step - 1], was[row.step - 1]);
                expected[row.step - 1] = is[row.step - 1];
                break;
            case Change::Deleted:
                if (row.step > was.size()) {
                    ADD_FAILURE() << "no step " << row.step << " to delete";
                    break;
                }
                expected.removeAt(row.step - 1);
                break;
        }
        if (row.change != Change::None) {
            EXPECT_EQ(shown(is), shown(expected)) << "a step the user did not edit changed";
        }

        // What the list shows is what the file holds.
        QStringList listed = seq->rows();
        if (!listed.isEmpty()) {
            EXPECT_EQ(listed.first(), expfile::headingRow());
            listed.removeFirst();
        }
        if (after.value(file).size() > expfile::kMaxFileBytes) {
            EXPECT_TRUE(listed.isEmpty()) << shown(listed);
        } else {
            EXPECT_EQ(shown(listed), shown(rowsOf(after.value(file))));
        }
    }
}
