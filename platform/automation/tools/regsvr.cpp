// Registers (or with -u unregisters) an automation library in the class registry:
//   zelmora-regsvr [-u] [--registry FILE] LIBRARY
#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>

#include "platform/automation/ClassRegistry.h"
#include "platform/automation/ModuleAbi.h"
#include "platform/automation/ModuleLoader.h"
#include "platform/core/AppError.h"

using namespace zelmora::automation;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    bool unregister = false;
    QString library;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == "-u" || a == "/u") {
            unregister = true;
        } else if (a == "--registry" && i + 1 < args.size()) {
            registry::setFile(args[++i]);
        } else if (library.isEmpty() && !a.startsWith('-')) {
            library = a;
        } else {
            library.clear();
            break;
        }
    }
    if (library.isEmpty()) {
        std::fprintf(stderr, "usage: zelmora-regsvr [-u] [--registry FILE] LIBRARY\n");
        return 2;
    }
    const char* what = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    const QByteArray path = QFileInfo(library).absoluteFilePath().toLocal8Bit();
    try {
        const std::int32_t code =
            unregister ? unregisterLibrary(library) : registerLibrary(library);
        if (code != kOk) {
            std::fprintf(stderr, "%s in %s failed with code 0x%08X.\n", what, path.constData(),
                         unsigned(code));
            return 1;
        }
    } catch (const zelmora::AppError& e) {
        std::fprintf(stderr, "%s\n", e.description().toLocal8Bit().constData());
        return 1;
    }
    std::printf("%s in %s succeeded (registry %s).\n", what, path.constData(),
                registry::file().toLocal8Bit().constData());
    return 0;
}
