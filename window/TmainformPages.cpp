// Building the window's bands and pages, and fitting them to the window's
// size: the drawn look at the drawn size, wider fields and a taller table in
// a larger window, and the empty room given up first on a short screen.
#include "Tmainform.h"

#include "FamilyList.h"
#include "FormLook.h"
#include "ResultTableModel.h"
#include "ScoreChart.h"
#include "SortHeaderView.h"
#include "WindowPlacement.h"

#include <QCheckBox>
#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMoveEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QTreeView>

#include <algorithm>

using namespace quillmark;
using namespace quillmark::formlook;

namespace {

/// Where a check box above a field begins: flush with the field's right
/// end, but never over the field's caption on its left.
int aboveRightEnd(const QWidget* box, const QWidget* field, const QWidget* caption) {
    return std::max(field->geometry().right() + 1 - box->width(), caption->geometry().right() + 12);
}

} // namespace

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
    eUnmask = named(new QCheckBox(tr("Распознавать подмену символов"), Panel4), "eUnmask");
    eUnmask->setChecked(false);
    eUnmask->adjustSize();
    // Right above the source path, whose texts it reads, clear of its caption.
    eUnmask->move(aboveRightEnd(eUnmask, eDirSrc, Label1), 5);
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
    eAgainstOutput->move(aboveRightEnd(eAgainstOutput, eDirOut, Label2), 51);

    buildTemplateRow();
    buildArchiveRow();
    buildOptionRows();
    buildProgressPanel();
    for (QLineEdit* edit : {eDirSrc, eDirOut, eTemplate, eArchive})
        setColor(edit, QPalette::Base, LightOrange);
    for (QSpinBox* spin : {eShingleLen, eCommonPercent})
        setColor(spin, QPalette::Base, LightOrange);
    addSettingsHints();
    addCommonTextHints();
}

void Tmainform::buildOptionRows() {
    // Below the template's and the archive's rows, lower by their height
    // than drawn first.
    const int below = TemplateRowHeight + ArchiveRowHeight;
    eShingleLen = named(new QSpinBox(Panel4), "eShingleLen");
    eShingleLen->setRange(1, 100);
    eShingleLen->setSingleStep(1);
    eShingleLen->setValue(10);
    eShingleLen->setGeometry(Margin, 104 + below, 56, 24);
    Label4 = makeLabel(Panel4, "Label4", tr("Длина шингла"), 80, 103 + below);
    Label6 = makeLabel(Panel4, "Label6", tr("(10 - стандарт, 5 - жестко)"), 80, 118 + below);

    eLemma = named(new QCheckBox(tr("Лемматизировать* слова"), Panel4), "eLemma");
    eLemma->setChecked(true);
    eLemma->move(250, 101 + below);
    eLemma->adjustSize();
    eCutHTML = named(new QCheckBox(tr("Отбрасывать HTML"), Panel4), "eCutHTML");
    eCutHTML->setChecked(false);
    eCutHTML->move(250, 121 + below);
    eCutHTML->adjustSize();

    eDelFiles = named(new QCheckBox(tr("Переместить прошедшие"), Panel4), "eDelFiles");
    eDelFiles->setChecked(true);
    eDelFiles->move(456, 101 + below);
    eDelFiles->adjustSize();
    // The second line of the check box's caption starts under its text.
    const int indent = style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, eDelFiles) +
                       style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, eDelFiles);
    Label5 = makeLabel(Panel4, "Label5", tr("проверку тексты "), eDelFiles->x() + indent,
                       eDelFiles->geometry().bottom() - 3);

    Label3 = makeLabel(Panel4, "Label3", tr("Допустимый процент совпадений"), Margin, 142 + below);
    ePercent = named(new QSlider(Qt::Horizontal, Panel4), "ePercent");
    ePercent->setRange(0, 100);
    ePercent->setSingleStep(1);
    ePercent->setPageStep(2);
    ePercent->setTickInterval(1);
    ePercent->setTickPosition(QSlider::TicksBelow);
    ePercent->setValue(20);
    ePercent->setGeometry(Label3->geometry().right() + 12, 134 + below, 380, 30);
    sPercent = makeLabel(Panel4, "sPercent", QStringLiteral("0%"),
                         ePercent->geometry().right() + 10, 136 + below, 21);
    // Room for "100%" up to the panel's edge.
    sPercent->resize(ClientWidth - sPercent->x(), sPercent->height());
}

void Tmainform::buildTemplateRow() {
    LabelTemplate =
        makeLabel(Panel4, "LabelTemplate", tr("Шаблон (не учитывать)"), Margin, TemplateCaptionTop);
    eTemplate = named(new QLineEdit(Panel4), "eTemplate");
    eTemplate->setGeometry(Margin, TemplateCaptionTop + 15, 300, 22);
    // Lower than bSetSrcDir: the caption line above it is taken.
    bTemplate = makeFlatButton(Panel4, "bTemplate", tr("Выбрать.."),
                               QRect(0, TemplateCaptionTop + 14, 0, 24), 0);
    setPixelSize(bTemplate, 11, QFont::Bold);
    bTemplate->resize(bTemplate->sizeHint().width(), bTemplate->height());
    mTemplate = named(new QMenu(this), "mTemplate");
    mTemplate->addAction(tr("Файл…"), this, &Tmainform::chooseTemplateFile);
    mTemplate->addAction(tr("Каталог…"), this, &Tmainform::chooseTemplateFolder);
    mTemplate->addAction(tr("Без шаблона"), eTemplate, &QLineEdit::clear);

    LabelCommon = makeLabel(Panel4, "LabelCommon", tr("Не учитывать фрагменты, общие для"), 0,
                            TemplateCaptionTop);
    eCommonPercent = named(new QSpinBox(Panel4), "eCommonPercent");
    eCommonPercent->setRange(0, 100);
    eCommonPercent->setSpecialValueText(tr("выкл."));
    eCommonPercent->setSuffix(tr("% текстов"));
    eCommonPercent->setValue(0);
    eCommonPercent->setGeometry(0, TemplateCaptionTop + 14, bSetSrcDir->width(), 24);
    layoutTemplateRow(ClientWidth);
}

void Tmainform::buildProgressPanel() {
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
    sRes = makeLabel(Panel3, "sRes", QString(), Margin, ResultLineTop, 19);
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
    eUnmask->setToolTip(tr("Видеть копию сквозь маскировку: латинские буквы, похожие на русские, "
                           "читаются как русские, невидимые символы и мягкие переносы "
                           "отбрасываются, конец строки разделяет слова"));
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

void Tmainform::addCommonTextHints() {
    const QString pattern = tr("Файл или каталог с текстом, который есть во всех работах "
                               "(задание, шаблон оформления): его фрагменты не учитываются в "
                               "сходстве; пусто — шаблона нет");
    for (QWidget* control :
         {static_cast<QWidget*>(eTemplate), static_cast<QWidget*>(LabelTemplate)})
        control->setToolTip(pattern);
    bTemplate->setToolTip(tr("Выбрать файл или каталог шаблона"));
    const QString common = tr("Фрагменты, которые есть в этой доле текстов (и не меньше чем в "
                              "трёх), не учитываются в сходстве: общие цитаты, формулировки "
                              "задания; «выкл.» — учитывается всё");
    for (QWidget* control :
         {static_cast<QWidget*>(eCommonPercent), static_cast<QWidget*>(LabelCommon)})
        control->setToolTip(common);
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
    buildResultTable();

    // Before the log: the keyboard reaches the families first.
    lFamilies = named(new FamilyList(TabSheet4), "lFamilies");
    connect(lFamilies, &FamilyList::familyChosen, this, &Tmainform::selectFamily);

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

void Tmainform::buildResultTable() {
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
    // The counts' columns as wide as their captions; the family's numbers are
    // short.
    const QFontMetrics metrics = gResults->fontMetrics();
    for (const int column : {ResultTableModel::DisguisedColumn, ResultTableModel::FamilyColumn})
        header->resizeSection(
            column,
            metrics.horizontalAdvance(m_results->headerData(column, Qt::Horizontal).toString()) +
                (column == ResultTableModel::FamilyColumn ? 16 : 24));
    // Room for the longest origin the format column names.
    header->resizeSection(
        ResultTableModel::FormatColumn,
        gResults->fontMetrics().horizontalAdvance(QStringLiteral("HTML, Windows-1251")) + 12);
    // Shown while there are families.
    gResults->setColumnHidden(ResultTableModel::FamilyColumn, true);
    gResults->setSortingEnabled(true);
    gResults->sortByColumn(ResultTableModel::OrderColumn, Qt::AscendingOrder);
    // After the view has sorted: a new order is read from its first row.
    connect(header, &QHeaderView::sortIndicatorChanged, gResults, &QTableView::scrollToTop);
    gResults->installEventFilter(this);
    connect(gResults, &QTableView::doubleClicked, this, &Tmainform::gResultsDblClick);
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
    return settingsPageHeight(CompactResultLineTop);
}

int Tmainform::settingsPageHeight(int resultTop) const {
    // Two lines of the result line above the buttons.
    return SettingsPanelHeight + resultTop + 2 * sRes->fontMetrics().height() + 2 +
           ButtonsFromBottom;
}

void Tmainform::layoutHeader(int width, int height) {
    Panel1->setGeometry(0, 0, width, height);
    // A lower header keeps its lines in the same proportions.
    const auto at = [height](int designY) { return designY * height / HeaderHeight; };
    const bool compact = height < CompactHeaderHeight;
    Label7->move(Margin, compact ? 3 : at(10));
    Label8->move(Margin, compact ? 34 : at(44));
    const QPoint link =
        compact ? QPoint(Label8->geometry().right() + Margin, 34) : QPoint(Margin, at(64));
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
    eAgainstOutput->move(aboveRightEnd(eAgainstOutput, eDirOut, Label2), eAgainstOutput->y());
    eUnmask->move(aboveRightEnd(eUnmask, eDirSrc, Label1), eUnmask->y());
    layoutTemplateRow(width);
    layoutArchiveRow(width);
    ePercent->resize(380 + wider, ePercent->height());
    sPercent->setGeometry(ePercent->geometry().right() + 10, sPercent->y(),
                          width - ePercent->geometry().right() - 10, sPercent->height());

    const int lower = page - SettingsPanelHeight;
    Panel3->setGeometry(0, SettingsPanelHeight, width, lower);
    layoutProgressRows(width, page < settingsPageHeight(ResultLineTop));
    const int buttons = lower - ButtonsFromBottom;
    sRes->resize(width - 2 * Margin, buttons - sRes->y() - 2);
    fitWrappedText(sRes, ResultPixels);
    bSelect->move(bSelect->x(), buttons);
    bGo->move(width - Margin - bGo->width() + 10, buttons);
    bResults->setGeometry(bSelect->geometry().right() + 8, buttons,
                          bGo->x() - bSelect->geometry().right() - 16, bResults->height());
}

void Tmainform::layoutProgressRows(int width, bool compact) {
    // Compact: each caption on its bar's line, left of it, drawn smaller
    // where it would not fit.
    const int span = 540 + width - ClientWidth;
    const int captionWidth = compact ? span / 2 : span;
    int top = compact ? 4 : 6;
    for (const ProgressRow row :
         {ProgressRow::Loading, ProgressRow::Comparison, ProgressRow::Saving}) {
        const ProgressWidgets widgets = progressRow(row);
        widgets.caption->setGeometry(Margin, compact ? top + 1 : top, captionWidth,
                                     widgets.caption->height());
        fitText(widgets.caption, 11);
        const int barLeft = compact ? Margin + captionWidth + 8 : Margin;
        widgets.bar->setGeometry(barLeft, compact ? top : top + 16, Margin + span - barLeft, 16);
        widgets.counter->setGeometry(width - CounterWidth - 4, compact ? top - 4 : top + 10,
                                     CounterWidth, widgets.counter->height());
        fitText(widgets.counter, CounterPixels);
        top += compact ? CompactProgressStep : ProgressStep;
    }
    sRes->move(Margin, compact ? CompactResultLineTop : ResultLineTop);
}

void Tmainform::layoutTemplateRow(int width) {
    // The template's path and its button end where the output path does; the
    // common text's per cent stands under bSetSrcDir, its caption ending there.
    const int wider = width - ClientWidth;
    bTemplate->move(Margin + 530 + wider - bTemplate->width(), bTemplate->y());
    eTemplate->resize(bTemplate->x() - 4 - Margin, eTemplate->height());
    eCommonPercent->move(554 + wider, eCommonPercent->y());
    LabelCommon->move(eCommonPercent->geometry().right() + 1 - LabelCommon->width(),
                      LabelCommon->y());
}

void Tmainform::layoutFolderPage(int width, int page) {
    eFolderPath->resize(width - Margin - eFolderPath->x(), eFolderPath->height());
    DirTree->setGeometry(Margin, 46, width - 2 * Margin, page - 100);
    SpeedButton2->move(SpeedButton2->x(), page - 48);
    SpeedButton1->move(width - Margin - SpeedButton1->width() + 10, page - 48);
}

void Tmainform::layoutResultPage(int width, int page) {
    sResultsHint->resize(width - Margin - sResultsHint->x(), sResultsHint->height());
    // A taller page gives the table four fifths of what it adds; a shorter
    // one takes it all from the table.
    const int taller = page - PageHeight;
    const int table = ResultTableHeight + (taller > 0 ? taller * 4 / 5 : taller);
    gResults->setGeometry(Margin, ResultTop, width - 2 * Margin, table);
    const int lowerTop = ResultTop + table + ResultGap;
    const int chartWidth = ChartWidth + (width - ClientWidth) / 3;
    const int chartLeft = width - Margin - chartWidth;
    const int logBottom = page - (PageHeight - LogBottom);
    const int chartBottom = page - (PageHeight - ChartBottom);
    const int logWidth = chartLeft - ResultGap - 2 - Margin;
    // The families, when there are any, take the top of the log's room.
    const int families =
        lFamilies->isHidden()
            ? 0
            : lFamilies->heightFor(std::min(lFamilies->count(), FamilyRows)) + ResultGap;
    lFamilies->setGeometry(Margin, lowerTop, logWidth, std::max(families - ResultGap, 0));
    eLog->setGeometry(Margin, lowerTop + families, logWidth, logBottom - lowerTop - families);
    cScores->setGeometry(chartLeft, lowerTop, chartWidth, chartBottom - lowerTop);
    bBack->move(bBack->x(), page - 48);
}
