// The narrow interface through which the batch engine reads the settings the
// user chose and reports what it does. The window implements it over its
// controls, the command line over its options and the terminal, the tests with
// a recording fake.
#pragma once

#include "analysis/TextEncoding.h"
#include "analysis/udShingles.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <vector>

namespace quillmark {

/// The three progress rows of the settings page, top to bottom.
enum class ProgressRow { Loading, Comparison, Saving };

/// Whether a log line also brings the result page to the front.
enum class PageSwitch { KeepPage, ShowResultPage };

/// The caption of the start button: "&Сравнить" or "&Остановить".
enum class StartCaption { Start, Stop };

enum class ButtonState { Disabled, Enabled };

/// What the saving step does with the selection. The window offers Move and
/// Copy (check box eDelFiles); None leaves the disk untouched and does not even
/// create the output directory.
enum class SaveMode { None, Copy, Move };

enum class Answer { Yes, No };

class EngineHost {
public:
    virtual ~EngineHost() = default;

    // Read at the start of a run (and of a new selection).
    virtual QString sourceDirectory() = 0;
    virtual QString outputDirectory() = 0;
    /// The same two as the file system's bytes. A host that holds the user's
    /// own bytes (a command line) gives them unchanged: a name that is not
    /// valid in the locale's encoding would not survive the text above.
    virtual QByteArray sourcePath() { return QFile::encodeName(sourceDirectory()); }
    virtual QByteArray outputPath() { return QFile::encodeName(outputDirectory()); }
    // Read for each file, just before it is fingerprinted.
    virtual int shingleLength() = 0;
    virtual Truncation truncation() = 0;
    virtual HtmlHandling htmlHandling() = 0;
    /// Whether disguised characters are read as the letters they stand for.
    virtual Unmask unmask() { return Unmask::Off; }
    /// The encoding plain texts and pages are read in; Auto tells it per file.
    virtual Encoding forcedEncoding() { return Encoding::Auto; }
    // Read once when comparison starts, and by a new selection.
    virtual int allowedPercent() = 0;
    /// Read when comparison starts: the template whose text is left out of
    /// every score (a file or a directory of files; empty for none), and the
    /// per cent of texts a shingle must be common to for it to be left out
    /// (0 for none).
    virtual QByteArray templatePath() { return {}; }
    virtual int commonPercent() { return 0; }
    // Read at the start of a run and by the saving step.
    virtual SaveMode saveMode() = 0;
    // Read at the start of a run: the reference texts the batch is checked
    // against besides itself.
    /// Whether the texts already in the output directory are references.
    virtual bool againstOutput() { return false; }
    /// Further reference directories, in order, as the file system's bytes.
    virtual std::vector<QByteArray> referencePaths() { return {}; }
    /// The file of the reference cache; empty to read every reference anew.
    virtual QByteArray referenceCachePath();
    /// The team archive's connection URI; empty when the run goes without.
    virtual QByteArray archiveUri() { return {}; }

    /// sStat1, sStat2, sStat3.
    virtual void setCounter(ProgressRow row, const QString& text) = 0;
    /// sProgress (Comparison) and sProgress1 (Saving); Loading has no label of
    /// its own to set.
    virtual void setProgressLabel(ProgressRow row, const QString& text) = 0;
    /// Status1, Status2, Status3.
    virtual void setBarRange(ProgressRow row, int minimum, int maximum) = 0;
    virtual void setBarPosition(ProgressRow row, int position) = 0;
    /// sRes.
    virtual void setResult(const QString& text) = 0;
    /// bGo.
    virtual void setStartCaption(StartCaption caption) = 0;
    virtual void setStartState(ButtonState state) = 0;
    /// bSelect.
    virtual void setSelectState(ButtonState state) = 0;
    /// eLog.
    virtual void clearLog() = 0;
    virtual void appendLog(const QString& line, PageSwitch page) = 0;

    /// The document table changed: a run cleared it to load anew, a run ended
    /// (its compared documents are the results, all of them unless it was
    /// stopped), or a new selection was made. The engine's documents() and
    /// selectionPercent() tell what to show; nothing shown may refer to the
    /// table as it was before the call.
    virtual void resultsChanged() = 0;

    /// Lets the user interface handle what is pending (repaints, a stop press).
    virtual void processEvents() = 0;
    /// An error that ends the operation at hand; the text already carries its
    /// final full stop.
    virtual void showError(const QString& text) = 0;
    /// The Yes/No question before a stricter new selection.
    virtual Answer ask(const QString& question) = 0;
};

} // namespace quillmark
