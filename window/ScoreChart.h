// The scores of the compared documents as a bar chart in bins of five
// points, with the allowed percentage drawn across it, so the distance of the
// batch from the threshold shows at a glance.
#pragma once

#include "engine/DocumentTable.h"
#include "engine/ScoreHistogram.h"

#include <QColor>
#include <QRect>
#include <QWidget>
#include <array>
#include <vector>

namespace quillmark {

class ScoreChart : public QWidget {
    Q_OBJECT

public:
    static const QColor PassingBar;
    static const QColor FailingBar;
    static const QColor ThresholdLine;

    explicit ScoreChart(QWidget* parent = nullptr);

    /// Counts the scores of the first comparedCount documents and marks those
    /// above `percent` as failing.
    void setScores(const DocumentTable& documents, int percent);
    /// Shows no scores.
    void clear();

    const ScoreHistogram& histogram() const { return m_histogram; }
    /// How many scores of bin `bin` are above the percentage.
    int failingCount(int bin) const;
    int percent() const { return m_percent; }
    /// The number of scores at most the percentage.
    int passedCount() const;

    /// Where the bars stand: the score axis runs from 0 at its left edge to
    /// 100 at its right edge.
    QRect plotRect() const;
    /// The column of score `score` (0 to 100) on the axis.
    int xOfScore(double score) const;
    /// The column the threshold line is drawn in.
    int thresholdX() const;
    /// The full bar of bin `bin`; empty when the bin counts nothing.
    QRect barRect(int bin) const;
    /// Where the count of bin `bin` is written above its bar, raised where
    /// it would touch another; for a count left unwritten, where it would
    /// stand right above its bar. Empty when the bin counts nothing.
    QRect countLabelRect(int bin) const;
    /// The bins whose counts are written, in bin order: the tallest always,
    /// the others where their labels find room that touches no other label.
    std::vector<int> labelledBins() const;
    /// The caption above the bars.
    QString title() const;
    /// Where the caption is written, as many lines high as it needs.
    QRect titleRect() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    int titleHeight() const;
    /// The count label of bin `bin` right above its bar.
    QRect baseLabelRect(int bin) const;
    /// Each bin's written count label; empty where none is written.
    std::array<QRect, ScoreHistogram::BinCount> placedLabels() const;
    int countHeight() const;
    int axisHeight() const;
    /// The bin whose bar column holds `point`; -1 outside the bars.
    int binAt(const QPoint& point) const;

    ScoreHistogram m_histogram;
    std::array<int, ScoreHistogram::BinCount> m_failing{};
    int m_percent = 0;
};

} // namespace quillmark
