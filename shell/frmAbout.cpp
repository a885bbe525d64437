#include "shell/frmAbout.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/os/Media.h"
#include "platform/time/Clock.h"
#include "platform/time/Timer.h"
#include "shell/Conv.h"
#include "shell/NightColours.h"
#include "shell/Shell.h"
#include "shell/WindowRegistry.h"

namespace zelmora {

namespace {
constexpr int kFrameMs = 20;
constexpr int kCreditsMs = 40;
constexpr int kCreditsStepTwips = 15;
constexpr int kCreditsWrapTwips = -2100;
}  // namespace

// The area the drawn frame is shown in.
class frmAbout::Starfield : public QWidget {
public:
    Starfield(const QImage& image, QWidget* parent) : QWidget(parent), image_(image) {
        setObjectName(QStringLiteral("picStars"));
        setFixedSize(400, 240);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        if (image_.isNull())
            p.fillRect(rect(), Qt::black);
        else
            p.drawImage(0, 0, NightColours::picture(image_));
    }

private:
    const QImage& image_;
};

frmAbout::frmAbout(QWidget* parent) : QWidget(parent, Qt::Dialog), rng_(std::random_device{}()) {
    setObjectName(QStringLiteral("frmAbout"));
    setProperty("designCaption", QStringLiteral("About Zelmora"));
    setWindowTitle(QStringLiteral("About Zelmora ") + Shell::versionText());
    setAttribute(Qt::WA_DeleteOnClose);

    auto* layout = new QVBoxLayout(this);
    picture_ = new Starfield(frame_, this);
    layout->addWidget(picture_);
    auto* title = new QLabel(QStringLiteral("Zelmora ") + Shell::versionText(), picture_);
    title->setObjectName(QStringLiteral("lblTitle"));
    title->setStyleSheet(QStringLiteral("color: white; font-size: 18pt; font-weight: bold;"));
    title->move(16, 12);

    // The credits scroll up inside their own area.
    creditsArea_ = new QWidget(this);
    creditsArea_->setObjectName(QStringLiteral("creditsArea"));
    creditsArea_->setFixedHeight(120);
    credits_ = new QLabel(kCredits, creditsArea_);
    credits_->setObjectName(QStringLiteral("lblCredits"));
    credits_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    credits_->setFixedWidth(picture_->width());
    credits_->adjustSize();
    credits_->move(0, creditsArea_->height());
    layout->addWidget(creditsArea_);

    auto* buttons = new QHBoxLayout;
    auto* web = new QPushButton(QStringLiteral("Website"), this);
    web->setObjectName(QStringLiteral("cmdWebsite"));
    web->setToolTip(kWebAddress);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    buttons->addWidget(web);
    buttons->addStretch();
    buttons->addWidget(ok);
    layout->addLayout(buttons);
    connect(web, &QPushButton::clicked, this, [] { Website(kWebAddress); });
    connect(ok, &QPushButton::clicked, this, &QWidget::close);

    frame_ = QImage(picture_->size(), QImage::Format_RGB32);
    frame_.fill(Qt::black);
    frameTimer_ = std::make_unique<platform::Timer>();
    blitTimer_ = std::make_unique<platform::Timer>();
    creditsTimer_ = std::make_unique<platform::Timer>();
    connect(frameTimer_.get(), &platform::Timer::timeout, this, &frmAbout::drawFrame);
    connect(blitTimer_.get(), &platform::Timer::timeout, picture_, [this] { picture_->update(); });
    connect(creditsTimer_.get(), &platform::Timer::timeout, this, &frmAbout::scrollCredits);
    seedStars();
    windows().markLoaded(Win::frmAbout, this);
}

frmAbout::~frmAbout() {
    windows().markUnloaded(Win::frmAbout);
}

void frmAbout::Website(const QString& address) {
    platform::DesktopService::instance().open(QUrl(address));
}

void frmAbout::seedStars() {
    AboutStars::seed(stars_, rng_);
}

void frmAbout::drawFrame() {
    // The constants are in twips; the frame is drawn at 15 twips a pixel.
    const double halfW = Conv::pixelsToTwips(frame_.width()) / 2.0;
    const double halfH = Conv::pixelsToTwips(frame_.height()) / 2.0;
    const double radius = std::max(1.0, double(AboutStars::kRadiusTwips) / Conv::kTwipsPerPixel);
    frame_.fill(Qt::black);
    QPainter p(&frame_);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    for (AboutStars::Star& s : stars_) {
        AboutStars::step(s, AboutStars::kSpeed, halfW, halfH);
        const int v = AboutStars::brightness(s.Z);
        p.setBrush(QColor(v, v, v));
        p.drawEllipse(QPointF(s.screenX / Conv::kTwipsPerPixel, s.screenY / Conv::kTwipsPerPixel),
                      radius, radius);
    }
}

void frmAbout::scrollCredits() {
    int top = Conv::pixelsToTwips(credits_->y()) - kCreditsStepTwips;
    if (top <= kCreditsWrapTwips) top = Conv::pixelsToTwips(creditsArea_->height());
    credits_->move(credits_->x(), Conv::twipsToPixels(top));
}

void frmAbout::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    frameTimer_->setInterval(kFrameMs);
    blitTimer_->setInterval(kFrameMs);
    creditsTimer_->setInterval(kCreditsMs);
}

void frmAbout::hideEvent(QHideEvent* event) {
    frameTimer_->setInterval(0);
    blitTimer_->setInterval(0);
    creditsTimer_->setInterval(0);
    QWidget::hideEvent(event);
}

void frmAbout::changeEvent(QEvent* event) {
    // Every activation starts a new starfield.
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) seedStars();
    QWidget::changeEvent(event);
}

}  // namespace zelmora
