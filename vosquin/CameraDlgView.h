#pragma once

#include <QPointer>
#include <QWidget>
#include <array>
#include <cstdint>

#include "vosquin/CCameraDlg.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace zelmora::vosquin {

// The camera dialog's window: plain widgets that show the dialog's state and pass
// the user's clicks and choices to it. Widgets carry object names for tests.
class CameraDlgView : public QWidget {
    Q_OBJECT
public:
    CameraDlgView(CCameraDlg& dialog, QWidget* parent);

    // Copies the dialog's state into the widgets.
    void refresh();

private:
    QComboBox* combo(CCameraDlg::List which) const { return combos_[which]; }

    QPointer<CCameraDlg> dialog_;
    QPushButton* connect_ = nullptr;
    QPushButton* disconnect_ = nullptr;
    QPushButton* end_ = nullptr;
    QPushButton* release_ = nullptr;
    QPushButton* browse_ = nullptr;
    std::array<QCheckBox*, 4> boxes_{};
    QLineEdit* savePath_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QGroupBox* controls_ = nullptr;
    std::array<QComboBox*, 5> combos_{};
    std::array<QLabel*, 5> labels_{};
    std::array<std::uint64_t, 5> revisions_{};
};

}  // namespace zelmora::vosquin
