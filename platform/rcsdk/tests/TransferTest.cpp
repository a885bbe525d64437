#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <string>

#include "platform/rcsdk/tests/SimRcFixture.h"

using namespace zelmora;
using namespace zelmora::simrc_test;

namespace {

// A caller's stream that records every operation and can be told to fail one.
struct RecordingStream {
    std::vector<std::string> ops;
    std::vector<std::uint8_t> bytes;
    std::string failOp;
    std::thread::id thread;

    static RecordingStream* self(void* c) { return static_cast<RecordingStream*>(c); }
    std::uint32_t op(const std::string& name) {
        ops.push_back(name);
        thread = std::this_thread::get_id();
        return name == failOp ? 168 : 0;
    }
    RCStream table() {
        RCStream s{};
        s.context = this;
        s.open = [](void* c, std::uint32_t mode) {
            return self(c)->op("open" + std::to_string(mode));
        };
        s.close = [](void* c) { return self(c)->op("close"); };
        s.write = [](void* c, const void* buf, std::uint32_t* count) {
            auto* r = self(c);
            const auto* p = static_cast<const std::uint8_t*>(buf);
            if (r->op("write")) return 168u;
            r->bytes.insert(r->bytes.end(), p, p + *count);
            return 0u;
        };
        return s;
    }
};

struct Progress {
    std::vector<std::uint32_t> percents;
    std::thread::id thread;
    std::uint32_t stopAt = 1000;
    static std::uint32_t cb(std::uint32_t percent, std::uint32_t, void* c) {
        auto* p = static_cast<Progress*>(c);
        p->percents.push_back(percent);
        p->thread = std::this_thread::get_id();
        return percent >= p->stopAt ? 1 : 0;
    }
};

class TransferTest : public SimRcTest {
protected:
    // One released picture, ready to take.
    RCImageReadyBlock release(RCHandle s) {
        captureAndWait(s);
        const auto images = log.images();
        EXPECT_FALSE(images.empty());
        return images.empty() ? RCImageReadyBlock{} : images.back();
    }
};

TEST_F(TransferTest, StreamIsWrittenOnTheCallersThreadWithProgressToOneHundred) {
    simrc::setImageFormat({4, 0});  // a RAW frame: large enough for many chunks
    const RCHandle s = session(RC_KIND_PICTURE_TO_PC);
    const RCImageReadyBlock block = release(s);
    RecordingStream out;
    const RCStream table = out.table();
    const RCMedium medium{RC_MEDIUM_STREAM, nullptr, &table};
    Progress progress;
    ASSERT_EQ(RCTakeCapturedImage(s, &Progress::cb, &progress, 3, &block, &medium), 0u);

    ASSERT_GT(out.ops.size(), 4u);
    EXPECT_EQ(out.ops.front(), "open2");
    EXPECT_EQ(out.ops.back(), "close");
    EXPECT_EQ(out.bytes.size(), std::size_t(block.size));
    EXPECT_EQ(out.thread, std::this_thread::get_id());
    EXPECT_EQ(progress.thread, std::this_thread::get_id());
    ASSERT_FALSE(progress.percents.empty());
    EXPECT_EQ(progress.percents.back(), 100u);
    EXPECT_EQ(progress.percents.size(), out.ops.size() - 2);  // one report per chunk
    EXPECT_TRUE(std::is_sorted(progress.percents.begin(), progress.percents.end()));
    EXPECT_EQ(out.bytes[0], 'I');  // a little-endian TIFF, as a DNG is
    EXPECT_EQ(out.bytes[1], 'I');

    // Taken once; the same block again finds nothing.
    RecordingStream again;
    const RCStream t2 = again.table();
    const RCMedium m2{RC_MEDIUM_STREAM, nullptr, &t2};
    EXPECT_EQ(RCTakeCapturedImage(s, nullptr, nullptr, 3, &block, &m2),
              RC_COMP_TRANSFER | RC_ERR_NOT_FOUND);
    EXPECT_TRUE(again.ops.empty());
}

TEST_F(TransferTest, FailingStreamOperationOrCancelAbortsWithACode) {
    const RCHandle s = session(RC_KIND_PICTURE_TO_PC);
    const RCImageReadyBlock block = release(s);
    struct Case {
        const char* failOp;
        std::uint32_t stopAt;
        RCResult expected;
        std::vector<std::string> ops;
    };
    const std::vector<Case> cases = {
        {"open2", 1000, RC_COMP_TRANSFER | RC_ERR_FILE_IO, {"open2"}},
        {"write", 1000, RC_COMP_TRANSFER | RC_ERR_FILE_IO, {"open2", "write", "close"}},
        {"close", 1000, RC_COMP_TRANSFER | RC_ERR_FILE_IO, {"open2", "write", "close"}},
        {"", 0, RC_COMP_TRANSFER | RC_ERR_CANCELLED, {"open2", "write", "close"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failOp);
        RecordingStream out;
        out.failOp = c.failOp;
        const RCStream table = out.table();
        const RCMedium medium{RC_MEDIUM_STREAM, nullptr, &table};
        Progress progress;
        progress.stopAt = c.stopAt;
        EXPECT_EQ(RCTakeCapturedImage(s, &Progress::cb, &progress, 3, &block, &medium), c.expected);
        EXPECT_EQ(out.ops, c.ops);
    }
    // A failed transfer leaves the image to be taken again.
    RecordingStream ok;
    const RCStream table = ok.table();
    const RCMedium medium{RC_MEDIUM_STREAM, nullptr, &table};
    EXPECT_EQ(RCTakeCapturedImage(s, nullptr, nullptr, 3, &block, &medium), 0u);
}

TEST_F(TransferTest, PathIsReplacedWholeAndAMissingFolderFails) {
    QTemporaryDir dir;
    const RCHandle s = session(RC_KIND_PICTURE_TO_PC);
    const RCImageReadyBlock block = release(s);
    const std::string path = dir.filePath("Focus.jpg").toStdString();
    {
        QFile old(QString::fromStdString(path));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("an older frame");
    }
    const std::string missing = dir.filePath("nowhere/Focus.jpg").toStdString();
    const RCMedium bad{RC_MEDIUM_PATH, missing.c_str(), nullptr};
    EXPECT_EQ(RCTakeCapturedImage(s, nullptr, nullptr, 0, &block, &bad),
              RC_COMP_TRANSFER | RC_ERR_FILE_IO);
    const RCMedium medium{RC_MEDIUM_PATH, path.c_str(), nullptr};
    ASSERT_EQ(RCTakeCapturedImage(s, nullptr, nullptr, 0, &block, &medium), 0u);
    EXPECT_EQ(QFileInfo(QString::fromStdString(path)).size(), qint64(block.size));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"Focus.jpg"});
}

// The library writes the image beside its target and touches nothing else in the
// folder, whatever the other files are called: clearing away what killed downloads
// left is the camera control's work, not the library's.
TEST_F(TransferTest, WritingToAPathLeavesTheRestOfTheFolderAlone) {
    QTemporaryDir dir;
    const RCHandle s = session(RC_KIND_PICTURE_TO_PC);
    const RCImageReadyBlock block = release(s);
    const QStringList others{"x.part", "Focus.jpg.zelmora-part", "M31-0001.JPG.zelmora-part812_3"};
    for (const QString& name : others) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("left by someone");
    }
    const std::string path = dir.filePath("Focus.jpg").toStdString();
    const RCMedium medium{RC_MEDIUM_PATH, path.c_str(), nullptr};
    ASSERT_EQ(RCTakeCapturedImage(s, nullptr, nullptr, 0, &block, &medium), 0u);
    QStringList left = QDir(dir.path()).entryList(QDir::Files);
    left.sort();
    QStringList want = others + QStringList{"Focus.jpg"};
    want.sort();
    EXPECT_EQ(left.join(" ").toStdString(), want.join(" ").toStdString());
}

TEST_F(TransferTest, ImagesAreGoneWithTheSessionAndTheSource) {
    const RCHandle s = session(RC_KIND_PICTURE_TO_PC);
    const RCImageReadyBlock block = release(s);
    RecordingStream out;
    const RCStream table = out.table();
    const RCMedium medium{RC_MEDIUM_STREAM, nullptr, &table};
    ASSERT_EQ(RCEndCaptureSession(s), 0u);
    EXPECT_EQ(RCTakeCapturedImage(s, nullptr, nullptr, 3, &block, &medium),
              RC_COMP_TRANSFER | RC_ERR_NOT_FOUND);
    ASSERT_EQ(RCCloseSource(s), 0u);
    EXPECT_EQ(RC_ERROR_ID(RCTakeCapturedImage(s, nullptr, nullptr, 3, &block, &medium)),
              RC_ERR_INVALID_HANDLE);
    EXPECT_TRUE(out.ops.empty());
}

}  // namespace
