// The program's one window: the settings, the folder tree, the progress rows,
// and the result page with the log, the table of compared documents and the
// chart of their scores. It holds no batch logic: the batch engine runs the
// work and reads and writes the controls through the host interface below.
#pragma once

#include "engine/BatchEngine.h"
#include "engine/EngineHost.h"
#include "engine/SettingsProfile.h"

#include <QFutureWatcher>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWidget>
#include <cstdint>
#include <memory>

class QCheckBox;
class QCloseEvent;
class QFileIconProvider;
class QFileSystemModel;
class QFrame;
class QKeyEvent;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSlider;
class QSpinBox;
class QStackedWidget;
class QLineEdit;
class QMargins;
class QMoveEvent;
class QScrollArea;
class QModelIndex;
class QSortFilterProxyModel;
class QTableView;
class QTimer;
class QTreeView;

namespace quillmark {
class ComparisonDialog;
class FamilyList;
class ResultTableModel;
class ScoreChart;
} // namespace quillmark

class Tmainform : public QWidget, public quillmark::EngineHost {
    Q_OBJECT

public:
    /// The file sHomePage opens when no installed documentation is found,
    /// looked up in the program directory and then in each directory above it.
    static constexpr const char* HomePageAddress = "README.md";

    /// programDirectory ends with "/"; the profile and the default directories
    /// lie under it.
    explicit Tmainform(const QString& programDirectory = defaultProgramDirectory(),
                       QWidget* parent = nullptr);
    ~Tmainform() override;

    /// The directory of the executable, ending with "/".
    static QString defaultProgramDirectory();

    QString programDirectory() const { return m_programDirectory; }
    const quillmark::BatchEngine& engine() const { return m_engine; }
    /// Where a click on sHomePage leads; empty, and the link hidden, when there
    /// is nothing to open.
    QUrl homePageUrl() const { return m_homePageUrl; }
    /// The comparison window last opened, while it is open.
    quillmark::ComparisonDialog* comparison() const;

    // The controls, named as in the window's design.
    QFrame* Panel1 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* sHomePage = nullptr;
    QStackedWidget* Pages = nullptr;
    QWidget* TabSheet1 = nullptr;
    QFrame* Panel4 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* eDirSrc = nullptr;
    QPushButton* bSetSrcDir = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* eDirOut = nullptr;
    QCheckBox* eDelFiles = nullptr;
    QCheckBox* eAgainstOutput = nullptr;
    /// The template whose text no score counts: a file or a folder; empty
    /// for none.
    QLabel* LabelTemplate = nullptr;
    QLineEdit* eTemplate = nullptr;
    /// Offers a file or a folder for eTemplate.
    QPushButton* bTemplate = nullptr;
    QMenu* mTemplate = nullptr;
    /// Passages common to this per cent of the texts are not counted; 0 is off.
    QLabel* LabelCommon = nullptr;
    QSpinBox* eCommonPercent = nullptr;
    /// The team archive's connection URI, never with a password; empty for
    /// none.
    QLabel* LabelArchive = nullptr;
    QLineEdit* eArchive = nullptr;
    /// Connects to the archive and says in sArchive what it found.
    QPushButton* bCheckArchive = nullptr;
    /// What the last check found, or where a password belongs.
    QLabel* sArchive = nullptr;
    QLabel* Label5 = nullptr;
    QSpinBox* eShingleLen = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label6 = nullptr;
    QCheckBox* eLemma = nullptr;
    QCheckBox* eCutHTML = nullptr;
    QCheckBox* eUnmask = nullptr;
    QLabel* Label3 = nullptr;
    QSlider* ePercent = nullptr;
    QLabel* sPercent = nullptr;
    QFrame* Panel3 = nullptr;
    QLabel* Label11 = nullptr;
    QProgressBar* Status1 = nullptr;
    QLabel* sStat1 = nullptr;
    QLabel* sProgress = nullptr;
    QProgressBar* Status2 = nullptr;
    QLabel* sStat2 = nullptr;
    QLabel* sProgress1 = nullptr;
    QProgressBar* Status3 = nullptr;
    QLabel* sStat3 = nullptr;
    QLabel* sRes = nullptr;
    QPushButton* bSelect = nullptr;
    QPushButton* bGo = nullptr;
    /// Opens the result page.
    QPushButton* bResults = nullptr;
    QWidget* TabSheet3 = nullptr;
    QLabel* Label21 = nullptr;
    /// The path of the folder chosen in DirTree, or one typed by hand.
    QLineEdit* eFolderPath = nullptr;
    QTreeView* DirTree = nullptr;
    QFileSystemModel* DirModel = nullptr;
    QPushButton* SpeedButton2 = nullptr;
    QPushButton* SpeedButton1 = nullptr;
    QWidget* TabSheet4 = nullptr;
    QLabel* Label22 = nullptr;
    QPlainTextEdit* eLog = nullptr;
    QPushButton* bBack = nullptr;
    QLabel* sResultsHint = nullptr;
    /// The compared documents of the last run, sortable by any column.
    QTableView* gResults = nullptr;
    quillmark::ScoreChart* cScores = nullptr;
    /// The families of copies of the table's selection; hidden when none.
    quillmark::FamilyList* lFamilies = nullptr;
    QFrame* Panel2 = nullptr;

    // EngineHost: the engine reads the settings from the controls and reports
    // into them.
    QString sourceDirectory() override;
    QString outputDirectory() override;
    int shingleLength() override;
    quillmark::Truncation truncation() override;
    quillmark::HtmlHandling htmlHandling() override;
    quillmark::Unmask unmask() override;
    int allowedPercent() override;
    QByteArray templatePath() override;
    int commonPercent() override;
    QByteArray archiveUri() override;
    quillmark::SaveMode saveMode() override;
    bool againstOutput() override;
    void setCounter(quillmark::ProgressRow row, const QString& text) override;
    void setProgressLabel(quillmark::ProgressRow row, const QString& text) override;
    void setBarRange(quillmark::ProgressRow row, int minimum, int maximum) override;
    void setBarPosition(quillmark::ProgressRow row, int position) override;
    void setResult(const QString& text) override;
    void setStartCaption(quillmark::StartCaption caption) override;
    void setStartState(quillmark::ButtonState state) override;
    void setSelectState(quillmark::ButtonState state) override;
    void clearLog() override;
    void appendLog(const QString& line, quillmark::PageSwitch page) override;
    void resultsChanged() override;
    void processEvents() override;
    void showError(const QString& text) override;
    quillmark::Answer ask(const QString& question) override;

public slots:
    /// Start-up: run by the constructor.
    void FormCreate();
    /// Writes the profile: run by the destructor.
    void FormDestroy();
    void ShowPercent();
    void ePercentChange();
    void bSetSrcDirClick();
    /// Offers the template's file or folder in a menu under bTemplate.
    void bTemplateClick();
    void chooseTemplateFile();
    /// Opens the folder page for the template's folder.
    void chooseTemplateFolder();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void bBackClick();
    void bResultsClick();
    /// Selects every row of family `number` in gResults.
    void selectFamily(int number);
    /// Opens the comparison of the document a row of gResults shows.
    void gResultsDblClick(const QModelIndex& index);
    /// Opens document `document` beside the earlier text it is most similar
    /// to; says so when there is none or a file cannot be read.
    void showComparison(std::int32_t document);
    void bGoClick();
    void bSelectClick();
    void sHomePageMouseEnter();
    void sHomePageMouseLeave();
    void sHomePageClick();
    /// Checks the archive eArchive names without holding up the window.
    void bCheckArchiveClick();

signals:
    /// A check of the archive ended and sArchive says how.
    void archiveChecked();

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildHeader();
    void buildSettingsPage();
    /// The template and the per cent of common text, below the output path.
    void buildTemplateRow();
    /// The shingle length, the reading switches, the saving mode and the
    /// allowed percentage.
    void buildOptionRows();
    /// The progress rows, the result line and the action buttons.
    void buildProgressPanel();
    void addSettingsHints();
    void addCommonTextHints();
    /// The archive's URI, its check button and what the check found.
    void buildArchiveRow();
    void layoutArchiveRow(int width);
    /// Takes a password out of eArchive, saying in sArchive where it
    /// belongs instead; returns the URI as it then stands.
    QString archiveWithoutPassword();
    /// What a check of the archive found: its size, or why it failed.
    struct ArchiveCheck {
        bool reached = false;
        qint64 texts = 0;
        QString failure;
    };
    static ArchiveCheck checkArchive(const QByteArray& uri);
    void showArchiveCheck();
    /// Shows `text` in sArchive, in red for a failure.
    void sayArchive(const QString& text, bool failure);
    void buildFolderPage();
    void buildResultPage();
    /// The table of compared documents over its sorting model.
    void buildResultTable();
    /// Opens at the drawn size and place where the screen has room, else as
    /// large as its free area allows, with `frame` around the window.
    void placeOnScreen(const QMargins& frame);
    /// Fits the bands and pages to the sheet's size: wider fields, a taller
    /// table and log; a short screen takes the empty room first.
    void layoutContent();
    void layoutHeader(int width, int height);
    /// The lowest page that shows every control of each page whole.
    int minimumPageHeight() const;
    /// The settings page's height with the result line at `resultTop` in
    /// the progress panel.
    int settingsPageHeight(int resultTop) const;
    /// The progress rows' captions above their bars, or beside them when
    /// `compact`.
    void layoutProgressRows(int width, bool compact);
    void layoutSettingsPage(int width, int page);
    void layoutTemplateRow(int width);
    void layoutFolderPage(int width, int page);
    void layoutResultPage(int width, int page);
    void addShortcuts();
    /// Clicks the visible button whose Alt letter is on the pressed key in
    /// the other keyboard layout; whether one was clicked.
    bool pressTwinMnemonic(QObject* watched, const QKeyEvent* key);
    /// Shows in DirTree the deepest folder of `path` it lists.
    void selectFolder(const QString& path);
    /// eFolderPath follows the folder selected in DirTree.
    void showTreeFolder();
    /// Brings the folder selectFolder chose back into view.
    void followFolder();
    /// Says so when document `document` has nothing to be compared with;
    /// whether it did.
    bool saidNothingToCompare(std::int32_t document);
    void closeIfPending();
    /// A run or a new selection is in progress.
    bool busy() const;
    /// The caption, bar and counter of one progress row.
    struct ProgressWidgets {
        QLabel* caption;
        QProgressBar* bar;
        QLabel* counter;
    };
    ProgressWidgets progressRow(quillmark::ProgressRow row) const;
    QProgressBar* bar(quillmark::ProgressRow row) const;
    QLabel* counter(quillmark::ProgressRow row) const;
    QLabel* caption(quillmark::ProgressRow row) const;
    QString errorTitle() const;

    QScrollArea* m_scroll = nullptr;
    /// The sheet all bands lie on.
    QWidget* m_content = nullptr;
    QFrame* m_headerRule = nullptr;
    QFrame* m_bottomRule = nullptr;
    /// The window has been placed again inside the frame its manager gave.
    bool m_placedInFrame = false;
    QString m_programDirectory;
    QUrl m_homePageUrl;
    quillmark::SettingsProfile m_profile;
    quillmark::BatchEngine m_engine;
    bool m_closePending = false;
    bool m_typingFolder = false;
    /// The field the folder page fills.
    enum class FolderFor { Source, Template };
    FolderFor m_folderFor = FolderFor::Source;
    /// The folder selectFolder chose, kept in view as the folders above it
    /// are listed.
    QString m_folderToShow;
    QTimer* m_followFolder = nullptr;
    /// Where DirTree takes the mouse; the user's first touch ends the following.
    QWidget* m_dirTreeViewport = nullptr;
    // The folder icons of the widget style: a desktop without an icon theme
    // would otherwise show none. Declared before the model, which uses it
    // until it is destroyed.
    std::unique_ptr<QFileIconProvider> m_folderIcons;
    std::unique_ptr<QFileSystemModel> m_dirModel;
    quillmark::ResultTableModel* m_results = nullptr;
    QSortFilterProxyModel* m_sortedResults = nullptr;
    QPointer<quillmark::ComparisonDialog> m_comparison;
    /// The archive check under way, if any.
    QFutureWatcher<ArchiveCheck> m_archiveCheck;
    /// A password was taken out of eArchive since it was last typed in.
    bool m_passwordTaken = false;
};
