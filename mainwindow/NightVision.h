#pragma once

#include <QBrush>
#include <QPalette>
#include <array>
#include <cstdint>
#include <memory>

class QMdiArea;
class QWidget;

namespace zelmora {

// Night vision: the program's own colours switched to red tones and back.
// The desktop-wide colour scheme is never touched; the thirty colour elements
// map onto the application palette and the main window's workspace.
class NightVision {
public:
    static constexpr int kElements = 30;
    using Colors = std::array<std::uint32_t, kElements>;  // 0x00BBGGRR

    // The red night-vision scheme, element 0 to 29.
    static const Colors& NightVisionColors();

    explicit NightVision(QMdiArea* workspace = nullptr);
    ~NightVision();
    NightVision(NightVision&&) noexcept;
    NightVision& operator=(NightVision&&) noexcept;

    // Makes the program's style the one that shows at night in red what a style
    // paints in fixed colours (pictures, icons, title bars); by day it is the
    // desktop's own. Once, before the program's windows are made.
    static void useNightStyle();

    // Keeps the current colours (palette and workspace) for restoring later.
    void SaveOriginalColors();
    void SetNightVision();
    // Puts back what SaveOriginalColors read; before any save it does nothing.
    void RestoreOriginalColors();

    // The colour of element i in a palette/workspace pair (0 where the element
    // colours nothing).
    static std::uint32_t readElement(int element, const QPalette& palette, const QBrush& workspace);
    // Applies the thirty colours on top of a palette.
    static QPalette applyElements(const QPalette& base, const Colors& colors);

private:
    class WidgetColours;

    QMdiArea* workspace_;
    bool haveSaved_ = false;
    QPalette savedPalette_;
    QPalette savedToolTips_;
    QBrush savedWorkspace_;
    std::unique_ptr<WidgetColours> widgets_;
};

}  // namespace zelmora
