#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <QWidget>
#include <cstdint>

namespace zelmora::capture {

// The program's progress bar: a filled bar with a centred caption, the
// percentage or both, the text combined with the bar so it stays readable.
class ctlProgress : public QWidget {
    Q_OBJECT
public:
    explicit ctlProgress(QWidget* parent = nullptr);

    // value is kept as written; only the drawing is clamped to Min..Max.
    // Writing it redraws at once and raises AppError 11 when Max equals Min.
    void setValue(std::int32_t v);
    std::int32_t value() const { return value_; }
    void setMax(std::int32_t v) { max_ = v; }
    std::int32_t Max() const { return max_; }
    void setMin(std::int32_t v) { min_ = v; }
    std::int32_t Min() const { return min_; }
    void setCaption(const QString& c) { caption_ = c.trimmed(); }
    QString Caption() const { return caption_; }
    // 0 no text, 1 caption only, 2 percentage only, other caption and percentage.
    void setCaptionStyle(std::int16_t s) { captionStyle_ = s; }
    std::int16_t CaptionStyle() const { return captionStyle_; }
    void setFillColor(const QColor& c) { fillColor_ = c; }
    QColor FillColor() const { return fillColor_; }
    void setForeColor(const QColor& c) { foreColor_ = c; }
    QColor ForeColor() const { return foreColor_; }
    void setBackColor(const QColor& c) { backColor_ = c; }
    QColor BackColor() const { return backColor_; }
    void setBorderStyle(std::int16_t s);
    std::int16_t BorderStyle() const { return borderStyle_; }
    void setCaptionFont(const QFont& f);
    QFont CaptionFont() const { return captionFont_; }
    void Refresh() { update(); }
    void About();

    // The text of the last drawing, and the drawing itself.
    QString shownText() const { return shownText_; }
    const QImage& surface() const { return surface_; }

    // The caption text for a value (already clamped).
    static QString textFor(std::int32_t v, std::int32_t min, std::int32_t max, int style,
                           const QString& caption);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void DrawProgress();
    // Draws the surface again for the value shown, when there is one.
    void redraw();

    std::int32_t value_ = 0, max_ = 100, min_ = 0;
    QString caption_;
    std::int16_t captionStyle_ = 2;
    std::int16_t borderStyle_ = 1;
    QColor fillColor_{0, 0, 255};
    QColor foreColor_{0, 0, 0};
    QColor backColor_{255, 255, 255};
    QFont captionFont_;
    QString shownText_;
    QImage surface_;
};

}  // namespace zelmora::capture
