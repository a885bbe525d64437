#include "sky/frmCustomObjects.h"

#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "platform/os/Dialogs.h"
#include "shell/AppPaths.h"
#include "shell/Errors.h"
#include "shell/Globals.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"

namespace zelmora::sky {

using platform::Dialogs;
namespace Msg = platform::Msg;

namespace {

const QString kFilter = QStringLiteral("Object Catalogue|*.txt");

template <typename T>
T* named(T* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

platform::FileDialogRequest catalogueRequest() {
    platform::FileDialogRequest request;
    request.filter = kFilter;
    request.initialDir = AppPaths::dataFiles() + u'/';
    return request;
}

void makeActive(const QString& file) {
    state().sCatalogueFile = file;
    Settings::save(QStringLiteral("Telescope"), QStringLiteral("ObjectCatalogue"), file);
}

}  // namespace

frmCustomObjects::frmCustomObjects(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmCustomObjects"));
    setWindowTitle(kDesignCaption);
    setProperty("designCaption", kDesignCaption);
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();
    loadCatalogue();
    windows().markLoaded(Win::frmCustomObjects, this);
}

frmCustomObjects::~frmCustomObjects() {
    if (!unloaded_ && windows().ifLoaded(Win::frmCustomObjects) == this)
        windows().markUnloaded(Win::frmCustomObjects);
}

void frmCustomObjects::buildControls() {
    auto* l1 = new QLabel(QStringLiteral("Source Objects"), this);
    l1->setGeometry(10, 8, 200, 20);
    lstObjects = named(new QListWidget(this), "lstObjects");
    lstObjects->setGeometry(10, 30, 260, 320);
    lstObjects->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto* l2 = new QLabel(QStringLiteral("Custom Objects"), this);
    l2->setGeometry(340, 8, 200, 20);
    lstCustom = named(new QListWidget(this), "lstCustom");
    lstCustom->setGeometry(340, 30, 260, 320);
    lstCustom->setSelectionMode(QAbstractItemView::ExtendedSelection);

    cbAddSingle = named(new QPushButton(QStringLiteral(">>"), this), "cbAddSingle");
    cbAddSingle->setGeometry(282, 140, 46, 30);
    cbAddSingle->setToolTip(QStringLiteral("Add object(s) to list"));
    cbRemSingle = named(new QPushButton(QStringLiteral("<<"), this), "cbRemSingle");
    cbRemSingle->setGeometry(282, 190, 46, 30);
    cbRemSingle->setToolTip(QStringLiteral("Remove object(s) from list"));
    cbLoad = named(new QPushButton(QStringLiteral("Load Source Object List"), this), "cbLoad");
    cbLoad->setGeometry(10, 360, 260, 30);
    cbSave = named(new QPushButton(QStringLiteral("Save Custom List"), this), "cbSave");
    cbSave->setGeometry(340, 360, 260, 30);

    auto on = [this](QPushButton* button, const char* proc, void (frmCustomObjects::*handler)()) {
        connect(button, &QPushButton::clicked, this, [this, proc, handler] {
            trapAndTrace(QString::fromLatin1(proc), [&] { (this->*handler)(); });
        });
    };
    on(cbAddSingle, "frmCustomObjects.cbAddSingle_Click", &frmCustomObjects::cbAddSingle_Click);
    on(cbRemSingle, "frmCustomObjects.cbRemSingle_Click", &frmCustomObjects::cbRemSingle_Click);
    on(cbLoad, "frmCustomObjects.cbLoad_Click", &frmCustomObjects::cbLoad_Click);
    on(cbSave, "frmCustomObjects.cbSave_Click", &frmCustomObjects::cbSave_Click);
    setFixedSize(610, 400);
}

void frmCustomObjects::loadCatalogue() {
    records_.clear();
    lstObjects->clear();
    const CatalogueFile::ReadResult result = CatalogueFile::read(state().sCatalogueFile);
    records_ = result.records;
    QStringList entries;
    for (const CatalogueObject& r : records_) entries << r.entryText();
    lstObjects->addItems(entries);
    for (int i = 0; i < lstObjects->count(); ++i) lstObjects->item(i)->setData(Qt::UserRole, i);
    if (!result.ok) {
        Globals::WriteLogLine(QStringLiteral("Object catalogue ") + state().sCatalogueFile +
                              QStringLiteral(": ") + result.problem);
        Dialogs::msgBox(
            QStringLiteral(
                "Unable to load Object Catalogue file. Check the formatting and try again!"),
            Msg::OKOnly);
    }
}

void frmCustomObjects::cbAddSingle_Click() {
    // Replaces the custom list with the source list's selection, in list order.
    lstCustom->clear();
    custom_.clear();
    for (int i = 0; i < lstObjects->count(); ++i) {
        QListWidgetItem* item = lstObjects->item(i);
        if (!item->isSelected()) continue;
        const int k = item->data(Qt::UserRole).toInt();
        if (k < 0 || k >= int(records_.size())) continue;
        auto* entry = new QListWidgetItem(item->text());
        entry->setData(Qt::UserRole, k);
        lstCustom->addItem(entry);
        custom_.push_back(records_[k]);
    }
}

void frmCustomObjects::cbRemSingle_Click() {
    for (int i = lstCustom->count() - 1; i >= 0; --i) {
        if (!lstCustom->item(i)->isSelected()) continue;
        delete lstCustom->takeItem(i);
        custom_.erase(custom_.begin() + i);
    }
}

void frmCustomObjects::cbLoad_Click() {
    const QString file = Dialogs::openFile(catalogueRequest());
    if (file.isEmpty()) return;  // cancelled: the active catalogue stays
    makeActive(file);
    guarded([] { QDir::setCurrent(AppPaths::appDir()); });
    loadCatalogue();
}

void frmCustomObjects::cbSave_Click() {
    const QString file = Dialogs::saveFile(catalogueRequest());
    if (file.isEmpty()) return;  // cancelled: nothing is written
    const int bad = CatalogueFile::firstUnstorable(custom_);
    if (bad >= 0) {
        Dialogs::msgBox(QStringLiteral("Unable to Save Custom Catalogue file. ") +
                            QStringLiteral("\"%1\" holds a double quote, which a catalogue "
                                           "file cannot store.")
                                .arg(custom_[bad].entryText()),
                        Msg::OKOnly);
        return;
    }
    try {
        CatalogueFile::write(file, custom_);
    } catch (const AppError& e) {
        Globals::WriteLogLine(e.description());
        Dialogs::msgBox(QStringLiteral("Unable to Save Custom Catalogue file."), Msg::OKOnly);
        return;
    }
    makeActive(file);
}

void frmCustomObjects::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    windows().markUnloaded(Win::frmCustomObjects);
}

void frmCustomObjects::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

}  // namespace zelmora::sky
