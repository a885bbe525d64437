#include "platform/drivers/DriverChooser.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QVBoxLayout>

#include "platform/time/Clock.h"

namespace zelmora::drivers {

namespace {
std::shared_ptr<DriverUiBackend>& backendSlot() {
    static std::shared_ptr<DriverUiBackend> slot;
    return slot;
}
}  // namespace

DriverUiBackend& DriverUi::backend() {
    auto& slot = backendSlot();
    if (!slot) slot = std::make_shared<QtDriverUi>();
    return *slot;
}

void DriverUi::setBackend(std::shared_ptr<DriverUiBackend> backend) {
    backendSlot() = std::move(backend);
}

bool DriverUi::runSetupDialog(QDialog& dialog) {
    platform::handToTheLoop();
    return backend().runSetupDialog(dialog);
}

QString DriverChooser::Choose(const QString& currentId) const {
    // The chooser lets events run while it is up, as any box does.
    platform::handToTheLoop();
    return DriverUi::backend().choose(deviceType_, currentId,
                                      DriverRegistry::instance().drivers(deviceType_));
}

QString QtDriverUi::choose(const QString& deviceType, const QString& currentId,
                           const std::vector<DriverInfo>& drivers) {
    // On the heap: the chooser belongs to the window in front and goes with it,
    // should that window be deleted while the chooser is up.
    const QPointer<QDialog> dialog = new QDialog(QApplication::activeWindow());
    dialog->setObjectName(QStringLiteral("DriverChooser"));
    dialog->setWindowTitle(deviceType + QStringLiteral(" Chooser"));
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(new QLabel(QStringLiteral("Select the type of ") + deviceType.toLower() +
                                     QStringLiteral(" you have, then press OK."),
                                 dialog));
    auto* list = new QListWidget(dialog);
    list->setObjectName(QStringLiteral("drivers"));
    int preselect = drivers.empty() ? -1 : 0;
    for (size_t i = 0; i < drivers.size(); ++i) {
        auto* item = new QListWidgetItem(drivers[i].description, list);
        item->setData(Qt::UserRole, drivers[i].id);
        item->setToolTip(drivers[i].id);
        if (drivers[i].id.compare(currentId, Qt::CaseInsensitive) == 0) preselect = int(i);
    }
    list->setCurrentRow(preselect);
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    QObject::connect(list, &QListWidget::itemDoubleClicked, dialog, &QDialog::accept);
    layout->addWidget(buttons);
    const bool accepted = dialog->exec() == QDialog::Accepted && dialog && list->currentItem();
    const QString chosen =
        accepted ? list->currentItem()->data(Qt::UserRole).toString() : QString();
    delete dialog.data();
    return chosen;
}

bool QtDriverUi::runSetupDialog(QDialog& dialog) {
    return dialog.exec() == QDialog::Accepted;
}

QString ScriptedDriverUi::choose(const QString& deviceType, const QString& currentId,
                                 const std::vector<DriverInfo>& drivers) {
    calls_.push_back({deviceType, currentId, drivers});
    if (replies_.empty()) {
        if (onUnexpected_) onUnexpected_(deviceType);
        return {};
    }
    QString reply = replies_.front();
    replies_.pop_front();
    return reply;
}

bool ScriptedDriverUi::runSetupDialog(QDialog& dialog) {
    ++setupShown_;
    return setupAction_ ? setupAction_(dialog) : false;
}

}  // namespace zelmora::drivers
