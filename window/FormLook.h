// The window's look as it was drawn: its colours and sizes, and the makers
// of its labels, panels, bars and flat buttons. Shared by the parts of the
// window that build its pages and fit them to its size.
#pragma once

#include <QColor>
#include <QFont>
#include <QMargins>
#include <QPalette>
#include <QPoint>
#include <QRect>
#include <QString>

class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;
class QWidget;

namespace quillmark::formlook {

inline const QColor LightOrange(255, 191, 128);
inline const QColor Maroon(128, 0, 0);
inline const QColor Navy(0, 0, 128);
inline const QColor Red(255, 0, 0);

inline constexpr int ClientWidth = 681;
inline constexpr int ClientHeight = 586;
inline constexpr int HeaderHeight = 89;
inline constexpr int BottomHeight = 35;
// The row of the template and of common text, between the output path and
// the shingle length.
inline constexpr int TemplateRowHeight = 40;
inline constexpr int TemplateCaptionTop = 98;
// The row of the team archive, below the template's.
inline constexpr int ArchiveRowHeight = 40;
inline constexpr int ArchiveCaptionTop = TemplateCaptionTop + TemplateRowHeight;
inline constexpr int SettingsPanelHeight = 169 + TemplateRowHeight + ArchiveRowHeight;
inline constexpr int PageHeight = ClientHeight - HeaderHeight - BottomHeight;
inline constexpr int Margin = 16;
// Where the window was drawn to open (the corner of its frame).
inline constexpr QPoint DesignPosition(204, 156);
// A short screen takes the empty bottom band first, then part of the
// header (whose link then joins the line above it), then the room between
// the result line and the buttons down to two lines, then puts the progress
// captions beside their bars; below that the window scrolls.
inline constexpr int MinimumHeaderHeight = 56;
inline constexpr int CompactHeaderHeight = 74;
// The settings page: the progress counters on the right of their bars, the
// action buttons 45 pixels above the page's bottom.
inline constexpr int CounterWidth = 109;
inline constexpr int CounterPixels = 19;
inline constexpr int ResultPixels = 19;
inline constexpr int ButtonsFromBottom = 45;
// The progress rows, a caption over each bar; on a page too short for them,
// each caption beside its bar, and the result line higher by what that saves.
inline constexpr int ProgressStep = 38;
inline constexpr int ResultLineTop = 116;
inline constexpr int CompactProgressStep = 24;
inline constexpr int CompactResultLineTop = 76;
// What a window manager adds around a window, assumed until it says.
inline constexpr QMargins AssumedFrame(4, 30, 4, 4);

// The result page: the table across the top; below it the families of
// copies (when there are any) and the log on the left and the score chart on
// the right, reaching down beside bBack.
inline constexpr int ResultTop = 46;
inline constexpr int ResultTableHeight = 176;
inline constexpr int ResultGap = 6;
inline constexpr int LogBottom = 408;
inline constexpr int ChartWidth = 250;
inline constexpr int ChartBottom = 454;
// The most lines the families list shows before it scrolls.
inline constexpr int FamilyRows = 3;

// Flat buttons read as links: no frame until the pointer is over them.
inline constexpr const char* FlatButtonStyle =
    "QPushButton { border: 1px solid transparent; border-radius: 3px;"
    " padding: 2px 10px; color: #000080; background: transparent; }"
    "QPushButton:hover { border-color: #ffbf80; color: #c00000; }"
    "QPushButton:pressed { background: #ffe3c6; }"
    "QPushButton:disabled { color: #a0a0a0; }";

template <typename T> T* named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

void setPixelSize(QWidget* widget, int pixels, QFont::Weight weight = QFont::Normal);

void setColor(QWidget* widget, QPalette::ColorRole role, const QColor& color);

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, int x, int y,
                  int pixels = 0);

QPushButton* makeFlatButton(QWidget* parent, const char* name, const QString& text,
                            const QRect& geometry, int pixels);

QFrame* makePanel(QWidget* parent, const char* name, const QRect& geometry);

QProgressBar* makeBar(QWidget* parent, const char* name, const QRect& geometry);

// A thin grey line across a band, marking its edge.
QFrame* addRule(QWidget* band, int y);

// The largest pixel size up to `largest` at which the label's text fits its width.
void fitText(QLabel* label, int largest);

// The largest pixel size up to `largest` at which the label's text, wrapped
// at its width, fits its height.
void fitWrappedText(QLabel* label, int largest);

} // namespace quillmark::formlook
