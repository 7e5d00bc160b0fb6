#include "FormLook.h"

#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace quillmark::formlook {

void setPixelSize(QWidget* widget, int pixels, QFont::Weight weight) {
    QFont font = widget->font();
    font.setPixelSize(pixels);
    font.setWeight(weight);
    widget->setFont(font);
}

void setColor(QWidget* widget, QPalette::ColorRole role, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(role, color);
    widget->setPalette(palette);
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, int x, int y,
                  int pixels) {
    auto* label = named(new QLabel(text, parent), name);
    if (pixels > 0)
        setPixelSize(label, pixels);
    label->move(x, y);
    label->adjustSize();
    return label;
}

QPushButton* makeFlatButton(QWidget* parent, const char* name, const QString& text,
                            const QRect& geometry, int pixels) {
    auto* button = named(new QPushButton(text, parent), name);
    button->setFlat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(QString::fromLatin1(FlatButtonStyle));
    if (pixels > 0)
        setPixelSize(button, pixels);
    button->setGeometry(geometry);
    return button;
}

QFrame* makePanel(QWidget* parent, const char* name, const QRect& geometry) {
    auto* panel = named(new QFrame(parent), name);
    panel->setGeometry(geometry);
    return panel;
}

QProgressBar* makeBar(QWidget* parent, const char* name, const QRect& geometry) {
    auto* bar = named(new QProgressBar(parent), name);
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    bar->setGeometry(geometry);
    return bar;
}

// A thin grey line across a band, marking its edge.
QFrame* addRule(QWidget* band, int y) {
    auto* line = new QFrame(band);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setGeometry(0, y, band->width(), 1);
    setColor(line, QPalette::WindowText, QColor(0xe0, 0xe0, 0xe0));
    return line;
}

// The largest pixel size up to `largest` at which the label's text fits its width.
void fitText(QLabel* label, int largest) {
    QFont font = label->font();
    font.setPixelSize(largest);
    while (font.pixelSize() > 9 &&
           QFontMetrics(font).horizontalAdvance(label->text()) > label->width())
        font.setPixelSize(font.pixelSize() - 1);
    label->setFont(font);
}

void fitWrappedText(QLabel* label, int largest) {
    QFont font = label->font();
    font.setPixelSize(largest);
    const auto fits = [label](const QFont& tried) {
        const QRect room(0, 0, label->width(), 1 << 20);
        return QFontMetrics(tried).boundingRect(room, Qt::TextWordWrap, label->text()).height() <=
               label->height();
    };
    while (font.pixelSize() > 9 && !fits(font))
        font.setPixelSize(font.pixelSize() - 1);
    label->setFont(font);
}

} // namespace quillmark::formlook
