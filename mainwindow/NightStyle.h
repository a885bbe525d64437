#pragma once

#include <QProxyStyle>

class QStyleOptionTitleBar;

namespace zelmora {

// The program's style: the desktop's own, except at night, when what a style
// paints in colours of its own (pictures, icons, the title bars of the windows
// inside the main window) shows in red as well.
class NightStyle : public QProxyStyle {
    Q_OBJECT
public:
    explicit NightStyle(QStyle* base);

    // Makes the program's style a night style over the present one, once.
    static void install();

    void drawItemPixmap(QPainter* painter, const QRect& rect, int alignment,
                        const QPixmap& pixmap) const override;
    void drawItemText(QPainter* painter, const QRect& rect, int flags, const QPalette& pal,
                      bool enabled, const QString& text,
                      QPalette::ColorRole textRole = QPalette::NoRole) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget = nullptr) const override;
    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;

private:
    void drawTitleBar(const QStyleOptionTitleBar* bar, QPainter* painter,
                      const QWidget* widget) const;
};

}  // namespace zelmora
