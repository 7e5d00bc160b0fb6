// Showing the window in a test: pointed at the case's folders, shown, and
// waited for until it can be drawn on or typed into.
#pragma once

#include "window/Tmainform.h"

#include <QLineEdit>
#include <QString>
#include <QTest>
#include <QWidget>

namespace windowfixture {

inline void pointAt(Tmainform& form, const QString& source, const QString& output) {
    form.eDirSrc->setText(source);
    form.eDirOut->setText(output);
}

/// Whether the window came up to be drawn on.
inline bool shown(QWidget& window) {
    window.show();
    return QTest::qWaitForWindowExposed(&window);
}

/// Whether the window came up and takes the keyboard.
inline bool active(QWidget& window) {
    window.show();
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

/// The window over `source` and `output`, shown.
inline bool shownOver(Tmainform& form, const QString& source, const QString& output) {
    pointAt(form, source, output);
    return shown(form);
}

} // namespace windowfixture
