// The chart of scores: what it counts, and that its bars and the threshold
// line are painted where the counts and the percentage say.
#include "window/ScoreChart.h"

#include <QImage>
#include <QTest>

#include <algorithm>

using namespace quillmark;

namespace {

DocumentTable scoresOf(const QList<int>& scores, int comparedCount) {
    DocumentTable table;
    for (int score : scores) {
        table.append("t" + QByteArray::number(table.count()));
        table.scores.back() = score;
    }
    table.comparedCount = comparedCount;
    return table;
}

// Whether any pixel of column `x` within the plot has `color`.
bool columnHas(const QImage& image, const QRect& plot, int x, const QColor& color) {
    for (int y = plot.top(); y <= plot.bottom(); ++y) {
        if (image.pixelColor(x, y) == color)
            return true;
    }
    return false;
}

// A batch with perBin[b] scores at the lowest score of bin b.
DocumentTable binnedScores(const QList<int>& perBin) {
    QList<int> scores;
    for (int bin = 0; bin < perBin.size(); ++bin)
        scores += QList<int>(perBin[bin], ScoreHistogram::lowestScore(bin));
    return scoresOf(scores, static_cast<int>(scores.size()));
}

} // namespace

class ScoreChartTest : public QObject {
    Q_OBJECT

private:
    static QImage paint(ScoreChart& chart) { return chart.grab().toImage(); }

private slots:
    void countsComparedScoresAndFailingOnes() {
        ScoreChart chart;
        // The last two were not compared.
        chart.setScores(scoresOf({0, 3, 20, 24, 25, 99, 100, 60, 60}, 7), 20);
        QCOMPARE(chart.histogram().total, 7);
        QCOMPARE(chart.histogram().bins[0], 2);
        QCOMPARE(chart.histogram().bins[4], 2);
        QCOMPARE(chart.histogram().bins[5], 1);
        QCOMPARE(chart.histogram().bins[19], 2);
        QCOMPARE(chart.histogram().bins[12], 0);
        // 20 passes, 24 does not: the bin the percentage cuts is split.
        QCOMPARE(chart.failingCount(4), 1);
        QCOMPARE(chart.failingCount(0), 0);
        QCOMPARE(chart.failingCount(5), 1);
        QCOMPARE(chart.failingCount(19), 2);
        QCOMPARE(chart.passedCount(), 3);
        QCOMPARE(chart.percent(), 20);

        chart.setScores(scoresOf({0, 3, 20, 24, 25, 99, 100}, 7), 99);
        QCOMPARE(chart.failingCount(19), 1);
        QCOMPARE(chart.passedCount(), 6);
        chart.clear();
        QCOMPARE(chart.histogram().total, 0);
        QCOMPARE(chart.passedCount(), 0);
    }

    void thresholdLineFollowsThePercentage() {
        ScoreChart chart;
        chart.resize(260, 150);
        chart.setScores(scoresOf({0, 0, 10, 40, 90}, 5), 20);
        const QRect plot = chart.plotRect();
        QVERIFY(plot.width() > 100 && plot.height() > 40);
        QCOMPARE(chart.xOfScore(0), plot.left());
        QCOMPARE(chart.xOfScore(100), plot.right());
        const int at20 = chart.thresholdX();
        QCOMPARE(at20, chart.xOfScore(20));
        QImage image = paint(chart);
        QVERIFY(columnHas(image, plot, at20, ScoreChart::ThresholdLine));

        chart.setScores(scoresOf({0, 0, 10, 40, 90}, 5), 70);
        const int at70 = chart.thresholdX();
        QVERIFY(at70 > at20 + plot.width() / 3);
        image = paint(chart);
        QVERIFY(columnHas(image, plot, at70, ScoreChart::ThresholdLine));
        QVERIFY(!columnHas(image, plot, at20, ScoreChart::ThresholdLine));
    }

    void barsAboveThePercentageFail() {
        ScoreChart chart;
        chart.resize(260, 150);
        // Bin 4 holds 20 (passes at 20) and 24 (fails): its bar is half of each.
        chart.setScores(scoresOf({0, 1, 2, 3, 20, 24, 40, 41, 42, 43}, 10), 20);
        const QImage image = paint(chart);
        auto colourAt = [&image](const QRect& bar, int fromTop) {
            return image.pixelColor(bar.center().x(), bar.top() + fromTop);
        };
        const QRect passing = chart.barRect(0);
        const QRect failing = chart.barRect(8);
        const QRect split = chart.barRect(4);
        QVERIFY(!passing.isEmpty() && !failing.isEmpty() && !split.isEmpty());
        QVERIFY(chart.barRect(1).isEmpty());
        // Equal counts, equal heights; half the count, half the height.
        QCOMPARE(passing.height(), failing.height());
        QVERIFY(qAbs(split.height() * 2 - passing.height()) <= 2);
        QCOMPARE(colourAt(passing, 1), ScoreChart::PassingBar);
        QCOMPARE(colourAt(passing, passing.height() - 2), ScoreChart::PassingBar);
        QCOMPARE(colourAt(failing, 1), ScoreChart::FailingBar);
        QCOMPARE(colourAt(failing, failing.height() - 2), ScoreChart::FailingBar);
        QCOMPARE(colourAt(split, 1), ScoreChart::FailingBar);
        QCOMPARE(colourAt(split, split.height() - 2), ScoreChart::PassingBar);
        // Bars stand in their bins, left of and right of the line.
        QVERIFY(failing.left() > chart.thresholdX());
        QVERIFY(passing.right() < chart.thresholdX());
    }

    void countLabelsNeverOverlapNorLeaveTheChart() {
        // Some 5,000 scores over the bins, at the size the window gives the chart.
        const QList<QList<int>> cases{
            QList<int>(20, 250),
            {4210, 310, 120, 99, 88, 70, 31, 20, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 1, 6},
            {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 999, 4000},
        };
        for (const QList<int>& perBin : cases) {
            ScoreChart chart;
            chart.resize(250, 146);
            chart.setScores(binnedScores(perBin), 20);
            const std::vector<int> labelled = chart.labelledBins();
            const auto tallest =
                static_cast<int>(std::max_element(perBin.begin(), perBin.end()) - perBin.begin());
            QVERIFY(std::find(labelled.begin(), labelled.end(), tallest) != labelled.end());
            for (int bin = 0; bin < ScoreHistogram::BinCount; ++bin) {
                const QRect label = chart.countLabelRect(bin);
                if (perBin[bin] == 0) {
                    QVERIFY(label.isEmpty());
                    continue;
                }
                const bool shown =
                    std::find(labelled.begin(), labelled.end(), bin) != labelled.end();
                bool touches = false;
                for (int other : labelled) {
                    if (other != bin)
                        touches |=
                            chart.countLabelRect(other).intersects(label.adjusted(-3, 0, 3, 0));
                }
                // Shown labels stand apart, inside the frame, below the caption;
                // a label is only left out where it would touch a shown one.
                QCOMPARE(touches, !shown);
                if (shown) {
                    QVERIFY(chart.rect().contains(label));
                }
            }
        }
    }

    void neighbouringCountsClimbInsteadOfHiding() {
        // Twenty thousand texts in five neighbouring bins: every count is
        // written, so the written counts add up to the whole batch.
        const QList<int> perBin{19603, 210, 118, 62, 7};
        ScoreChart chart;
        chart.resize(250, 146);
        chart.setScores(binnedScores(perBin), 20);
        QCOMPARE(chart.labelledBins(), (std::vector<int>{0, 1, 2, 3, 4}));
        const QRect caption = chart.titleRect();
        for (int bin = 0; bin < perBin.size(); ++bin) {
            const QRect label = chart.countLabelRect(bin);
            QVERIFY(chart.rect().contains(label));
            QVERIFY2(!label.intersects(caption), qPrintable(QString::number(bin)));
            // Over its own bar, never below its top.
            QVERIFY(label.bottom() < chart.barRect(bin).top());
        }
    }

    void emptyChartPaintsNoLine() {
        ScoreChart chart;
        chart.resize(260, 150);
        const QImage image = paint(chart);
        QVERIFY(!columnHas(image, chart.plotRect(), chart.thresholdX(), ScoreChart::ThresholdLine));
        for (int bin = 0; bin < ScoreHistogram::BinCount; ++bin)
            QVERIFY(chart.barRect(bin).isEmpty());
    }
};

QTEST_MAIN(ScoreChartTest)
#include "ScoreChart_test.moc"
