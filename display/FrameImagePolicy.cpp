#include "display/FrameImagePolicy.h"

namespace zelmora::display::frameimage {

Zoom zoomFor(int step) {
    static constexpr struct {
        int scale;
        int percent;
    } kSteps[] = {{10, 10}, {11, 15}, {0, 25},  {1, 50}, {2, 75},
                  {3, 100}, {4, 125}, {5, 150}, {7, 200}};
    if (step < 1 || step > 9) step = 3;
    const auto& s = kSteps[step - 1];
    return {s.scale, QStringLiteral("Frame Image - Zoom:%1%").arg(s.percent)};
}

bool isRawFile(const QString& name) {
    const QString ext = name.right(3).toLower();
    return ext == QLatin1String("crw") || ext == QLatin1String("cr2");
}

QString fileToLoad(const QString& name, const LoaderInputs& in) {
    if (!name.isEmpty()) return name;
    if (!in.cameraWindowLoaded) return {};
    if (in.monitorMode) {
        const QString last = in.monitorLastUpdate;
        return last == QLatin1String("") || last == QLatin1String(" ") ? QString() : last;
    }
    return in.connected ? in.downloaded : QString();
}

QString openFilter() {
    // Linux matches name patterns by case (the camera writes IMG_0001.JPG), and
    // Qt's dialogs take the patterns from inside the brackets.
    return QStringLiteral("Images (*.jpg *.JPG *.CRW *.crw *.CR2 *.cr2)");
}

}  // namespace zelmora::display::frameimage
