// The control's parts without a camera: texts, lists, file names, the file stream
// the library writes through, and the image-ready queue.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstring>
#include <fstream>
#include <thread>

#include "vosquin/CReleaseQueue.h"
#include "vosquin/CameraTexts.h"
#include "vosquin/ComboModel.h"
#include "vosquin/FileStream.h"
#include "vosquin/ImageNaming.h"

namespace zelmora::vosquin {
namespace {

TEST(VosquinCameraTextsTest, QuirkyEntriesAreKeptAsTheHostExpectsThem) {
    using namespace texts;
    struct Case {
        std::string got, want;
    };
    const Case cases[] = {
        {isoText(0), "AUTO"},
        {isoText(0xFFFF), "(Invalid)"},
        {isoText(73), "(Error)"},
        {isoText(99), "1000"},
        {tvText(48), "2"},
        {tvText(56), "1"},
        {tvText(52), "1.5''"},
        {tvText(51), "1''6"},
        {tvText(16), "30''"},
        {tvText(4), "Bulb"},
        {tvText(0xFFFF), "No Lense"},
        {tvText(5), "(Error);"},
        {avText(0), "No Lens"},
        {avText(37), "3.5(1/3);"},
        {avText(67), "13(1/3);"},
        {avText(0xFFFF), "(Error);"},
        {modeListText(101), "Manual"},
        {modePropertyText(101), "Manual2"},
        {modeListText(5), "A_DEP"},
        {modePropertyText(5), "A Dep"},
        {modeListText(107), "Sepia"},
        {modePropertyText(107), "Mode Sepia"},
        {modeListText(0xFFFF), "(Invalid)"},
        {modeListText(109), "(Error)"},
        {modePropertyText(109), "Spot"},
        {modePropertyText(0xFFFF), "Invalid"},
        {qualityListText(4) + sizeListText(0), "Raw\\Large"},
        {qualityListText(9), "Error"},
        {qualityPropertyText(9), "Unknown"},
        {qualityPropertyText(0x0103), "Fine"},  // the property reads the low 8 bits
        {sizeListText(0xFFFF), "\\Unknown"},
        {sizeListText(3), "\\Error"},
        {sizePropertyText(0xFFFF), "Unknown"},
        {sizePropertyText(6), "Medium2"},
        {batteryText(0x12), "Empty"},
        {batteryText(3), "Low"},
        {batteryText(4), "Weak"},
        {batteryText(6), "Good"},
        {batteryText(5), "unknown"},
        {hex8(0x2000F0), "0x002000F0"},
        {errorText(0x00200080), "Error:2097280"},
        {errorText(0xFFFFFFFF), "Error:-1"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(VosquinComboModelTest, SearchesStartAtTheSecondEntryAndWrapToTheFirst) {
    ComboModel only0;
    for (const char* t : {"1/60", "1/125", "1/250"}) only0.add({t, 0, 0});
    EXPECT_EQ(only0.findExact("1/60"), 0);
    EXPECT_EQ(only0.findExact("1/500"), -1);

    ComboModel twice;
    for (const char* t : {"Bulb", "30''", "BULB"}) twice.add({t, 0, 0});
    EXPECT_EQ(twice.findExact("bulb"), 2);  // entries 0 and 2 match: the search meets 2 first

    ComboModel quality(true);
    for (const char* t : {"Raw\\Large", "Fine\\Small", "Fine\\Large", "Normal\\Large"})
        quality.add({t, 0, 0});
    EXPECT_EQ(quality.at(0).text, "Fine\\Large");
    EXPECT_EQ(quality.findPrefix("fine"), 1);  // "Fine\Small" comes before the wrap
    EXPECT_EQ(quality.findPrefix("Raw"), 3);
    EXPECT_EQ(quality.findPrefix("Fine\\Large"), 0);
}

TEST(VosquinComboModelTest, SortedListsOrderAsTextAndKeepTheSelectedEntry) {
    ComboModel iso(true);
    iso.add({"400", 88, 0});
    iso.select(0);
    for (const auto& [t, c] : {std::pair{"100", 72}, {"1000", 99}, {"125", 75}, {"AUTO", 0}})
        iso.add({t, std::uint16_t(c), 0});
    std::vector<std::string> order;
    for (const ComboEntry& e : iso.entries()) order.push_back(e.text);
    EXPECT_EQ(order, (std::vector<std::string>{"100", "1000", "125", "400", "AUTO"}));
    EXPECT_EQ(iso.selectedText(), "400");
}

TEST(VosquinImageNamingTest, EveryCaseOfTheNamingTable) {
    struct Case {
        const char* what;
        bool focus, keep;
        std::uint32_t kind;
        std::uint8_t format;
        const char* model;
        std::uint32_t number;
        const char* path;
        const char* logLine;
    };
    const Case cases[] = {
        {"focus, keep", true, true, 32, 1, "EOS 20D", 12, "/rec/FocusImages/0012Focus.jpg", ""},
        {"focus, no keep", true, false, 32, 1, "EOS 20D", 12, "/focus/FocusImages/Focus.jpg", ""},
        {"focus ignores RAW", true, false, 32, 2, "EOS 20D", 3, "/focus/FocusImages/Focus.jpg", ""},
        {"thumbnail", false, false, 16, 1, "EOS 20D", 7, "/rec/THM_M31-0007.JPG", ""},
        {"picture", false, false, 32, 1, "EOS 20D", 7, "/rec/M31-0007.JPG", ""},
        {"RAW 20D", false, false, 32, 2, "EOS 20D", 7, "/rec/M31-0007.CR2",
         "Setting RAW type to CR2"},
        {"RAW 10D", false, false, 32, 2, "EOS 10D", 7, "/rec/M31-0007.CRW",
         "Setting RAW type to CRW"},
        {"RAW 300D", false, false, 32, 2, "EOS 300D DIGITAL", 7, "/rec/M31-0007.CRW",
         "Setting RAW type to CRW"},
        {"RAW Rebel", false, false, 32, 2, "EOS DIGITAL REBEL", 7, "/rec/M31-0007.CRW",
         "Setting RAW type to CRW"},
        {"RAW D60", false, false, 32, 2, "EOS D60", 7, "/rec/M31-0007.CRW",
         "Setting RAW type to CRW"},
        {"RAW 350D", false, false, 32, 2, "EOS 350D DIGITAL", 7, "/rec/M31-0007.CR2",
         "Setting RAW type to CR2"},
        {"second picture", false, false, 80, 1, "EOS 20D", 7, "/rec/M31-0007.JPG", ""},
        {"other kind, JPEG", false, false, 48, 1, "EOS 20D", 7, "/rec/M31-0007.JPG", ""},
        {"other kind, data", false, false, 48, 9, "EOS 20D", 7, "/rec/M31-0007.DAT", ""},
        {"five digits", false, false, 32, 1, "EOS 20D", 12345, "/rec/M31-12345.JPG", ""},
    };
    for (const Case& c : cases) {
        NamingRequest r;
        r.focusMode = c.focus;
        r.keepFocusImages = c.keep;
        r.recordFolder = "/rec/";
        r.focusFolder = "/focus";  // the separator is added when missing
        r.stem = "M31-";
        r.model = c.model;
        r.number = c.number;
        r.kind = c.kind;
        r.format = c.format;
        const NamedImage n = nameDownload(r);
        EXPECT_EQ(n.path, c.path) << c.what;
        EXPECT_EQ(n.logLine, c.logLine) << c.what;
    }
}

TEST(VosquinImageNamingTest, StemsAndFoldersAreTakenLiterallyAndNeverTruncated) {
    NamingRequest r;
    r.recordFolder = "/data/%s%n 100%/" + std::string(300, 'x');
    r.stem = "%d%s-";
    r.number = 1;
    r.kind = 32;
    r.format = 1;
    const NamedImage n = nameDownload(r);
    EXPECT_EQ(n.path, r.recordFolder + "/%d%s-0001.JPG");
    EXPECT_EQ(n.folder, r.recordFolder);
}

TEST(VosquinImageNamingTest, DevelopedNameReplacesOnlyTheFinalRawExtension) {
    const std::pair<const char*, const char*> cases[] = {
        {"IMG_0001.CR2", "IMG_0001.jpg"},
        {"img.crw", "img.jpg"},
        {"/a.CRW/b.cr2", "/a.CRW/b.jpg"},  // a folder named like a RAW file stays
        {"/d/shot.Cr2", "/d/shot.jpg"},
        {"/d/shotCR2", ""},  // no extension: refused, the RAW file is safe
        {"/d.CR2/shot", ""},
        {"/d/shot.jpg", ""},
        {"", ""},
    };
    for (const auto& [raw, jpeg] : cases) EXPECT_EQ(developedName(raw), jpeg) << raw;
}

TEST(VosquinImageNamingTest, FolderSeparators) {
    EXPECT_EQ(withSeparator(""), "");
    EXPECT_EQ(withSeparator("/data"), "/data/");
    EXPECT_EQ(withSeparator("/data/"), "/data/");
    EXPECT_EQ(withSeparator("/data\\"), "/data/");
}

TEST(VosquinFileStreamTest, StatusesOfTheSixOperations) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("image.bin").toStdString();
    {
        FileStream s(path);
        const RCStream& t = s.table();
        EXPECT_EQ(t.open(t.context, 1), FileStream::kOpenFailed);  // reading a missing file
        EXPECT_EQ(t.open(t.context, 0), FileStream::kBadArgument);
        EXPECT_EQ(t.open(t.context, 8), FileStream::kBadArgument);  // neither low bit
        ASSERT_EQ(t.open(t.context, 2), 0u);                        // write, create
        EXPECT_EQ(t.open(t.context, 2), FileStream::kAlreadyOpen);
        std::uint32_t n = 5;
        EXPECT_EQ(t.write(t.context, "hello", &n), 0u);
        EXPECT_EQ(n, 5u);
        n = 4;
        char buf[8] = {};
        EXPECT_EQ(t.read(t.context, buf, &n), FileStream::kReadFailed);  // write only
        std::int64_t at = -1;
        EXPECT_EQ(t.tell(t.context, &at), 0u);
        EXPECT_EQ(at, 5);
        EXPECT_EQ(t.seek(t.context, 4, 0, &at), FileStream::kBadArgument);
        EXPECT_EQ(t.seek(t.context, 1, 1, &at), 0u);
        EXPECT_EQ(at, 1);
        EXPECT_EQ(t.close(t.context), 0u);
        EXPECT_EQ(t.close(t.context), FileStream::kCloseFailed);
        EXPECT_EQ(t.tell(nullptr, &at), FileStream::kNoContext);
        EXPECT_EQ(t.tell(t.context, &at), FileStream::kSeekFailed);
        EXPECT_EQ(at, 0);
        EXPECT_EQ(t.seek(t.context, 1, 0, &at), FileStream::kSeekFailed);

        ASSERT_EQ(t.open(t.context, 1), 0u);  // read an existing file
        n = 8;
        EXPECT_EQ(t.read(t.context, buf, &n), 0u);
        EXPECT_EQ(n, 5u);  // a short count at the end
        EXPECT_EQ(std::string(buf, 5), "hello");
        n = 1;
        EXPECT_EQ(t.write(t.context, "x", &n), FileStream::kWriteFailed);  // read only
        EXPECT_EQ(t.close(t.context), 0u);

        ASSERT_EQ(t.open(t.context, 4), 0u);  // read and write, keeps the contents
        EXPECT_EQ(t.seek(t.context, 3, 0, &at), 0u);
        EXPECT_EQ(at, 5);
        EXPECT_EQ(t.close(t.context), 0u);
        ASSERT_EQ(t.open(t.context, 3), 0u);  // read and write, truncates
        EXPECT_EQ(t.seek(t.context, 3, 0, &at), 0u);
        EXPECT_EQ(at, 0);
        EXPECT_EQ(t.close(t.context), 0u);
    }
    FileStream nowhere(dir.filePath("no/such/folder/x.jpg").toStdString());
    EXPECT_EQ(nowhere.table().open(nowhere.table().context, 2), FileStream::kOpenFailed);
}

TEST(VosquinReleaseQueueTest, RecordsKeepTheFolderOfTheirMoment) {
    CReleaseQueue q;
    RCImageReadyBlock b{};
    q.pushImageReady(b, 7, "/program/");  // no save folder yet: the program's
    q.setSaveFolder("/night/one");
    b.number = 2;
    q.pushImageReady(b, 7, "/program/");
    q.setSaveFolder("/night/two\\");
    b.number = 3;
    q.pushImageReady(b, 7, "/program/");
    ReleaseRecord r;
    std::vector<std::string> folders;
    while (q.Pop(r)) folders.push_back(r.folder);
    EXPECT_EQ(folders, (std::vector<std::string>{"/program/", "/night/one/", "/night/two/"}));
    EXPECT_TRUE(q.empty());
}

// The library thread pushes while the GUI thread pops and changes the folder.
TEST(VosquinReleaseQueueTest, PushFromAnotherThreadWhilePopping) {
    CReleaseQueue q;
    constexpr std::uint32_t kCount = 20000;
    std::thread library([&] {
        RCImageReadyBlock b{};
        for (std::uint32_t i = 0; i < kCount; ++i) {
            b.number = i;
            q.pushImageReady(b, 1, "/p/");
        }
    });
    std::uint32_t next = 0;
    ReleaseRecord r;
    while (next < kCount) {
        q.setSaveFolder(next % 2 ? "/a" : "/b");
        if (!q.Pop(r)) continue;
        const std::uint32_t number = r.block.number;
        ASSERT_EQ(number, next);
        ASSERT_TRUE(r.folder == "/a/" || r.folder == "/b/" || r.folder == "/p/") << r.folder;
        ++next;
    }
    library.join();
    EXPECT_TRUE(q.empty());
}

}  // namespace
}  // namespace zelmora::vosquin
