#include <gtest/gtest.h>

#include <QSet>

#include "camera/CValidValues.h"
#include "vosquin/CameraTexts.h"

using namespace zelmora;
namespace texts = zelmora::vosquin::texts;

namespace {

// Every text the control can show for a setting, over the whole code range.
template <typename F>
QSet<QString> controlTexts(F text) {
    QSet<QString> all;
    for (std::uint32_t code = 0; code <= 0xFFFF; ++code)
        all.insert(QString::fromStdString(text(static_cast<std::uint16_t>(code))));
    return all;
}

QSet<QString> asSet(const QStringList& list) {
    return QSet<QString>(list.begin(), list.end());
}

}  // namespace

TEST(CValidValuesTest, MembershipIsExact) {
    const CValidValues v;
    struct Case {
        bool (CValidValues::*test)(const QString&) const;
        QString text;
        bool valid;
    };
    const std::vector<Case> cases = {
        {&CValidValues::ValidTV, "2", true},
        {&CValidValues::ValidTV, "1", true},
        {&CValidValues::ValidTV, "2''", true},
        {&CValidValues::ValidTV, "1.5''", true},
        {&CValidValues::ValidTV, "No Lense", false},
        {&CValidValues::ValidTV, "bulb", false},
        {&CValidValues::ValidTV, " 1/125", false},
        {&CValidValues::ValidTV, "", false},
        {&CValidValues::ValidAV, "16", true},
        {&CValidValues::ValidAV, "18", true},
        {&CValidValues::ValidAV, "9.5", true},
        {&CValidValues::ValidAV, "3.5(1/3);", false},
        {&CValidValues::ValidISO, "400", true},
        {&CValidValues::ValidISO, "AUTO", false},
        {&CValidValues::ValidQualitySize, "Fine\\Large", true},
        {&CValidValues::ValidQualitySize, "Fine/Large", false},
        {&CValidValues::ValidQualitySize, "FINE\\LARGE", false},
        {&CValidValues::ValidQualitySize, "Raw\\Large", true},
        {&CValidValues::ValidQualitySize, "Raw\\Small", false},
    };
    for (const auto& c : cases) EXPECT_EQ((v.*c.test)(c.text), c.valid) << c.text.toStdString();
}

// The tables must speak the control's vocabulary: a text the control shows and
// the table lacks would refuse a real setting; one the table has and the
// control never shows is a typo.
TEST(CValidValuesTest, TablesMatchTheControlsTexts) {
    QSet<QString> tv = controlTexts(texts::tvText);
    tv.remove("No Lense");
    tv.remove("(Error);");
    tv.insert("2''");  // the table's own spare spelling of two seconds
    EXPECT_EQ(asSet(CValidValues::tvTable()), tv);

    QSet<QString> av = controlTexts(texts::avText);
    av.remove("No Lens");
    av.remove("(Error);");
    av.removeIf([](const QString& t) { return t.endsWith("(1/3);"); });
    EXPECT_EQ(asSet(CValidValues::avTable()), av);

    QSet<QString> iso = controlTexts(texts::isoText);
    for (const char* extra : {"AUTO", "(Invalid)", "(Error)"}) iso.remove(extra);
    EXPECT_EQ(asSet(CValidValues::isoTable()), iso);

    const QSet<QString> qualities = controlTexts(texts::qualityListText);
    const QSet<QString> sizes = controlTexts(texts::sizeListText);
    for (const QString& pair : CValidValues::qualitySizeTable()) {
        const int slash = pair.indexOf('\\');
        EXPECT_TRUE(qualities.contains(pair.left(slash))) << pair.toStdString();
        EXPECT_TRUE(sizes.contains(pair.mid(slash))) << pair.toStdString();
    }
}
