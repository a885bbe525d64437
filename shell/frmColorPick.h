#pragma once

#include <QWidget>
#include <array>
#include <cstdint>

class QPushButton;

namespace zelmora {

// "Color Picker": chooses the text colour lForeColor of the capture and
// analysis windows. A colour applies at once; "OK" keeps it, "Cancel" (and
// the close box) goes back to the colour the picker opened with.
class frmColorPick : public QWidget {
    Q_OBJECT
public:
    // 0x00BBGGRR, by button index.
    static constexpr std::array<std::uint32_t, 12> kColors = {
        0x0000C0, 0x000000, 0x008000, 0xC00000, 0x404000, 0x400040,
        0x00C0C0, 0x004080, 0x000040, 0x404040, 0xC0C0C0, 0xFFFFFF};

    explicit frmColorPick(QWidget* parent = nullptr);
    ~frmColorPick() override;

    QPushButton* cbColor(int index) const { return cbColor_[static_cast<size_t>(index)]; }

    void cbColor_Click(int index);
    void Cancel_Click();
    void OK_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::array<QPushButton*, 12> cbColor_{};
    std::uint32_t remembered_ = 0;
    bool accepted_ = false;
};

}  // namespace zelmora
