#include "SortHeaderView.h"

namespace quillmark {

SortHeaderView::SortHeaderView(Qt::Orientation orientation, QWidget* parent)
    : QHeaderView(orientation, parent) {}

QStyleOptionHeader::SortIndicator SortHeaderView::arrowOf(int logicalIndex) const {
    QStyleOptionHeader option;
    initStyleOptionForIndex(&option, logicalIndex);
    return option.sortIndicator;
}

void SortHeaderView::initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const {
    QHeaderView::initStyleOptionForIndex(option, logicalIndex);
    if (!isSortIndicatorShown() || sortIndicatorSection() != logicalIndex)
        return;
    // The styles draw SortUp as an arrow pointing up; Qt's own header gives
    // it to descending order, which reads backwards.
    option->sortIndicator = sortIndicatorOrder() == Qt::AscendingOrder
                                ? QStyleOptionHeader::SortUp
                                : QStyleOptionHeader::SortDown;
}

} // namespace quillmark
