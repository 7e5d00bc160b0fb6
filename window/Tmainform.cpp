#include "Tmainform.h"

#include "ComparisonDialog.h"
#include "LayoutTwins.h"
#include "ResultTableModel.h"
#include "ScoreChart.h"
#include "SortHeaderView.h"
#include "WindowPlacement.h"
#include "engine/DocumentPair.h"
#include "engine/InstallLayout.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QSlider>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <new>
#include <utility>

using namespace quillmark;

namespace {

const QColor LightOrange(255, 191, 128);
const QColor Maroon(128, 0, 0);
const QColor Navy(0, 0, 128);
const QColor Red(255, 0, 0);

constexpr int ClientWidth = 681;
constexpr int ClientHeight = 506;
constexpr int HeaderHeight = 89;
constexpr int BottomHeight = 35;
constexpr int SettingsPanelHeight = 169;
constexpr int PageHeight = ClientHeight - HeaderHeight - BottomHeight;
constexpr int Margin = 16;
// Where the window was drawn to open (the corner of its frame).
constexpr QPoint DesignPosition(204, 156);
// A short screen takes the empty bottom band first, then part of the
// header (whose link then joins the line above it), then the room between
// the result line and the buttons down to two lines; below that the window
// scrolls.
constexpr int MinimumHeaderHeight = 56;
constexpr int CompactHeaderHeight = 74;
// The settings page: the progress counters on the right of their bars, the
// action buttons 45 pixels above the page's bottom.
constexpr int CounterWidth = 109;
constexpr int CounterPixels = 19;
constexpr int ButtonsFromBottom = 45;
// What a window manager adds around a window, assumed until it says.
constexpr QMargins AssumedFrame(4, 30, 4, 4);

// The result page: the table across the top; below it the log on the left
// and the score chart on the right, reaching down beside bBack.
constexpr int ResultTop = 46;
constexpr int ResultTableHeight = 176;
constexpr int ResultGap = 6;
constexpr int LogBottom = 328;
constexpr int ChartWidth = 250;
constexpr int ChartBottom = 374;

// Flat buttons read as links: no frame until the pointer is over them.
const char* const FlatButtonStyle =
    "QPushButton { border: 1px solid transparent; border-radius: 3px;"
    " padding: 2px 10px; color: #000080; background: transparent; }"
    "QPushButton:hover { border-color: #ffbf80; color: #c00000; }"
    "QPushButton:pressed { background: #ffe3c6; }"
    "QPushButton:disabled { color: #a0a0a0; }";

void setPixelSize(QWidget* widget, int pixels, QFont::Weight weight = QFont::Normal) {
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

template <typename T> T* named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, int x, int y,
                  int pixels = 0) {
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

// The output directory "Выбрать" proposes for a source directory.
QString defaultOutputFor(const QString& source) {
    QString path = QDir::cleanPath(source.trimmed());
    if (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path + QStringLiteral("/Result/");
}

// The installed README as HTML; else, for a build folder inside the project,
// the first README.md found in the program directory or above it; else
// nothing, and the link is hidden.
QUrl findHomePage(const QString& programDirectory) {
    const QString installed = quillmark::InstallLayout::readmeHtml(programDirectory);
    if (QFileInfo(installed).isFile())
        return QUrl::fromLocalFile(installed);
    QDir dir(programDirectory);
    for (;;) {
        const QString candidate = dir.filePath(QString::fromLatin1(Tmainform::HomePageAddress));
        if (QFileInfo(candidate).isFile())
            return QUrl::fromLocalFile(candidate);
        if (!dir.cdUp())
            break;
    }
    return {};
}

} // namespace

Tmainform::Tmainform(const QString& programDirectory, QWidget* parent)
    : QWidget(parent)
    , m_programDirectory(programDirectory)
    , m_homePageUrl(findHomePage(programDirectory))
    , m_profile(quillmark::SettingsProfile::forProgram(programDirectory))
    , m_engine(*this) {
    setObjectName(QStringLiteral("mainform"));
    setWindowTitle(QStringLiteral("Quillmark v.1.1"));

    QFont base = QApplication::font();
    base.setPixelSize(11);
    setFont(base);
    setAutoFillBackground(true);
    setColor(this, QPalette::Window, Qt::white);

    // The bands lie on one sheet that follows the window's size down to
    // what they need, and scrolls below that.
    m_scroll = named(new QScrollArea(this), "scroll");
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    // Only the controls take the keyboard: a page switch leaves the focus
    // where the stack of pages keeps it.
    m_scroll->setFocusPolicy(Qt::NoFocus);
    m_content = named(new QWidget, "content");
    m_content->resize(ClientWidth, ClientHeight);
    m_scroll->setWidget(m_content);
    setColor(m_scroll->viewport(), QPalette::Window, Qt::white);

    buildHeader();
    Pages = named(new QStackedWidget(m_content), "Pages");
    Pages->setGeometry(0, HeaderHeight, ClientWidth, PageHeight);
    buildSettingsPage();
    buildFolderPage();
    buildResultPage();
    m_content->setMinimumSize(ClientWidth, MinimumHeaderHeight + minimumPageHeight());
    Panel2 = makePanel(m_content, "Panel2",
                       QRect(0, ClientHeight - BottomHeight, ClientWidth, BottomHeight));
    m_bottomRule = addRule(Panel2, 0);
    auto* sheet = new QVBoxLayout(this);
    sheet->setContentsMargins(0, 0, 0, 0);
    sheet->addWidget(m_scroll);
    m_content->installEventFilter(this);
    layoutContent();
    addShortcuts();
    placeOnScreen(AssumedFrame);

    connect(ePercent, &QSlider::valueChanged, this, &Tmainform::ePercentChange);
    connect(bSetSrcDir, &QPushButton::clicked, this, &Tmainform::bSetSrcDirClick);
    connect(SpeedButton1, &QPushButton::clicked, this, &Tmainform::SpeedButton1Click);
    connect(SpeedButton2, &QPushButton::clicked, this, &Tmainform::SpeedButton2Click);
    connect(bBack, &QPushButton::clicked, this, &Tmainform::bBackClick);
    connect(bResults, &QPushButton::clicked, this, &Tmainform::bResultsClick);
    connect(bGo, &QPushButton::clicked, this, &Tmainform::bGoClick);
    connect(bSelect, &QPushButton::clicked, this, &Tmainform::bSelectClick);
    sHomePage->installEventFilter(this);

    FormCreate();
}

Tmainform::~Tmainform() {
    qApp->removeEventFilter(this);
    FormDestroy();
}

QString Tmainform::defaultProgramDirectory() {
    return QCoreApplication::applicationDirPath() + QLatin1Char('/');
}

void Tmainform::buildHeader() {
    Panel1 = makePanel(m_content, "Panel1", QRect(0, 0, ClientWidth, HeaderHeight));
    Label7 = makeLabel(Panel1, "Label7", QStringLiteral("Quillmark"), Margin, 10, 24);
    Label8 = makeLabel(Panel1, "Label8",
                       tr("Программа для пакетной проверки текстов на сходство методом шинглов"),
                       Margin, 44);
    Label9 = makeLabel(Panel1, "Label9", tr("Сайт автора:"), Margin, 64);
    sHomePage = makeLabel(Panel1, "sHomePage", QFileInfo(m_homePageUrl.toLocalFile()).fileName(),
                          Label9->geometry().right() + 5, 64);
    QFont link = sHomePage->font();
    link.setUnderline(true);
    sHomePage->setFont(link);
    sHomePage->adjustSize();
    sHomePage->setCursor(Qt::PointingHandCursor);
    sHomePage->setToolTip(m_homePageUrl.toLocalFile());
    setColor(sHomePage, QPalette::WindowText, Navy);
    // A link that leads nowhere is not shown at all.
    Label9->setVisible(!m_homePageUrl.isEmpty());
    sHomePage->setVisible(!m_homePageUrl.isEmpty());

    m_headerRule = addRule(Panel1, HeaderHeight - 1);
}

void Tmainform::buildSettingsPage() {
    TabSheet1 = named(new QWidget(Pages), "TabSheet1");
    Pages->addWidget(TabSheet1);

    Panel4 = makePanel(TabSheet1, "Panel4", QRect(0, 0, ClientWidth, SettingsPanelHeight));
    Label1 = makeLabel(Panel4, "Label1", tr("Путь к каталогу с текстами для сравнения"), Margin, 8);
    eDirSrc = named(new QLineEdit(Panel4), "eDirSrc");
    eDirSrc->setGeometry(Margin, 24, 530, 22);
    bSetSrcDir = makeFlatButton(Panel4, "bSetSrcDir", tr("&Выбрать.."), QRect(554, 21, 112, 28), 0);
    // The window's own size, only bold.
    setPixelSize(bSetSrcDir, 11, QFont::Bold);
    Label2 = makeLabel(Panel4, "Label2",
                       tr("Путь к каталогу с текстами, успешно прошедшими сравнение"), Margin, 54);
    eDirOut = named(new QLineEdit(Panel4), "eDirOut");
    eDirOut->setGeometry(Margin, 70, 530, 22);
    eAgainstOutput =
        named(new QCheckBox(tr("Сравнивать с уже принятыми"), Panel4), "eAgainstOutput");
    eAgainstOutput->setChecked(false);
    eAgainstOutput->adjustSize();
    // Right above the output path it is about, clear of that path's caption.
    eAgainstOutput->move(std::max(eDirOut->geometry().right() + 1 - eAgainstOutput->width(),
                                  Label2->geometry().right() + 12),
                         51);

    eShingleLen = named(new QSpinBox(Panel4), "eShingleLen");
    eShingleLen->setRange(1, 100);
    eShingleLen->setSingleStep(1);
    eShingleLen->setValue(10);
    eShingleLen->setGeometry(Margin, 104, 56, 24);
    Label4 = makeLabel(Panel4, "Label4", tr("Длина шингла"), 80, 103);
    Label6 = makeLabel(Panel4, "Label6", tr("(10 - стандарт, 5 - жестко)"), 80, 118);

    eLemma = named(new QCheckBox(tr("Лемматизировать* слова"), Panel4), "eLemma");
    eLemma->setChecked(true);
    eLemma->move(250, 101);
    eLemma->adjustSize();
    eCutHTML = named(new QCheckBox(tr("Отбрасывать HTML"), Panel4), "eCutHTML");
    eCutHTML->setChecked(false);
    eCutHTML->move(250, 121);
    eCutHTML->adjustSize();

    eDelFiles = named(new QCheckBox(tr("Переместить прошедшие"), Panel4), "eDelFiles");
    eDelFiles->setChecked(true);
    eDelFiles->move(456, 101);
    eDelFiles->adjustSize();
    // The second line of the check box's caption starts under its text.
    const int indent = style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, eDelFiles) +
                       style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, eDelFiles);
    Label5 = makeLabel(Panel4, "Label5", tr("проверку тексты "), eDelFiles->x() + indent,
                       eDelFiles->geometry().bottom() - 3);

    Label3 = makeLabel(Panel4, "Label3", tr("Допустимый процент совпадений"), Margin, 142);
    ePercent = named(new QSlider(Qt::Horizontal, Panel4), "ePercent");
    ePercent->setRange(0, 100);
    ePercent->setSingleStep(1);
    ePercent->setPageStep(2);
    ePercent->setTickInterval(1);
    ePercent->setTickPosition(QSlider::TicksBelow);
    ePercent->setValue(20);
    ePercent->setGeometry(Label3->geometry().right() + 12, 134, 380, 30);
    sPercent = makeLabel(Panel4, "sPercent", QStringLiteral("0%"),
                         ePercent->geometry().right() + 10, 136, 21);
    // Room for "100%" up to the panel's edge.
    sPercent->resize(ClientWidth - sPercent->x(), sPercent->height());

    Panel3 =
        makePanel(TabSheet1, "Panel3",
                  QRect(0, SettingsPanelHeight, ClientWidth, PageHeight - SettingsPanelHeight));
    auto progressRow = [this](const char* labelName, const QString& caption, const char* barName,
                              const char* counterName, int y, QLabel*& label, QProgressBar*& bar,
                              QLabel*& counter) {
        label = makeLabel(Panel3, labelName, caption, Margin, y);
        label->resize(540, label->height());
        bar = makeBar(Panel3, barName, QRect(Margin, y + 16, 540, 16));
        counter = makeLabel(Panel3, counterName, QString(), 568, y + 10, 19);
        counter->resize(ClientWidth - 568 - 4, 24);
    };
    progressRow("Label11", tr("Загрузка и подготовка текстов к анализу"), "Status1", "sStat1", 6,
                Label11, Status1, sStat1);
    progressRow("sProgress", tr("Сравнение текстов"), "Status2", "sStat2", 44, sProgress, Status2,
                sStat2);
    progressRow("sProgress1", tr("Сохранение выборки по заданному фильтру"), "Status3", "sStat3",
                82, sProgress1, Status3, sStat3);

    // Two lines: the result line grows with the counts it names.
    sRes = makeLabel(Panel3, "sRes", QString(), Margin, 116, 19);
    sRes->setWordWrap(true);
    sRes->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    sRes->resize(ClientWidth - 2 * Margin, 50);
    setColor(sRes, QPalette::WindowText, Maroon);

    bSelect = makeFlatButton(Panel3, "bSelect", tr("&Новая выборка"),
                             QRect(Margin - 10, 168, 240, 40), 24);
    bSelect->setToolTip(
        tr("Выполнить выборку из проанализированного пакета текстов с заданным фильтром"));
    bSelect->setEnabled(false);
    bGo = makeFlatButton(Panel3, "bGo", tr("&Сравнить"),
                         QRect(ClientWidth - Margin - 220 + 10, 168, 220, 40), 24);
    // Between the two: the page with the table of the last run.
    bResults = makeFlatButton(Panel3, "bResults", tr("&Результат"),
                              QRect(bSelect->geometry().right() + 8, 168,
                                    bGo->x() - bSelect->geometry().right() - 16, 40),
                              24);
    bResults->setToolTip(tr("Таблица проверенных текстов, распределение сходства и "
                            "журнал последнего сравнения"));

    for (QLineEdit* edit : {eDirSrc, eDirOut})
        setColor(edit, QPalette::Base, LightOrange);
    setColor(eShingleLen, QPalette::Base, LightOrange);
    addSettingsHints();
}

void Tmainform::addSettingsHints() {
    eDirSrc->setToolTip(tr("Каталог, тексты которого сравниваются друг с другом"));
    eDirOut->setToolTip(tr("Сюда переносятся тексты, прошедшие проверку; каталог "
                           "создаётся, если его нет"));
    eAgainstOutput->setToolTip(tr("Сравнивать тексты и с теми, что уже лежат в каталоге "
                                  "прошедших проверку"));
    const QString shingle =
        tr("Сколько слов подряд составляют шингл: чем короче шингл, тем строже проверка");
    for (QWidget* control : {static_cast<QWidget*>(eShingleLen), static_cast<QWidget*>(Label4),
                             static_cast<QWidget*>(Label6)})
        control->setToolTip(shingle);
    eLemma->setToolTip(tr("* Слова сравниваются по началу, чтобы формы одного слова совпадали: "
                          "от слова из 7 букв и длиннее остаются 6 первых, из 4–6 букв — 3, "
                          "из 3 букв — 2"));
    eCutHTML->setToolTip(tr("Из веб-страниц сравнивается только их текст: разметка, скрипты "
                            "и стили отбрасываются"));
    const QString move = tr("Включено — прошедшие тексты перемещаются, выключено — копируются, "
                            "и исходные остаются на месте");
    eDelFiles->setToolTip(move);
    Label5->setToolTip(move);
    const QString percent = tr("Текст проходит проверку, если его сходство с каждым более "
                               "ранним текстом не больше этого процента");
    for (QWidget* control : {static_cast<QWidget*>(ePercent), static_cast<QWidget*>(Label3),
                             static_cast<QWidget*>(sPercent)})
        control->setToolTip(percent);
}

void Tmainform::buildFolderPage() {
    TabSheet3 = named(new QWidget(Pages), "TabSheet3");
    Pages->addWidget(TabSheet3);
    Label21 = makeLabel(TabSheet3, "Label21", tr("Выберите каталог"), Margin, 8, 24);

    m_folderIcons = std::make_unique<QFileIconProvider>();
    m_dirModel = std::make_unique<QFileSystemModel>();
    DirModel = named(m_dirModel.get(), "DirModel");
    DirModel->setIconProvider(m_folderIcons.get());
    // Folders made or removed while the program runs show up in the tree.
    DirModel->setOptions(QFileSystemModel::DontUseCustomDirectoryIcons);
    // Dot-folders are left out of the tree; their path can still be typed.
    DirModel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    DirModel->setRootPath(QStringLiteral("/"));

    DirTree = named(new QTreeView(TabSheet3), "DirTree");
    DirTree->setModel(DirModel);
    for (int column = 1; column < DirModel->columnCount(); ++column)
        DirTree->hideColumn(column);
    DirTree->setHeaderHidden(true);
    DirTree->setRootIsDecorated(false);
    DirTree->setSelectionMode(QAbstractItemView::SingleSelection);
    DirTree->setContextMenuPolicy(Qt::CustomContextMenu);
    DirTree->setGeometry(Margin, 46, ClientWidth - 2 * Margin, 282);
    connect(DirTree, &QTreeView::customContextMenuRequested, this, [this](const QPoint& position) {
        const QModelIndex index = DirTree->indexAt(position);
        if (index.isValid())
            DirTree->setCurrentIndex(index);
    });

    eFolderPath = named(new QLineEdit(TabSheet3), "eFolderPath");
    const int pathLeft = Label21->geometry().right() + Margin;
    eFolderPath->setGeometry(pathLeft, 14, ClientWidth - Margin - pathLeft, 22);
    eFolderPath->setToolTip(tr("Путь к выбранному каталогу; его можно ввести и "
                               "вручную, в том числе путь к скрытому каталогу"));
    setColor(eFolderPath, QPalette::Base, LightOrange);
    connect(DirTree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &Tmainform::showTreeFolder);
    connect(DirTree->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &Tmainform::showTreeFolder);
    // Rows listed in the background move the chosen folder: it is brought
    // back into view once they have settled, until the user takes the tree.
    m_followFolder = new QTimer(this);
    m_followFolder->setSingleShot(true);
    m_followFolder->setInterval(30);
    connect(m_followFolder, &QTimer::timeout, this, &Tmainform::followFolder);
    const auto follow = [this] {
        if (!m_folderToShow.isEmpty())
            m_followFolder->start();
    };
    connect(DirModel, &QFileSystemModel::directoryLoaded, this, follow);
    connect(DirModel, &QFileSystemModel::rowsInserted, this, follow);
    connect(DirModel, &QFileSystemModel::layoutChanged, this, follow);
    m_dirTreeViewport = DirTree->viewport();
    DirTree->installEventFilter(this);
    m_dirTreeViewport->installEventFilter(this);
    connect(eFolderPath, &QLineEdit::textEdited, this, [this](const QString& typed) {
        // The tree follows a typed path as far as it shows it.
        m_typingFolder = true;
        selectFolder(typed);
        m_typingFolder = false;
    });

    SpeedButton2 = makeFlatButton(TabSheet3, "SpeedButton2", tr("Отмена"),
                                  QRect(Margin - 10, 334, 160, 40), 24);
    SpeedButton1 = makeFlatButton(TabSheet3, "SpeedButton1", tr("Выбрать"),
                                  QRect(ClientWidth - Margin - 160 + 10, 334, 160, 40), 24);
}

void Tmainform::buildResultPage() {
    TabSheet4 = named(new QWidget(Pages), "TabSheet4");
    Pages->addWidget(TabSheet4);
    Label22 = makeLabel(TabSheet4, "Label22", tr("Результат"), Margin, 8, 24);
    sResultsHint = makeLabel(TabSheet4, "sResultsHint",
                             tr("Двойной щелчок по строке — сравнить текст с похожим"), 0, 0);
    sResultsHint->setAlignment(Qt::AlignRight | Qt::AlignBottom);
    sResultsHint->setGeometry(Label22->geometry().right() + Margin, 8,
                              ClientWidth - Margin - Label22->geometry().right() - Margin,
                              Label22->height() - 4);
    setColor(sResultsHint, QPalette::WindowText, QColor(0x60, 0x60, 0x60));

    m_results = new ResultTableModel(this);
    m_sortedResults = new QSortFilterProxyModel(this);
    m_sortedResults->setSourceModel(m_results);
    m_sortedResults->setSortRole(ResultTableModel::SortRole);
    m_sortedResults->setSortCaseSensitivity(Qt::CaseInsensitive);
    m_sortedResults->setSortLocaleAware(true);

    gResults = named(new QTableView(TabSheet4), "gResults");
    gResults->setHorizontalHeader(new SortHeaderView(Qt::Horizontal, gResults));
    gResults->setModel(m_sortedResults);
    gResults->setGeometry(Margin, ResultTop, ClientWidth - 2 * Margin, ResultTableHeight);
    gResults->setSelectionBehavior(QAbstractItemView::SelectRows);
    gResults->setSelectionMode(QAbstractItemView::SingleSelection);
    gResults->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gResults->setWordWrap(false);
    gResults->setTextElideMode(Qt::ElideMiddle);
    gResults->setCornerButtonEnabled(false);
    gResults->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    gResults->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    gResults->verticalHeader()->hide();
    // Fixed row heights keep a long batch cheap to scroll.
    gResults->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    gResults->verticalHeader()->setDefaultSectionSize(gResults->fontMetrics().height() + 6);
    QHeaderView* header = gResults->horizontalHeader();
    header->setSectionsClickable(true);
    header->setHighlightSections(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setSectionResizeMode(ResultTableModel::NameColumn, QHeaderView::Stretch);
    header->setSectionResizeMode(ResultTableModel::MatchColumn, QHeaderView::Stretch);
    header->resizeSection(ResultTableModel::OrderColumn, 48);
    header->resizeSection(ResultTableModel::ScoreColumn, 88);
    header->resizeSection(ResultTableModel::VerdictColumn, 96);
    // Room for the longest origin the format column names.
    header->resizeSection(ResultTableModel::FormatColumn,
                          gResults->fontMetrics().horizontalAdvance(
                              QStringLiteral("HTML, Windows-1251")) +
                              12);
    gResults->setSortingEnabled(true);
    gResults->sortByColumn(ResultTableModel::OrderColumn, Qt::AscendingOrder);
    // After the view has sorted: a new order is read from its first row.
    connect(header, &QHeaderView::sortIndicatorChanged, gResults, &QTableView::scrollToTop);
    gResults->installEventFilter(this);
    connect(gResults, &QTableView::doubleClicked, this, &Tmainform::gResultsDblClick);

    const int lowerTop = ResultTop + ResultTableHeight + ResultGap;
    const int chartLeft = ClientWidth - Margin - ChartWidth;
    eLog = named(new QPlainTextEdit(TabSheet4), "eLog");
    eLog->setReadOnly(true);
    // Long lines (a path in a failure) wrap: the log scrolls only vertically.
    eLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    eLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    eLog->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    eLog->setGeometry(Margin, lowerTop, chartLeft - ResultGap - 2 - Margin, LogBottom - lowerTop);
    setColor(eLog, QPalette::Base, LightOrange);

    cScores = named(new ScoreChart(TabSheet4), "cScores");
    cScores->setGeometry(chartLeft, lowerTop, ChartWidth, ChartBottom - lowerTop);

    bBack = makeFlatButton(TabSheet4, "bBack", tr("Назад"), QRect(Margin - 10, 334, 160, 40), 24);
}

void Tmainform::placeOnScreen(const QMargins& frame) {
    const QScreen* screen = this->screen();
    if (screen == nullptr) {
        resize(ClientWidth, ClientHeight);
        return;
    }
    const WindowPlacement placement = WindowPlacement::fit(
        screen->availableGeometry(), frame, QSize(ClientWidth, ClientHeight), DesignPosition);
    resize(placement.clientSize);
    move(placement.framePosition);
}

void Tmainform::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    // The frame the window manager gave is known once it has moved the
    // window into it: a window it pushed off the screen is placed again.
    if (m_placedInFrame || !isVisible())
        return;
    const QRect outer = frameGeometry();
    const QMargins frame(geometry().left() - outer.left(), geometry().top() - outer.top(),
                         outer.right() - geometry().right(), outer.bottom() - geometry().bottom());
    if (frame.isNull() || screen() == nullptr)
        return;
    m_placedInFrame = true;
    if (!screen()->availableGeometry().contains(outer))
        placeOnScreen(frame);
}

void Tmainform::layoutContent() {
    const int width = m_content->width();
    const int height = m_content->height();
    int squeeze = std::max(0, ClientHeight - height);
    const int bottom = std::max(0, BottomHeight - squeeze);
    squeeze -= BottomHeight - bottom;
    const int header = std::max(MinimumHeaderHeight, HeaderHeight - squeeze);
    layoutHeader(width, header);
    const int page = height - header - bottom;
    Pages->setGeometry(0, header, width, page);
    Panel2->setGeometry(0, height - bottom, width, bottom);
    Panel2->setVisible(bottom > 0);
    m_bottomRule->resize(width, 1);
    layoutSettingsPage(width, page);
    layoutFolderPage(width, page);
    layoutResultPage(width, page);
}

int Tmainform::minimumPageHeight() const {
    // Two lines of the result line above the buttons.
    return SettingsPanelHeight + sRes->y() + 2 * sRes->fontMetrics().height() + 2 +
           ButtonsFromBottom;
}

void Tmainform::layoutHeader(int width, int height) {
    Panel1->setGeometry(0, 0, width, height);
    // A lower header keeps its lines in the same proportions.
    const auto at = [height](int designY) { return designY * height / HeaderHeight; };
    const bool compact = height < CompactHeaderHeight;
    Label7->move(Margin, compact ? 3 : at(10));
    Label8->move(Margin, compact ? 34 : at(44));
    const QPoint link = compact ? QPoint(Label8->geometry().right() + Margin, 34)
                                : QPoint(Margin, at(64));
    Label9->move(link);
    sHomePage->move(Label9->geometry().right() + 5, link.y());
    m_headerRule->setGeometry(0, height - 1, width, 1);
}

void Tmainform::layoutSettingsPage(int width, int page) {
    // Fields, bars and the slider take the width beyond the drawn one.
    const int wider = width - ClientWidth;
    Panel4->setGeometry(0, 0, width, SettingsPanelHeight);
    eDirSrc->resize(530 + wider, eDirSrc->height());
    bSetSrcDir->move(554 + wider, bSetSrcDir->y());
    eDirOut->resize(530 + wider, eDirOut->height());
    eAgainstOutput->move(std::max(eDirOut->geometry().right() + 1 - eAgainstOutput->width(),
                                  Label2->geometry().right() + 12),
                         eAgainstOutput->y());
    ePercent->resize(380 + wider, ePercent->height());
    sPercent->setGeometry(ePercent->geometry().right() + 10, sPercent->y(),
                          width - ePercent->geometry().right() - 10, sPercent->height());

    const int lower = page - SettingsPanelHeight;
    Panel3->setGeometry(0, SettingsPanelHeight, width, lower);
    for (const ProgressRow row : {ProgressRow::Loading, ProgressRow::Comparison,
                                  ProgressRow::Saving}) {
        caption(row)->resize(540 + wider, caption(row)->height());
        bar(row)->resize(540 + wider, bar(row)->height());
        counter(row)->setGeometry(width - CounterWidth - 4, counter(row)->y(), CounterWidth,
                                  counter(row)->height());
        fitText(counter(row), CounterPixels);
    }
    const int buttons = lower - ButtonsFromBottom;
    sRes->resize(width - 2 * Margin, buttons - sRes->y() - 2);
    bSelect->move(bSelect->x(), buttons);
    bGo->move(width - Margin - bGo->width() + 10, buttons);
    bResults->setGeometry(bSelect->geometry().right() + 8, buttons,
                          bGo->x() - bSelect->geometry().right() - 16, bResults->height());
}

void Tmainform::layoutFolderPage(int width, int page) {
    eFolderPath->resize(width - Margin - eFolderPath->x(), eFolderPath->height());
    DirTree->setGeometry(Margin, 46, width - 2 * Margin, page - 100);
    SpeedButton2->move(SpeedButton2->x(), page - 48);
    SpeedButton1->move(width - Margin - SpeedButton1->width() + 10, page - 48);
}

void Tmainform::layoutResultPage(int width, int page) {
    sResultsHint->resize(width - Margin - sResultsHint->x(), sResultsHint->height());
    // A taller page gives the table two thirds of what it adds; a shorter
    // one takes it all from the table.
    const int taller = page - PageHeight;
    const int table = ResultTableHeight + (taller > 0 ? taller * 2 / 3 : taller);
    gResults->setGeometry(Margin, ResultTop, width - 2 * Margin, table);
    const int lowerTop = ResultTop + table + ResultGap;
    const int chartWidth = ChartWidth + (width - ClientWidth) / 3;
    const int chartLeft = width - Margin - chartWidth;
    const int logBottom = page - (PageHeight - LogBottom);
    const int chartBottom = page - (PageHeight - ChartBottom);
    eLog->setGeometry(Margin, lowerTop, chartLeft - ResultGap - 2 - Margin, logBottom - lowerTop);
    cScores->setGeometry(chartLeft, lowerTop, chartWidth, chartBottom - lowerTop);
    bBack->move(bBack->x(), page - 48);
}

void Tmainform::addShortcuts() {
    // Captions' Alt letters work by their key in either layout (see
    // pressTwinMnemonic); the window sees every key press in it first.
    qApp->installEventFilter(this);
    // The way back from the result page, as in a browser; Esc also leaves
    // the folder page without a choice.
    for (const QKeySequence& key :
         {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::ALT | Qt::Key_Left)}) {
        auto* back = new QShortcut(key, bBack);
        connect(back, &QShortcut::activated, bBack, &QPushButton::click);
    }
    auto* cancel = new QShortcut(QKeySequence(Qt::Key_Escape), SpeedButton2);
    connect(cancel, &QShortcut::activated, SpeedButton2, &QPushButton::click);
    connect(eFolderPath, &QLineEdit::returnPressed, SpeedButton1, &QPushButton::click);
    // Tab leaves the table instead of walking its cells.
    gResults->setTabKeyNavigation(false);
}

bool Tmainform::pressTwinMnemonic(QObject* watched, const QKeyEvent* key) {
    // Alt and a letter whose twin in the other layout a visible button's
    // caption marks: the layout is not the one the caption was written in.
    if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::AltModifier || !watched->isWidgetType() ||
        static_cast<QWidget*>(watched)->window() != this || key->key() > 0xffff)
        return false;
    const QChar twin = LayoutTwins::twinOf(QChar(static_cast<char16_t>(key->key())));
    if (twin.isNull())
        return false;
    for (QPushButton* button : {bSetSrcDir, bSelect, bGo, bResults}) {
        if (button->isVisible() && button->isEnabled() &&
            LayoutTwins::mnemonicOf(button->text()) == twin) {
            button->click();
            return true;
        }
    }
    return false;
}

void Tmainform::FormCreate() {
    sRes->clear();
    m_profile.seedDefaultTexts(quillmark::InstallLayout::samplesDirectory(m_programDirectory));
    const Settings settings = m_profile.LoadSettings();
    eDirSrc->setText(settings.dirSrc);
    eDirOut->setText(settings.dirOut);
    eShingleLen->setValue(settings.shingleLen);
    ePercent->setValue(settings.goodPercent);
    eLemma->setChecked(settings.lemmatize);
    eCutHTML->setChecked(settings.cutHtml);
    eDelFiles->setChecked(settings.delFiles);
    eAgainstOutput->setChecked(settings.againstOutput);
    sStat1->clear();
    sStat2->clear();
    sStat3->clear();
    ShowPercent();
    Pages->setCurrentWidget(TabSheet1);
    bGo->setEnabled(true);
}

void Tmainform::FormDestroy() {
    Settings settings;
    settings.dirSrc = eDirSrc->text();
    settings.dirOut = eDirOut->text();
    settings.shingleLen = eShingleLen->value();
    settings.goodPercent = ePercent->value();
    settings.lemmatize = eLemma->isChecked();
    settings.cutHtml = eCutHTML->isChecked();
    settings.delFiles = eDelFiles->isChecked();
    settings.againstOutput = eAgainstOutput->isChecked();
    try {
        m_profile.SaveSettings(settings);
    } catch (const ProfileWriteError& error) {
        // The window is going away: the box stands on its own.
        QMessageBox::critical(nullptr, errorTitle(), QString::fromUtf8(error.what()));
    }
}

void Tmainform::selectFolder(const QString& path) {
    // The deepest existing folder on the path that the tree shows: none of
    // its names starts with a dot.
    QString shown = QDir::cleanPath(QDir(path).absolutePath());
    const QStringList parts = shown.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    shown = QStringLiteral("/");
    for (const QString& part : parts) {
        const QString next =
            shown + (shown.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/")) + part;
        if (part.startsWith(QLatin1Char('.')) || !QFileInfo(next).isDir())
            break;
        shown = next;
    }
    const QModelIndex folder = DirModel->index(shown);
    if (!folder.isValid())
        return;
    for (QModelIndex index = folder; index.isValid(); index = index.parent())
        DirTree->expand(index);
    DirTree->setCurrentIndex(folder);
    DirTree->scrollTo(folder, QAbstractItemView::PositionAtCenter);
    m_folderToShow = shown;
}

void Tmainform::followFolder() {
    if (m_folderToShow.isEmpty())
        return;
    const QModelIndex folder = DirModel->index(m_folderToShow);
    if (folder.isValid())
        DirTree->scrollTo(folder, QAbstractItemView::PositionAtCenter);
}

void Tmainform::showTreeFolder() {
    if (m_typingFolder)
        return;
    const QModelIndex current = DirTree->currentIndex();
    const bool selected = current.isValid() && DirTree->selectionModel()->isSelected(current);
    eFolderPath->setText(selected ? DirModel->filePath(current) : QString());
    // The user went elsewhere: the tree no longer follows the old folder.
    if (!selected || DirModel->filePath(current) != m_folderToShow)
        m_folderToShow.clear();
}

QString Tmainform::errorTitle() const {
    return QFileInfo(QCoreApplication::applicationFilePath()).fileName();
}

QProgressBar* Tmainform::bar(ProgressRow row) const {
    switch (row) {
    case ProgressRow::Loading:
        return Status1;
    case ProgressRow::Comparison:
        return Status2;
    case ProgressRow::Saving:
        return Status3;
    }
    Q_UNREACHABLE();
}

QLabel* Tmainform::counter(ProgressRow row) const {
    switch (row) {
    case ProgressRow::Loading:
        return sStat1;
    case ProgressRow::Comparison:
        return sStat2;
    case ProgressRow::Saving:
        return sStat3;
    }
    Q_UNREACHABLE();
}

QLabel* Tmainform::caption(ProgressRow row) const {
    switch (row) {
    case ProgressRow::Loading:
        return Label11;
    case ProgressRow::Comparison:
        return sProgress;
    case ProgressRow::Saving:
        return sProgress1;
    }
    Q_UNREACHABLE();
}

// ---- EngineHost

QString Tmainform::sourceDirectory() {
    return eDirSrc->text();
}

QString Tmainform::outputDirectory() {
    return eDirOut->text();
}

int Tmainform::shingleLength() {
    return eShingleLen->value();
}

Truncation Tmainform::truncation() {
    return eLemma->isChecked() ? Truncation::On : Truncation::Off;
}

HtmlHandling Tmainform::htmlHandling() {
    return eCutHTML->isChecked() ? HtmlHandling::Cut : HtmlHandling::Keep;
}

int Tmainform::allowedPercent() {
    return ePercent->value();
}

SaveMode Tmainform::saveMode() {
    return eDelFiles->isChecked() ? SaveMode::Move : SaveMode::Copy;
}

bool Tmainform::againstOutput() {
    return eAgainstOutput->isChecked();
}

void Tmainform::setCounter(ProgressRow row, const QString& text) {
    counter(row)->setText(text);
    // A long count is drawn smaller rather than cut at the window's edge.
    fitText(counter(row), CounterPixels);
}

void Tmainform::setProgressLabel(ProgressRow row, const QString& text) {
    caption(row)->setText(text);
}

void Tmainform::setBarRange(ProgressRow row, int minimum, int maximum) {
    // An equal minimum and maximum would draw Qt's busy indicator, which
    // never stops: nothing to do is drawn as an empty bar instead.
    bar(row)->setRange(minimum, std::max(maximum, minimum + 1));
}

void Tmainform::setBarPosition(ProgressRow row, int position) {
    bar(row)->setValue(position);
}

void Tmainform::setResult(const QString& text) {
    sRes->setText(text);
}

void Tmainform::setStartCaption(StartCaption caption) {
    bGo->setText(caption == StartCaption::Start ? tr("&Сравнить") : tr("&Остановить"));
}

void Tmainform::setStartState(ButtonState state) {
    bGo->setEnabled(state == ButtonState::Enabled);
}

void Tmainform::setSelectState(ButtonState state) {
    bSelect->setEnabled(state == ButtonState::Enabled);
}

void Tmainform::clearLog() {
    eLog->clear();
}

void Tmainform::appendLog(const QString& line, PageSwitch page) {
    eLog->appendPlainText(line);
    if (page == PageSwitch::ShowResultPage)
        Pages->setCurrentWidget(TabSheet4);
}

void Tmainform::resultsChanged() {
    const DocumentTable& documents = m_engine.documents();
    m_results->setResults(documents, m_engine.selectionPercent());
    cScores->setScores(documents, m_engine.selectionPercent());
}

void Tmainform::processEvents() {
    QCoreApplication::processEvents();
}

void Tmainform::showError(const QString& text) {
    QMessageBox::critical(this, errorTitle(), text);
}

Answer Tmainform::ask(const QString& question) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), question,
                    QMessageBox::NoButton, this);
    QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes ? Answer::Yes : Answer::No;
}

// ---- Handlers

void Tmainform::ShowPercent() {
    sPercent->setText(QString::number(ePercent->value()) + QLatin1Char('%'));
}

void Tmainform::ePercentChange() {
    ShowPercent();
}

void Tmainform::bSetSrcDirClick() {
    Pages->setCurrentWidget(TabSheet3);
    // The page opens where the texts are now; a source the tree does not
    // show (a dot-folder) keeps its path in the field.
    const QString source = eDirSrc->text().trimmed();
    selectFolder(source.isEmpty() ? QDir::homePath() : source);
    if (!source.isEmpty() && QFileInfo(source).isDir())
        eFolderPath->setText(QDir::cleanPath(QDir(source).absolutePath()));
}

void Tmainform::SpeedButton1Click() {
    QString path = eFolderPath->text().trimmed();
    // A typed path may end with its separator; the root keeps its own.
    if (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    // An output path the user typed stays; one that followed the old source
    // follows the new one.
    const QString output = eDirOut->text().trimmed();
    const bool followsSource =
        output.isEmpty() || QDir::cleanPath(output) == QDir::cleanPath(defaultOutputFor(eDirSrc->text()));
    eDirSrc->setText(path + QLatin1Char('/'));
    if (followsSource)
        eDirOut->setText(path + QStringLiteral("/Result/"));
    Pages->setCurrentWidget(TabSheet1);
}

void Tmainform::SpeedButton2Click() {
    Pages->setCurrentWidget(TabSheet1);
}

void Tmainform::bBackClick() {
    Pages->setCurrentWidget(TabSheet1);
}

void Tmainform::bResultsClick() {
    Pages->setCurrentWidget(TabSheet4);
}

void Tmainform::bGoClick() {
    m_engine.startOrStopRun();
    closeIfPending();
}

void Tmainform::bSelectClick() {
    m_engine.makeNewSelection();
    closeIfPending();
}

ComparisonDialog* Tmainform::comparison() const {
    return m_comparison;
}

void Tmainform::gResultsDblClick(const QModelIndex& index) {
    if (!index.isValid())
        return;
    showComparison(index.data(ResultTableModel::DocumentRole).toInt());
}

void Tmainform::showComparison(std::int32_t document) {
    // The table the rows name is being rebuilt or saved.
    if (busy())
        return;
    const DocumentTable& documents = m_engine.documents();
    if (document < documents.referenceCount || document >= documents.comparedCount ||
        document >= documents.count())
        return;
    const auto at = static_cast<std::size_t>(document);
    const QString name = QFile::decodeName(documents.names[at]);
    const std::int32_t earlier = documents.bestMatches[at];
    if (earlier < 0) {
        QMessageBox::information(this, windowTitle(),
                                 tr("У текста «%1» нет общих шинглов ни с одним "
                                    "более ранним текстом: сравнивать не с чем.")
                                     .arg(name));
        return;
    }

    DocumentPair pair;
    QString failure;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        pair = DocumentPair::load(m_engine, document, earlier);
    } catch (const std::bad_alloc&) {
        failure = tr("Недостаточно памяти, чтобы показать эти тексты.");
    } catch (const std::exception& error) {
        // A PairError, or what reading a text throws: its message says why.
        failure = QString::fromUtf8(error.what());
    }
    QGuiApplication::restoreOverrideCursor();
    if (!failure.isEmpty()) {
        QMessageBox::warning(this, errorTitle(), failure);
        return;
    }

    auto* dialog = new ComparisonDialog(
        std::move(pair), name,
        QFile::decodeName(documents.isReference(earlier)
                              ? documents.referencePath(earlier)
                              : documents.names[static_cast<std::size_t>(earlier)]),
        documents.scores[at], this, documents.referenceCount);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // One comparison at a time, in the place the last one was left.
    if (m_comparison) {
        dialog->setGeometry(m_comparison->geometry());
        m_comparison->close();
    }
    m_comparison = dialog;
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void Tmainform::sHomePageMouseEnter() {
    setColor(sHomePage, QPalette::WindowText, Red);
}

void Tmainform::sHomePageMouseLeave() {
    setColor(sHomePage, QPalette::WindowText, Navy);
}

void Tmainform::sHomePageClick() {
    QDesktopServices::openUrl(m_homePageUrl);
}

// ---- Window events

bool Tmainform::busy() const {
    return m_engine.isSelecting() || m_engine.state() != RunState::Idle;
}

void Tmainform::closeIfPending() {
    if (!m_closePending || busy())
        return;
    m_closePending = false;
    close();
}

void Tmainform::closeEvent(QCloseEvent* event) {
    // The work runs inside a handler on this thread: the window stays until it ends.
    if (busy()) {
        m_closePending = true;
        event->ignore();
        return;
    }
    event->accept();
}

bool Tmainform::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_content && event->type() == QEvent::Resize) {
        layoutContent();
        return false;
    }
    if (event->type() == QEvent::KeyPress &&
        pressTwinMnemonic(watched, static_cast<QKeyEvent*>(event)))
        return true;
    // Compared, never dereferenced: children go before the window does.
    if (watched == DirTree || watched == m_dirTreeViewport) {
        const QEvent::Type type = event->type();
        if (type == QEvent::MouseButtonPress || type == QEvent::Wheel || type == QEvent::KeyPress)
            m_folderToShow.clear();
        return QWidget::eventFilter(watched, event);
    }
    if (watched == gResults && event->type() == QEvent::KeyPress) {
        // Enter opens the comparison of the current row, as a double click does.
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter)
            return QWidget::eventFilter(watched, event);
        gResultsDblClick(gResults->currentIndex());
        return true;
    }
    if (watched != sHomePage)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Enter:
        sHomePageMouseEnter();
        break;
    case QEvent::Leave:
        sHomePageMouseLeave();
        break;
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
            break;
        sHomePageClick();
        return true;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}
