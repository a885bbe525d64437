#pragma once

#include <QWidget>
#include <vector>

#include "sky/CatalogueObject.h"

class QListWidget;
class QPushButton;

namespace zelmora::sky {

// "Create Custom Object List": picks objects from a source catalogue into a
// custom list and saves that list as a new catalogue, which becomes the
// active one. Custom entries carry a copy of their object, so loading another
// source never changes what a later save writes.
class frmCustomObjects : public QWidget {
    Q_OBJECT
public:
    static inline const QString kDesignCaption = QStringLiteral("Create Custom Object List");

    explicit frmCustomObjects(QWidget* parent = nullptr);
    ~frmCustomObjects() override;

    // Fills the source list from the active catalogue.
    void loadCatalogue();

    const std::vector<CatalogueObject>& source() const { return records_; }
    const std::vector<CatalogueObject>& custom() const { return custom_; }

    // Handlers, public so that the window can be driven like its controls.
    void cbAddSingle_Click();
    void cbRemSingle_Click();
    void cbLoad_Click();
    void cbSave_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void Form_Unload();

    std::vector<CatalogueObject> records_;
    std::vector<CatalogueObject> custom_;  // one per entry of lstCustom, in order

    QListWidget* lstObjects = nullptr;
    QListWidget* lstCustom = nullptr;
    QPushButton* cbAddSingle = nullptr;
    QPushButton* cbRemSingle = nullptr;
    QPushButton* cbLoad = nullptr;
    QPushButton* cbSave = nullptr;
    bool unloaded_ = false;
};

}  // namespace zelmora::sky
