// Saves through the program's store and ends the application without its event
// loop ever coming round, as a program does that quits from inside an event.
// The store is kept from its own destructor on purpose: only the application's
// end can write the saves. The test that runs this reads the file afterwards.
#include <QCoreApplication>
#include <memory>

#include "platform/os/IniSettingsStore.h"

using zelmora::platform::IniSettingsStore;

namespace {
// Reachable to the end, and never destroyed.
std::shared_ptr<IniSettingsStore>* gKept = nullptr;
}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) return 2;
    gKept = new std::shared_ptr<IniSettingsStore>(
        std::make_shared<IniSettingsStore>(args[1], IniSettingsStore::Writes::Batched));
    (*gKept)->save(QStringLiteral("Zelmora 3"), QStringLiteral("Options"),
                   QStringLiteral("SavedLast"), QStringLiteral("yes"));
    (*gKept)->save(QStringLiteral("Moonphase"), QStringLiteral("Location"),
                   QStringLiteral("LocationName"), QStringLiteral("Home"));
    return 0;
}
