#pragma once

#include <QString>

namespace zelmora::display::frameimage {

// A zoom step (1..9) as the viewer's scale step and the window caption.
struct Zoom {
    int scalePercent = 0;
    QString caption;
};
Zoom zoomFor(int step);
inline int zoomIn(int step) {
    return step < 9 ? step + 1 : 9;
}
inline int zoomOut(int step) {
    return step > 1 ? step - 1 : 1;
}

// A camera RAW file, by its extension in any case.
bool isRawFile(const QString& name);

// What the loader shows for an empty name: the monitor's last file in
// monitor mode, else the camera window's last download while the control is
// connected, else nothing ("").
struct LoaderInputs {
    bool cameraWindowLoaded = false;
    bool monitorMode = false;
    QString monitorLastUpdate;
    bool connected = false;
    QString downloaded;
};
QString fileToLoad(const QString& name, const LoaderInputs& in);

// The open dialog's filter: the visible text as ever, both letter cases matched.
QString openFilter();

}  // namespace zelmora::display::frameimage
