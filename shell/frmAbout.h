#pragma once

#include <QImage>
#include <QWidget>
#include <memory>
#include <random>

#include "shell/AboutStars.h"

class QLabel;
class QPushButton;

namespace zelmora {

namespace platform {
class Timer;
}

// The about box: the program's name and version over a starfield that flies
// towards the viewer, scrolling credits and a button to the program's web page.
class frmAbout : public QWidget {
    Q_OBJECT
public:
    // The program's own page; a placeholder address that never resolves.
    static inline const QString kWebAddress = QStringLiteral("https://zelmora.invalid/");
    static inline const QString kCredits = QStringLiteral(
        "Zelmora\n"
        "focusing and imaging for astrophotographers\n"
        "\n"
        "Written by the Zelmora developers\n"
        "\n"
        "Thanks to everyone who tested it\n"
        "under clear and cloudy skies alike\n"
        "\n"
        "Clear skies!");

    explicit frmAbout(QWidget* parent = nullptr);
    ~frmAbout() override;

    // Opens a web address with the desktop's browser.
    static void Website(const QString& address);

    const AboutStars::Field& stars() const { return stars_; }
    const QImage& frameImage() const { return frame_; }
    QLabel* credits() const { return credits_; }
    // Timer steps, also driven by the timers.
    void drawFrame();
    void scrollCredits();
    void seedStars();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    class Starfield;
    Starfield* picture_ = nullptr;
    QWidget* creditsArea_ = nullptr;
    QLabel* credits_ = nullptr;
    QImage frame_;
    AboutStars::Field stars_{};
    std::mt19937 rng_;
    std::unique_ptr<platform::Timer> frameTimer_;
    std::unique_ptr<platform::Timer> blitTimer_;
    std::unique_ptr<platform::Timer> creditsTimer_;
};

}  // namespace zelmora
