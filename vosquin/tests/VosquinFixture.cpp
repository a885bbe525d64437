#include "vosquin/tests/VosquinFixture.h"

#include <QCoreApplication>
#include <QFile>

#include "platform/automation/ClassRegistry.h"
#include "platform/sim/SimSky.h"
#include "testing/TestEnv.h"
#include "vosquin/CCameraDlg.h"

namespace zelmora::vosquin::test {

using automation::Variant;

void EventRecorder::onEvent(automation::DispId id, const std::vector<Variant>& args) {
    const automation::Member* m = CVosquinCtrl::events().find(id);
    std::string e = m ? m->name : "Event" + std::to_string(id);
    e += "(";
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i) e += ",";
        if (const bool* b = std::get_if<bool>(&args[i]))
            e += *b ? "True" : "False";
        else
            e += automation::toText(args[i]);
    }
    e += ")";
    events.push_back(e);
    if (onEach) onEach(e);
}

std::vector<std::string> EventRecorder::named(const std::string& name) const {
    std::vector<std::string> out;
    for (const std::string& e : events)
        if (e.rfind(name + "(", 0) == 0) out.push_back(e);
    return out;
}

void VosquinTest::SetUp() {
    ASSERT_TRUE(registryDir.isValid());
    automation::registry::setFile(registryDir.filePath("classes.json"));
    CCameraDlg::setLogFolder(testenv::appDir().toStdString());
    parent = std::make_unique<QWidget>();
    parent->resize(500, 400);
}

void VosquinTest::TearDown() {
    // The control ends its session before the next test resets the library.
    ctrl_.reset();
    parent.reset();
    CCameraDlg::setLogFolder({});
    automation::registry::setFile({});
    EXPECT_TRUE(testenv::dialogs().allUsed()) << "a scripted dialog was not shown";
}

CVosquinCtrl& VosquinTest::make(bool withWindow) {
    ctrl_ = std::make_unique<CVosquinCtrl>();
    ctrl_->advise(&rec);
    if (withWindow) ctrl_->createWindow(parent.get());
    return *ctrl_;
}

Variant VosquinTest::get(const char* name) {
    return ctrl_->get(name);
}
void VosquinTest::put(const char* name, Variant value) {
    ctrl_->put(name, value);
}
Variant VosquinTest::call(const char* name, std::vector<Variant> args) {
    return ctrl_->call(name, args);
}
std::string VosquinTest::text(const char* name) {
    return std::get<std::string>(get(name));
}
bool VosquinTest::flag(const char* name) {
    return std::get<bool>(get(name));
}

void VosquinTest::connectCamera(int device) {
    testenv::dialogs().expectChoice(QStringLiteral("Communication setting"), device);
    call("Connect");
}

void VosquinTest::connectReady(bool thumbnails) {
    if (!ctrl_) make();
    put("PicPc", true);
    if (thumbnails) put("ThumbPc", true);
    connectCamera();
    ASSERT_TRUE(flag("Connected"));
    ASSERT_TRUE(dlg().releaseEnabled());
    rec.take();
}

void VosquinTest::deliver() {
    for (int round = 0; round < 4; ++round) {
        ASSERT_TRUE(simrc::waitUntilIdle());
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

void VosquinTest::releaseAndDeliver() {
    call("Release");
    deliver();
}

QString VosquinTest::logPath() const {
    return testenv::appDir() + "/logfile.txt";
}

QStringList VosquinTest::logMessages() const {
    QFile f(logPath());
    if (!f.open(QIODevice::ReadOnly)) return {};
    QStringList out;
    const QByteArray prefix = " - [Main:3.3.14]";
    for (const QByteArray& line : f.readAll().split('\n')) {
        const qsizetype at = line.indexOf(prefix);
        out << (at < 0 ? QString::fromUtf8(line) : QString::fromUtf8(line.mid(at + prefix.size())));
    }
    if (!out.isEmpty() && out.back().isEmpty()) out.pop_back();  // after the last line end
    return out;
}

}  // namespace zelmora::vosquin::test
