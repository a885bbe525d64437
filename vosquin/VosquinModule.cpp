// The library's exported entry points: registration in the class registry, the
// class factories, and where the control keeps its log.

#include <atomic>
#include <cstring>

#include "platform/automation/AutomationError.h"
#include "platform/automation/ModuleAbi.h"
#include "vosquin/CVosquinCtrl.h"
#include "vosquin/VosquinModule.h"

using namespace zelmora::automation;
using zelmora::vosquin::CCameraDlg;
using zelmora::vosquin::CVosquinCtrl;

namespace {

std::atomic<int> gLivePages{0};

// The empty property page registered beside the control ("General").
class VosquinPropPage : public DispatchImpl<> {
public:
    VosquinPropPage() { ++gLivePages; }
    ~VosquinPropPage() override { --gLivePages; }
    const MemberTable& memberTable() const override {
        static const MemberTable empty;
        return empty;
    }
    static constexpr const char* kCaption = "General";

protected:
    const char* errorSource() const override { return "Vosquin Property Page"; }
    Variant getProperty(DispId) override { return {}; }
    void putProperty(DispId, const Variant&) override {}
    Variant callMethod(DispId, const std::vector<Variant>&) override { return {}; }
};

template <typename T>
class Factory : public IClassFactory {
public:
    std::unique_ptr<IDispatchLike> createInstance() override { return std::make_unique<T>(); }
};

const TypeLibraryRegistration kTypeLibrary{zelmora::vosquin::module::kTypeLibraryGuid, "1.0",
                                           "Vosquin ActiveX Control module", ""};

std::vector<ClassRegistration> classes() {
    using namespace zelmora::vosquin::module;
    return {{kControlClsid, kControlProgId, "Vosquin Control", "", kMiscStatus},
            {kPropPageClsid, kPropPageProgId, "Vosquin Property Page", "", 0}};
}

}  // namespace

ZELMORA_AUTOMATION_ABI()

ZELMORA_AUTOMATION_EXPORT std::int32_t DllRegisterServer() {
    return registerModule(reinterpret_cast<const void*>(&DllRegisterServer), &kTypeLibrary,
                          classes());
}

ZELMORA_AUTOMATION_EXPORT std::int32_t DllUnregisterServer() {
    return unregisterModule(&kTypeLibrary, classes());
}

ZELMORA_AUTOMATION_EXPORT std::int32_t DllGetClassObject(const char* clsid,
                                                         IClassFactory** factory) {
    static Factory<CVosquinCtrl> control;
    static Factory<VosquinPropPage> page;
    if (!factory) return kClassNotAvailable;
    *factory = nullptr;
    if (!clsid) return kClassNotAvailable;
    if (std::strcmp(clsid, zelmora::vosquin::module::kControlClsid) == 0) *factory = &control;
    if (std::strcmp(clsid, zelmora::vosquin::module::kPropPageClsid) == 0) *factory = &page;
    return *factory ? kOk : kClassNotAvailable;
}

ZELMORA_AUTOMATION_EXPORT std::int32_t DllCanUnloadNow() {
    return CVosquinCtrl::liveObjects() == 0 && gLivePages == 0 ? kOk : kFalse;
}

ZELMORA_AUTOMATION_EXPORT void VosquinSetLogFolder(const char* folder) {
    CCameraDlg::setLogFolder(folder ? folder : "");
}
