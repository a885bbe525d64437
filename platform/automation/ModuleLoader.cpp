#include "platform/automation/ModuleLoader.h"

#include <dlfcn.h>

#include <QFileInfo>
#include <map>
#include <mutex>

#include "platform/automation/AutomationError.h"
#include "platform/automation/ModuleAbi.h"

namespace zelmora::automation {

namespace {

constexpr const char* kSource = "Automation";

QString q(std::string_view s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

[[noreturn]] void fail(int number, const QString& what) {
    throw AutomationError(number, kSource, what);
}

// Loaded libraries by absolute path; kept loaded for the life of the process.
void* load(const QString& path) {
    static std::mutex mu;
    static std::map<QString, void*> loaded;
    const QString abs = QFileInfo(path).absoluteFilePath();
    std::lock_guard lock(mu);
    if (auto it = loaded.find(abs); it != loaded.end()) return it->second;
    if (!QFileInfo(abs).isFile())
        fail(AutomationError::kFileNotFound, QStringLiteral("Library %1 does not exist").arg(abs));
    void* h = ::dlopen(abs.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
    if (!h) {
        const char* why = ::dlerror();
        fail(AutomationError::kCantCreateObject,
             QStringLiteral("Library %1 cannot be loaded: %2")
                 .arg(abs, QString::fromLocal8Bit(why ? why : "")));
    }
    // A library built against other interfaces would crash at the first call.
    auto version = reinterpret_cast<AutomationAbiVersionFn>(::dlsym(h, "AutomationAbiVersion"));
    if (!version)
        fail(AutomationError::kEntryPointNotFound,
             QStringLiteral(
                 "Library %1 has no function AutomationAbiVersion; it is not an automation library")
                 .arg(abs));
    if (const std::int32_t v = version(); v != kAutomationAbiVersion)
        fail(AutomationError::kCantCreateObject,
             QStringLiteral("Library %1 was built for automation interface version %2; this "
                            "program uses version %3")
                 .arg(abs)
                 .arg(v)
                 .arg(kAutomationAbiVersion));
    loaded.emplace(abs, h);
    return h;
}

template <typename Fn>
Fn entry(void* h, const QString& path, const char* name) {
    auto fn = reinterpret_cast<Fn>(::dlsym(h, name));
    if (!fn)
        fail(AutomationError::kEntryPointNotFound,
             QStringLiteral("Library %1 has no function %2").arg(path, QString::fromLatin1(name)));
    return fn;
}

QString hex(std::int32_t code) {
    return QString::asprintf("0x%08X", std::uint32_t(code));
}

}  // namespace

std::unique_ptr<IDispatchLike> createObject(std::string_view className) {
    if (className.empty())
        fail(AutomationError::kCantCreateObject, QStringLiteral("No class name given"));
    const auto reg = registry::findClass(className);
    if (!reg)
        fail(AutomationError::kCantCreateObject,
             QStringLiteral("Class \"%1\" is not registered (class registry %2)")
                 .arg(q(className), registry::file()));
    const QString lib = QString::fromStdString(reg->library);
    if (!QFileInfo(lib).isFile())
        fail(AutomationError::kFileNotFound,
             QStringLiteral("Library %1 registered for class \"%2\" does not exist")
                 .arg(lib, q(className)));
    void* h = load(lib);
    auto getClassObject = entry<DllGetClassObjectFn>(h, lib, "DllGetClassObject");
    IClassFactory* factory = nullptr;
    const std::int32_t code = getClassObject(reg->clsid.c_str(), &factory);
    if (code != kOk || !factory)
        fail(AutomationError::kCantCreateObject,
             QStringLiteral("Library %1 does not provide class \"%2\" %3 (code %4)")
                 .arg(lib, q(className), QString::fromStdString(reg->clsid), hex(code)));
    std::unique_ptr<IDispatchLike> object;
    try {
        object = factory->createInstance();
    } catch (const AppError&) {
        throw;
    } catch (const std::exception& e) {
        fail(AutomationError::kCantCreateObject,
             QStringLiteral("Class \"%1\" could not be created: %2")
                 .arg(q(className), QString::fromLocal8Bit(e.what())));
    }
    if (!object)
        fail(AutomationError::kCantCreateObject,
             QStringLiteral("Class \"%1\" could not be created").arg(q(className)));
    return object;
}

std::unique_ptr<IControl> createControl(std::string_view className) {
    std::unique_ptr<IDispatchLike> object = createObject(className);
    auto* control = dynamic_cast<IControl*>(object.get());
    if (!control)
        fail(AutomationError::kNoSuchInterface,
             QStringLiteral("Class \"%1\" is not a control").arg(q(className)));
    object.release();
    return std::unique_ptr<IControl>(control);
}

std::int32_t registerLibrary(const QString& path) {
    void* h = load(path);
    return entry<DllRegisterServerFn>(h, path, "DllRegisterServer")();
}

std::int32_t unregisterLibrary(const QString& path) {
    void* h = load(path);
    return entry<DllUnregisterServerFn>(h, path, "DllUnregisterServer")();
}

bool canUnloadNow(const QString& path) {
    void* h = load(path);
    return entry<DllCanUnloadNowFn>(h, path, "DllCanUnloadNow")() == kOk;
}

std::string modulePath(const void* address) {
    Dl_info info{};
    if (::dladdr(address, &info) == 0 || !info.dli_fname) return {};
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absoluteFilePath().toStdString();
}

std::int32_t registerModule(const void* address, const TypeLibraryRegistration* typeLibrary,
                            const std::vector<ClassRegistration>& classes) {
    const std::string path = modulePath(address);
    if (path.empty()) return kSelfRegClassError;
    try {
        if (typeLibrary) {
            TypeLibraryRegistration t = *typeLibrary;
            t.library = path;
            registry::registerTypeLibrary(t);
        }
    } catch (const std::exception&) {
        return kSelfRegTypeLibError;
    }
    try {
        for (ClassRegistration c : classes) {
            c.library = path;
            registry::registerClass(c);
        }
    } catch (const std::exception&) {
        return kSelfRegClassError;
    }
    return kOk;
}

std::int32_t unregisterModule(const TypeLibraryRegistration* typeLibrary,
                              const std::vector<ClassRegistration>& classes) {
    try {
        if (typeLibrary) registry::unregisterTypeLibrary(typeLibrary->guid, typeLibrary->version);
    } catch (const std::exception&) {
        return kSelfRegTypeLibError;
    }
    try {
        for (const ClassRegistration& c : classes) registry::unregisterClass(c.clsid);
    } catch (const std::exception&) {
        return kSelfRegClassError;
    }
    return kOk;
}

}  // namespace zelmora::automation
