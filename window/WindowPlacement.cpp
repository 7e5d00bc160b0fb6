#include "WindowPlacement.h"

#include <algorithm>

namespace quillmark {

WindowPlacement WindowPlacement::fit(const QRect& available, const QMargins& frame,
                                     const QSize& design, const QPoint& designPosition) {
    const QSize room = available.size().shrunkBy(frame);
    WindowPlacement placement;
    placement.clientSize = design.boundedTo(room.expandedTo(QSize(1, 1)));
    const QSize outer = placement.clientSize.grownBy(frame);
    // The design's corner where the window fits there; else moved just far
    // enough up or left, never past the area's own corner.
    const auto place = [](int wanted, int first, int length, int outerLength) {
        return std::max(first, std::min(wanted, first + length - outerLength));
    };
    placement.framePosition =
        QPoint(place(designPosition.x(), available.left(), available.width(), outer.width()),
               place(designPosition.y(), available.top(), available.height(), outer.height()));
    return placement;
}

} // namespace quillmark
