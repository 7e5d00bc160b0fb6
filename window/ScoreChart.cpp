#include "ScoreChart.h"

#include <QEvent>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

namespace quillmark {

namespace {

constexpr int SidePadding = 12;
constexpr int TitleInset = 6;
/// The least room between two count labels.
constexpr int LabelGap = 3;
constexpr int TopPadding = 4;
constexpr int MaximumScore = 100;

const QColor Frame(0xc8, 0xc8, 0xc8);
const QColor Axis(0x60, 0x60, 0x60);
const QColor Text(0x20, 0x20, 0x20);

} // namespace

const QColor ScoreChart::PassingBar(86, 128, 196);
const QColor ScoreChart::FailingBar(214, 62, 48);
const QColor ScoreChart::ThresholdLine(0, 0, 0);

ScoreChart::ScoreChart(QWidget* parent)
    : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ScoreChart::setScores(const DocumentTable& documents, int percent) {
    m_histogram = ScoreHistogram::of(documents);
    m_failing.fill(0);
    const auto compared = std::min(static_cast<std::size_t>(std::max(documents.comparedCount, 0)),
                                   documents.scores.size());
    for (auto i = static_cast<std::size_t>(std::max(documents.referenceCount, 0)); i < compared;
         ++i) {
        const int score = documents.scores[i];
        if (score > percent)
            ++m_failing[static_cast<std::size_t>(ScoreHistogram::binOf(score))];
    }
    m_percent = percent;
    update();
}

void ScoreChart::clear() {
    m_histogram = ScoreHistogram();
    m_failing.fill(0);
    update();
}

int ScoreChart::failingCount(int bin) const {
    return m_failing.at(static_cast<std::size_t>(bin));
}

int ScoreChart::passedCount() const {
    int failing = 0;
    for (int count : m_failing)
        failing += count;
    return m_histogram.total - failing;
}

QRect ScoreChart::titleRect() const {
    const int width = this->width() - 2 * TitleInset;
    // A caption too long for one line wraps rather than being cut.
    const QRect needed = fontMetrics().boundingRect(QRect(0, 0, std::max(width, 1), 1000),
                                                    Qt::TextWordWrap, title());
    return QRect(TitleInset, TopPadding, width, needed.height());
}

int ScoreChart::titleHeight() const {
    return titleRect().height() + 2;
}

int ScoreChart::countHeight() const {
    return fontMetrics().height();
}

int ScoreChart::axisHeight() const {
    return fontMetrics().height() + 6;
}

QRect ScoreChart::plotRect() const {
    const int top = TopPadding + titleHeight() + countHeight();
    const int bottom = height() - axisHeight();
    return QRect(QPoint(SidePadding, top), QPoint(width() - 1 - SidePadding, bottom - 1));
}

int ScoreChart::xOfScore(double score) const {
    const QRect plot = plotRect();
    return plot.left() + qRound(score * (plot.width() - 1) / MaximumScore);
}

int ScoreChart::thresholdX() const {
    return xOfScore(m_percent);
}

QRect ScoreChart::barRect(int bin) const {
    const int count = m_histogram.bins.at(static_cast<std::size_t>(bin));
    if (count == 0)
        return {};
    const QRect plot = plotRect();
    const int largest = std::max(m_histogram.largestBin(), 1);
    const int left = xOfScore(ScoreHistogram::lowestScore(bin)) + 1;
    const int right = xOfScore(ScoreHistogram::lowestScore(bin + 1)) - 1;
    // A bin of one score still shows.
    const int height = std::max(2, plot.height() * count / largest);
    return QRect(QPoint(left, plot.bottom() - height + 1), QPoint(right, plot.bottom()));
}

int ScoreChart::binAt(const QPoint& point) const {
    const QRect plot = plotRect();
    if (plot.width() <= 0)
        return -1; // too narrow to hold a plot
    if (point.x() < plot.left() || point.x() > plot.right() || point.y() > plot.bottom() + 2 ||
        point.y() < plot.top() - countHeight())
        return -1;
    const int bin = (point.x() - plot.left()) * ScoreHistogram::BinCount / plot.width();
    return std::clamp(bin, 0, ScoreHistogram::BinCount - 1);
}

QRect ScoreChart::baseLabelRect(int bin) const {
    const QRect bar = barRect(bin);
    if (bar.isEmpty())
        return {};
    const int labelWidth = fontMetrics().horizontalAdvance(
        QString::number(m_histogram.bins[static_cast<std::size_t>(bin)]));
    // Centred over its bar, but kept inside the frame.
    const int left =
        std::clamp(bar.center().x() - labelWidth / 2 + 1, 2, std::max(2, width() - 2 - labelWidth));
    return QRect(left, bar.top() - countHeight(), labelWidth, countHeight());
}

std::array<QRect, ScoreHistogram::BinCount> ScoreChart::placedLabels() const {
    std::vector<int> bins;
    for (int bin = 0; bin < ScoreHistogram::BinCount; ++bin)
        if (m_histogram.bins[static_cast<std::size_t>(bin)] > 0)
            bins.push_back(bin);
    // The tallest bars choose first. A label that would touch one already
    // placed climbs above its bar, no higher than the tallest bar's label;
    // one that finds no room is left to the tool tip.
    std::stable_sort(bins.begin(), bins.end(), [this](int a, int b) {
        return m_histogram.bins[static_cast<std::size_t>(a)] >
               m_histogram.bins[static_cast<std::size_t>(b)];
    });
    const int highest = plotRect().top() - countHeight();
    std::array<QRect, ScoreHistogram::BinCount> placed{};
    std::vector<QRect> taken;
    for (int bin : bins) {
        for (QRect label = baseLabelRect(bin); label.top() >= highest;
             label.translate(0, -countHeight())) {
            const QRect room = label.adjusted(-LabelGap, 0, LabelGap, 0);
            if (std::any_of(taken.begin(), taken.end(),
                            [&room](const QRect& other) { return other.intersects(room); }))
                continue;
            taken.push_back(label);
            placed[static_cast<std::size_t>(bin)] = label;
            break;
        }
    }
    return placed;
}

QRect ScoreChart::countLabelRect(int bin) const {
    const QRect placed = placedLabels()[static_cast<std::size_t>(bin)];
    return placed.isEmpty() ? baseLabelRect(bin) : placed;
}

std::vector<int> ScoreChart::labelledBins() const {
    const auto placed = placedLabels();
    std::vector<int> bins;
    for (int bin = 0; bin < ScoreHistogram::BinCount; ++bin)
        if (!placed[static_cast<std::size_t>(bin)].isEmpty())
            bins.push_back(bin);
    return bins;
}

QString ScoreChart::title() const {
    if (m_histogram.total == 0)
        return tr("Сходство: сравнённых текстов нет");
    return tr("Прошло %1 из %2 при пороге %3%")
        .arg(passedCount())
        .arg(m_histogram.total)
        .arg(m_percent);
}

QSize ScoreChart::sizeHint() const {
    return QSize(260, 140);
}

void ScoreChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    painter.setPen(Frame);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));

    const QFontMetrics metrics = fontMetrics();
    const QRect plot = plotRect();
    painter.setPen(Text);
    painter.drawText(titleRect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, title());

    for (int bin = 0; bin < ScoreHistogram::BinCount; ++bin) {
        const QRect bar = barRect(bin);
        if (bar.isEmpty())
            continue;
        const int count = m_histogram.bins[static_cast<std::size_t>(bin)];
        const int failing = m_failing[static_cast<std::size_t>(bin)];
        // In a bin the threshold cuts, the failing scores stand on the passing ones.
        const int failingHeight = bar.height() * failing / count;
        painter.fillRect(bar.adjusted(0, failingHeight, 0, 0), PassingBar);
        painter.fillRect(QRect(bar.left(), bar.top(), bar.width(), failingHeight), FailingBar);
    }
    painter.setPen(Text);
    const auto labels = placedLabels();
    for (int bin = 0; bin < ScoreHistogram::BinCount; ++bin)
        if (!labels[static_cast<std::size_t>(bin)].isEmpty())
            painter.drawText(labels[static_cast<std::size_t>(bin)],
                             Qt::AlignHCenter | Qt::AlignBottom,
                             QString::number(m_histogram.bins[static_cast<std::size_t>(bin)]));

    painter.setPen(Axis);
    painter.drawLine(plot.left(), plot.bottom() + 1, plot.right(), plot.bottom() + 1);
    for (int score : {0, 50, 100}) {
        const int x = xOfScore(score);
        painter.drawLine(x, plot.bottom() + 1, x, plot.bottom() + 4);
        const QString label = QString::number(score) + QLatin1Char('%');
        const int labelWidth = metrics.horizontalAdvance(label);
        // Centred under its tick, but kept inside the frame.
        const int left = std::clamp(x - labelWidth / 2, 2, width() - 2 - labelWidth);
        painter.drawText(QRect(left, plot.bottom() + 4, labelWidth, axisHeight() - 4),
                         Qt::AlignLeft | Qt::AlignTop, label);
    }

    if (m_histogram.total == 0)
        return;
    // Over the bars: the line must show even where a bar stands.
    painter.setPen(QPen(ThresholdLine, 2, Qt::DashLine, Qt::FlatCap));
    const int x = thresholdX();
    painter.drawLine(x, plot.top() - countHeight() / 2, x, plot.bottom() + 4);
}

bool ScoreChart::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    auto* help = static_cast<QHelpEvent*>(event);
    const int bin = binAt(help->pos());
    if (bin < 0 || m_histogram.total == 0) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    const int low = ScoreHistogram::lowestScore(bin);
    const int high = ScoreHistogram::highestScore(bin);
    QString text = tr("Сходство %1–%2%: текстов %3")
                       .arg(low)
                       .arg(high)
                       .arg(m_histogram.bins[static_cast<std::size_t>(bin)]);
    if (m_failing[static_cast<std::size_t>(bin)] > 0)
        text += tr(", не прошло %1").arg(m_failing[static_cast<std::size_t>(bin)]);
    QToolTip::showText(help->globalPos(), text, this);
    return true;
}

} // namespace quillmark
