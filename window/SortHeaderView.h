// A table header whose sort arrow points the way the rows run: up when the
// smallest value is on top, down when the largest is.
#pragma once

#include <QHeaderView>
#include <QStyleOptionHeader>

namespace quillmark {

class SortHeaderView : public QHeaderView {
    Q_OBJECT

public:
    explicit SortHeaderView(Qt::Orientation orientation, QWidget* parent = nullptr);

    /// The arrow section `logicalIndex` is drawn with.
    QStyleOptionHeader::SortIndicator arrowOf(int logicalIndex) const;

protected:
    void initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const override;
};

} // namespace quillmark
