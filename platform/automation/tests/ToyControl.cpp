// A small control library for the automation tests, built in three variants:
// a good one, one built for another interface version (TOY_BAD_VERSION) and one
// without its class factory function (TOY_NO_FACTORY).

#include <QLabel>
#include <atomic>
#include <cstring>

#include "platform/automation/AutomationError.h"
#include "platform/automation/Control.h"
#include "platform/automation/Dispatch.h"
#include "platform/automation/ModuleAbi.h"

using namespace zelmora::automation;

namespace {

constexpr const char* kToyClsid = "{7A0E1C55-3B1D-4C8E-9F00-0000000000A1}";
constexpr const char* kPlainClsid = "{7A0E1C55-3B1D-4C8E-9F00-0000000000A2}";
std::atomic<int> liveObjects{0};

enum : DispId { kCaption = 1, kCount = 2, kTotal = 3, kEnabled = 4, kSecret = 5, kWindowAlive = 6 };
enum : DispId { kAdd = 10, kReset = 11, kEcho = 12 };
enum : DispId { kChanged = 1, kWasReset = 2 };

const MemberTable& toyMembers() {
    static const MemberTable t({
        property("Caption", kCaption, VarType::Text),
        property("Count", kCount, VarType::I2),
        property("Total", kTotal, VarType::I4, true, false),
        property("Enabled", kEnabled, VarType::Bool),
        property("Secret", kSecret, VarType::Text, false, true),
        property("WindowAlive", kWindowAlive, VarType::Bool, true, false),
        method("Add", kAdd, VarType::I4, {{"Amount", VarType::I4}}),
        method("Reset", kReset, VarType::Empty),
        method("Echo", kEcho, VarType::Text, {{"Text", VarType::Text}}),
    });
    return t;
}

const MemberTable& toyEvents() {
    static const MemberTable t({
        event("Changed", kChanged, {{"Name", VarType::Text}}),
        event("WasReset", kWasReset),
    });
    return t;
}

class ToyControl : public DispatchImpl<IControl> {
public:
    ToyControl() { ++liveObjects; }
    ~ToyControl() override {
        destroyWindow();
        --liveObjects;
    }

    const MemberTable& memberTable() const override { return toyMembers(); }
    const MemberTable& eventTable() const override { return toyEvents(); }
    std::uint32_t advise(IEventSink* sink) override { return events_.advise(sink, "Toy"); }
    void unadvise(std::uint32_t cookie) override { events_.unadvise(cookie, "Toy"); }

    QWidget* createWindow(QWidget* parent) override {
        if (!window_) {
            window_ = new QLabel(QString::fromStdString(caption_), parent);
            window_->setObjectName("toyWindow");
        }
        return window_;
    }
    QWidget* window() const override { return window_; }
    void destroyWindow() override {
        delete window_;
        window_ = nullptr;
    }

protected:
    const char* errorSource() const override { return "Toy"; }
    Variant getProperty(DispId id) override {
        switch (id) {
            case kCaption:
                return caption_;
            case kCount:
                return count_;
            case kTotal:
                return total_;
            case kEnabled:
                return enabled_;
            case kWindowAlive:
                return window_ != nullptr;
        }
        return {};
    }
    void putProperty(DispId id, const Variant& v) override {
        switch (id) {
            case kCaption:
                caption_ = std::get<std::string>(v);
                if (window_) window_->setText(QString::fromStdString(caption_));
                break;
            case kCount:
                count_ = std::get<std::int16_t>(v);
                break;
            case kEnabled:
                enabled_ = std::get<bool>(v);
                break;
            case kSecret:
                break;
        }
        events_.fire(kChanged, {toyMembers().find(id)->name});
    }
    Variant callMethod(DispId id, const std::vector<Variant>& args) override {
        switch (id) {
            case kAdd:
                return total_ += std::get<std::int32_t>(args[0]);
            case kReset:
                total_ = 0;
                events_.fire(kWasReset);
                return {};
            case kEcho:
                return args[0];
        }
        return {};
    }

private:
    std::string caption_;
    std::int16_t count_ = 0;
    std::int32_t total_ = 0;
    bool enabled_ = true;
    QLabel* window_ = nullptr;
    EventSource events_;
};

// A plain dispatch object without a window.
class PlainObject : public DispatchImpl<> {
public:
    PlainObject() { ++liveObjects; }
    ~PlainObject() override { --liveObjects; }
    const MemberTable& memberTable() const override {
        static const MemberTable t({property("Value", 1, VarType::I4)});
        return t;
    }

protected:
    const char* errorSource() const override { return "Plain"; }
    Variant getProperty(DispId) override { return value_; }
    void putProperty(DispId, const Variant& v) override { value_ = std::get<std::int32_t>(v); }
    Variant callMethod(DispId, const std::vector<Variant>&) override { return {}; }

private:
    std::int32_t value_ = 0;
};

template <typename T>
class Factory : public IClassFactory {
public:
    std::unique_ptr<IDispatchLike> createInstance() override { return std::make_unique<T>(); }
};

const TypeLibraryRegistration kTypeLibrary{"{7A0E1C55-3B1D-4C8E-9F00-0000000000B0}", "1.0",
                                           "Toy control module", ""};

std::vector<ClassRegistration> classes() {
    return {{kToyClsid, "ZELMORA.ToyCtrl.1", "Toy Control", "", 0x20191},
            {kPlainClsid, "ZELMORA.ToyObject.1", "Toy Object", "", 0}};
}

}  // namespace

#ifdef TOY_BAD_VERSION
ZELMORA_AUTOMATION_EXPORT std::int32_t AutomationAbiVersion() {
    return 999;
}
#else
ZELMORA_AUTOMATION_ABI()
#endif

ZELMORA_AUTOMATION_EXPORT std::int32_t DllRegisterServer() {
    return registerModule(reinterpret_cast<const void*>(&DllRegisterServer), &kTypeLibrary,
                          classes());
}

ZELMORA_AUTOMATION_EXPORT std::int32_t DllUnregisterServer() {
    return unregisterModule(&kTypeLibrary, classes());
}

#ifndef TOY_NO_FACTORY
ZELMORA_AUTOMATION_EXPORT std::int32_t DllGetClassObject(const char* clsid,
                                                         IClassFactory** factory) {
    static Factory<ToyControl> toy;
    static Factory<PlainObject> plain;
    if (!factory) return kClassNotAvailable;
    *factory = nullptr;
    if (std::strcmp(clsid, kToyClsid) == 0) *factory = &toy;
    if (std::strcmp(clsid, kPlainClsid) == 0) *factory = &plain;
    return *factory ? kOk : kClassNotAvailable;
}
#endif

ZELMORA_AUTOMATION_EXPORT std::int32_t DllCanUnloadNow() {
    return liveObjects == 0 ? kOk : kFalse;
}
