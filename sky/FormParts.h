#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QString>

// Small builders for the sky windows' fixed-geometry forms.
namespace zelmora::sky::form {

template <typename T>
T* named(T* widget, const QString& name) {
    widget->setObjectName(name);
    return widget;
}

template <typename T>
T* named(T* widget, const char* name) {
    return named(widget, QLatin1String(name));
}

inline QLabel* caption(QWidget* parent, const QString& text, int x, int y, int w, int h = 20) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(x, y, w, h);
    return l;
}

inline QGroupBox* frame(QWidget* parent, const QString& title, int x, int y, int w, int h) {
    auto* g = new QGroupBox(title, parent);
    g->setGeometry(x, y, w, h);
    return g;
}

}  // namespace zelmora::sky::form
