#include "Tmainform.h"

#include "ComparisonDialog.h"
#include "FamilyList.h"
#include "FormLook.h"
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
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelection>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
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
using namespace quillmark::formlook;

namespace {

// The output directory "Выбрать" proposes for a source directory.
QString defaultOutputFor(const QString& source) {
    QString path = QDir::cleanPath(source.trimmed());
    if (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path + QStringLiteral("/Result/");
}

// The folder of the template, or the texts' folder while there is none.
QString templateStart(const QString& field, const QString& source) {
    const QString path = field.trimmed();
    if (path.isEmpty())
        return source.trimmed();
    const QFileInfo info(path);
    return info.isDir() ? path : info.absolutePath();
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
    connect(bTemplate, &QPushButton::clicked, this, &Tmainform::bTemplateClick);
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
    eUnmask->setChecked(settings.unmask);
    eDelFiles->setChecked(settings.delFiles);
    eAgainstOutput->setChecked(settings.againstOutput);
    eTemplate->setText(settings.templatePath);
    eCommonPercent->setValue(settings.commonPercent);
    eArchive->setText(settings.archiveUri);
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
    settings.unmask = eUnmask->isChecked();
    settings.delFiles = eDelFiles->isChecked();
    settings.againstOutput = eAgainstOutput->isChecked();
    settings.templatePath = eTemplate->text();
    settings.commonPercent = eCommonPercent->value();
    settings.archiveUri = eArchive->text().trimmed();
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

Tmainform::ProgressWidgets Tmainform::progressRow(ProgressRow row) const {
    switch (row) {
    case ProgressRow::Loading:
        return {Label11, Status1, sStat1};
    case ProgressRow::Comparison:
        return {sProgress, Status2, sStat2};
    case ProgressRow::Saving:
        return {sProgress1, Status3, sStat3};
    }
    Q_UNREACHABLE();
}

QProgressBar* Tmainform::bar(ProgressRow row) const {
    return progressRow(row).bar;
}

QLabel* Tmainform::counter(ProgressRow row) const {
    return progressRow(row).counter;
}

QLabel* Tmainform::caption(ProgressRow row) const {
    return progressRow(row).caption;
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

Unmask Tmainform::unmask() {
    return eUnmask->isChecked() ? Unmask::On : Unmask::Off;
}

int Tmainform::allowedPercent() {
    return ePercent->value();
}

QByteArray Tmainform::templatePath() {
    // A field of blanks names no template.
    if (eTemplate->text().trimmed().isEmpty())
        return {};
    return QFile::encodeName(eTemplate->text());
}

int Tmainform::commonPercent() {
    return eCommonPercent->value();
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
    // Beside its bar on a short page the caption has less room.
    fitText(caption(row), 11);
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
    // A long line is drawn smaller rather than cut below its second line.
    fitWrappedText(sRes, ResultPixels);
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
    lFamilies->setFamilies(documents, m_engine.families());
    // A column of no family says nothing: it gives its room to the names.
    gResults->setColumnHidden(ResultTableModel::FamilyColumn, lFamilies->count() == 0);
    layoutResultPage(m_content->width(), Pages->height());
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
    m_folderFor = FolderFor::Source;
    Pages->setCurrentWidget(TabSheet3);
    // The page opens where the texts are now; a source the tree does not
    // show (a dot-folder) keeps its path in the field.
    const QString source = eDirSrc->text().trimmed();
    selectFolder(source.isEmpty() ? QDir::homePath() : source);
    if (!source.isEmpty() && QFileInfo(source).isDir())
        eFolderPath->setText(QDir::cleanPath(QDir(source).absolutePath()));
}

void Tmainform::bTemplateClick() {
    mTemplate->popup(bTemplate->mapToGlobal(QPoint(0, bTemplate->height())));
}

void Tmainform::chooseTemplateFile() {
    const QString file = QFileDialog::getOpenFileName(
        this, tr("Файл шаблона"), templateStart(eTemplate->text(), eDirSrc->text()));
    if (!file.isEmpty())
        eTemplate->setText(file);
}

void Tmainform::chooseTemplateFolder() {
    m_folderFor = FolderFor::Template;
    Pages->setCurrentWidget(TabSheet3);
    const QString start = templateStart(eTemplate->text(), eDirSrc->text());
    selectFolder(start.isEmpty() ? QDir::homePath() : start);
    if (!start.isEmpty() && QFileInfo(start).isDir())
        eFolderPath->setText(QDir::cleanPath(QDir(start).absolutePath()));
}

void Tmainform::SpeedButton1Click() {
    QString path = eFolderPath->text().trimmed();
    // A typed path may end with its separator; the root keeps its own.
    if (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    if (m_folderFor == FolderFor::Template) {
        eTemplate->setText(path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/'));
        Pages->setCurrentWidget(TabSheet1);
        return;
    }
    // An output path the user typed stays; one that followed the old source
    // follows the new one.
    const QString output = eDirOut->text().trimmed();
    const bool followsSource =
        output.isEmpty() ||
        QDir::cleanPath(output) == QDir::cleanPath(defaultOutputFor(eDirSrc->text()));
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

void Tmainform::selectFamily(int number) {
    QItemSelection rows;
    QModelIndex first;
    for (int row = 0; row < m_sortedResults->rowCount(); ++row) {
        const QModelIndex index = m_sortedResults->index(row, 0);
        if (number <= 0 || index.data(ResultTableModel::FamilyRole).toInt() != number)
            continue;
        rows.select(index, index);
        if (!first.isValid())
            first = index;
    }
    QItemSelectionModel* selection = gResults->selectionModel();
    selection->select(rows, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (!first.isValid())
        return;
    selection->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
    gResults->scrollTo(first);
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

bool Tmainform::saidNothingToCompare(std::int32_t document) {
    const DocumentTable& documents = m_engine.documents();
    const auto at = static_cast<std::size_t>(document);
    const QString name = QFile::decodeName(documents.names[at]);
    QString why;
    if (documents.onlyCommonText(document))
        why = tr("Весь текст «%1» — общий текст (шаблон или фрагменты, общие "
                 "для многих текстов): сравнивать не с чем.")
                  .arg(name);
    else if (documents.bestMatches[at] < 0)
        why = tr("У текста «%1» нет общих шинглов ни с одним "
                 "более ранним текстом: сравнивать не с чем.")
                  .arg(name);
    else
        return false;
    QMessageBox::information(this, windowTitle(), why);
    return true;
}

void Tmainform::showComparison(std::int32_t document) {
    // The table the rows name is being rebuilt or saved.
    if (busy())
        return;
    const DocumentTable& documents = m_engine.documents();
    if (document < documents.referenceCount || document >= documents.comparedCount ||
        document >= documents.count())
        return;
    if (saidNothingToCompare(document))
        return;
    const auto at = static_cast<std::size_t>(document);
    const QString name = QFile::decodeName(documents.names[at]);
    const std::int32_t earlier = documents.bestMatches[at];

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
    dialog->noteDisguisedWords(documents.disguisedWords[at],
                               documents.disguisedWords[static_cast<std::size_t>(earlier)]);
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
