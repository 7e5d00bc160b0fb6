// Where the window opens: at the size and place it was drawn for when the
// screen has room for them, else as large as the screen's free area allows
// and wholly inside it.
#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace quillmark {

struct WindowPlacement {
    /// The top-left corner of the window's frame.
    QPoint framePosition;
    /// The size of the window without its frame.
    QSize clientSize;

    /// The whole window with its frame.
    QRect frameRect(const QMargins& frame) const {
        return {framePosition, clientSize.grownBy(frame)};
    }

    /// Places a window drawn at `design` (its client size) with its frame's
    /// corner at `designPosition` on a screen whose free area is
    /// `available`; `frame` is what the window manager adds around it.
    static WindowPlacement fit(const QRect& available, const QMargins& frame, const QSize& design,
                               const QPoint& designPosition);
};

} // namespace quillmark
