#include "vosquin/CameraDlgView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace zelmora::vosquin {

CameraDlgView::CameraDlgView(CCameraDlg& dialog, QWidget* parent)
    : QWidget(parent), dialog_(&dialog) {
    setObjectName(QStringLiteral("CCameraDlg"));
    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(4, 4, 4, 4);

    auto* buttons = new QHBoxLayout;
    auto button = [&](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        buttons->addWidget(b);
        return b;
    };
    connect_ = button("cmdConnect", QStringLiteral("Connect"));
    disconnect_ = button("cmdDisconnect", QStringLiteral("Disconnect"));
    end_ = button("cmdEnd", QStringLiteral("End"));
    top->addLayout(buttons);

    auto* releaseGroup = new QGroupBox(QStringLiteral("Release"), this);
    releaseGroup->setObjectName(QStringLiteral("grpRelease"));
    auto* releaseGrid = new QGridLayout(releaseGroup);
    static constexpr const char* kBoxNames[] = {"chkThumbPc", "chkPicPc", "chkThumbCam",
                                                "chkPicCam"};
    static const QString kBoxCaptions[] = {
        QStringLiteral("Thumb -> PC"), QStringLiteral("Pict -> PC"), QStringLiteral("Thumb -> Cam"),
        QStringLiteral("Pict -> Cam")};
    for (int i = 0; i < 4; ++i) {
        auto* box = new QCheckBox(kBoxCaptions[i], releaseGroup);
        box->setObjectName(QString::fromLatin1(kBoxNames[i]));
        releaseGrid->addWidget(box, i / 2, i % 2);
        boxes_[std::size_t(i)] = box;
        QObject::connect(box, &QCheckBox::clicked, this, [this, i](bool checked) {
            if (dialog_) dialog_->clickBox(CCameraDlg::Box(i), checked);
        });
    }
    release_ = new QPushButton(QStringLiteral("Release"), releaseGroup);
    release_->setObjectName(QStringLiteral("cmdRelease"));
    releaseGrid->addWidget(release_, 0, 2, 2, 1);
    top->addWidget(releaseGroup);

    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(new QLabel(QStringLiteral("File save path:"), this));
    savePath_ = new QLineEdit(this);
    savePath_->setObjectName(QStringLiteral("txtSavePath"));
    pathRow->addWidget(savePath_, 1);
    browse_ = new QPushButton(QStringLiteral("..."), this);
    browse_->setObjectName(QStringLiteral("cmdBrowse"));
    browse_->setMaximumWidth(browse_->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
    pathRow->addWidget(browse_);
    top->addLayout(pathRow);

    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(new QLabel(QStringLiteral("Progress"), this));
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setRange(0, 100);
    progressRow->addWidget(progress_, 1);
    top->addLayout(progressRow);

    // The quality list stays visible when the other settings are hidden, so it
    // lives beside the group rather than inside it.
    controls_ = new QGroupBox(QStringLiteral("Camera Controls"), this);
    controls_->setObjectName(QStringLiteral("grpCameraControls"));
    auto* grid = new QGridLayout(controls_);
    static constexpr const char* kComboNames[] = {"cboISO", "cboMode", "cboTv", "cboAv",
                                                  "cboQuality"};
    static const QString kLabels[] = {QStringLiteral("ISO Speed"), QStringLiteral("Shooting Mode"),
                                      QStringLiteral("Tv"), QStringLiteral("Av"),
                                      QStringLiteral("Quality")};
    auto* qualityRow = new QHBoxLayout;
    for (int i = 0; i < 5; ++i) {
        QWidget* owner = i < 4 ? static_cast<QWidget*>(controls_) : this;
        labels_[std::size_t(i)] = new QLabel(kLabels[i], owner);
        auto* c = new QComboBox(owner);
        c->setObjectName(QString::fromLatin1(kComboNames[i]));
        combos_[std::size_t(i)] = c;
        if (i < 4) {
            grid->addWidget(labels_[std::size_t(i)], i, 0);
            grid->addWidget(c, i, 1);
        } else {
            qualityRow->addWidget(labels_[std::size_t(i)]);
            qualityRow->addWidget(c, 1);
        }
        QObject::connect(c, &QComboBox::activated, this, [this, i](int index) {
            if (dialog_) dialog_->selectionChanged(CCameraDlg::List(i), index);
        });
    }
    top->addWidget(controls_);
    top->addLayout(qualityRow);
    top->addStretch(1);

    QObject::connect(connect_, &QPushButton::clicked, this, [this] {
        if (dialog_) dialog_->ConnectCamera();
    });
    QObject::connect(disconnect_, &QPushButton::clicked, this, [this] {
        if (dialog_) dialog_->DisconnectCamera();
    });
    QObject::connect(end_, &QPushButton::clicked, this, [this] {
        if (dialog_) dialog_->EndSession();
    });
    QObject::connect(release_, &QPushButton::clicked, this, [this] {
        if (dialog_) dialog_->ReleaseShutter();
    });
    QObject::connect(browse_, &QPushButton::clicked, this, [this] {
        if (dialog_) dialog_->browseSaveFolder();
    });
    QObject::connect(savePath_, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (dialog_) dialog_->setSavePath(text.toStdString());
    });
    QObject::connect(&dialog, &CCameraDlg::changed, this, &CameraDlgView::refresh);
    refresh();
}

void CameraDlgView::refresh() {
    if (!dialog_) return;
    const CCameraDlg& d = *dialog_;
    connect_->setEnabled(d.connectEnabled());
    disconnect_->setEnabled(d.disconnectEnabled());
    // A button that goes off while it holds the keyboard would hand it on to
    // the save path, all selected, where the space bar (the program's shutter
    // key) would replace the folder: the keyboard is let go first.
    if (!d.releaseEnabled() && release_->hasFocus()) release_->clearFocus();
    release_->setEnabled(d.releaseEnabled());
    for (int i = 0; i < 4; ++i) {
        QCheckBox* box = boxes_[std::size_t(i)];
        const QSignalBlocker block(box);
        box->setChecked(d.boxChecked(CCameraDlg::Box(i)));
        box->setEnabled(d.boxEnabled(CCameraDlg::Box(i)));
    }
    const QString path = QString::fromStdString(d.savePath());
    if (savePath_->text() != path) {
        const QSignalBlocker block(savePath_);
        savePath_->setText(path);
    }
    progress_->setValue(d.progress());
    controls_->setVisible(d.settingsVisible());
    for (int i = 0; i < 5; ++i) {
        const ComboModel& m = d.list(CCameraDlg::List(i));
        QComboBox* c = combos_[std::size_t(i)];
        const QSignalBlocker block(c);
        if (revisions_[std::size_t(i)] != m.revision()) {
            revisions_[std::size_t(i)] = m.revision();
            c->clear();
            for (const ComboEntry& e : m.entries())
                c->addItem(QString::fromStdString(e.text), int(e.code));
        }
        c->setCurrentIndex(m.selected());
        c->setEnabled(m.enabled());
        if (i < 4) {
            c->setVisible(m.visible());
            labels_[std::size_t(i)]->setVisible(m.visible());
        }
    }
}

}  // namespace zelmora::vosquin
