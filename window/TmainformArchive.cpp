// The team archive on the settings page: its connection URI, kept without a
// password, and a check that connects to it away from the window's thread
// and says beside the field what it found.
#include "Tmainform.h"

#include "FormLook.h"
#include "engine/ArchiveConnection.h"
#include "engine/TeamArchive.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtConcurrent/QtConcurrentRun>

#include <new>

using namespace quillmark;
using namespace quillmark::formlook;

namespace {

/// `text` cut at a word and ended with "…" where it does not fit `label`
/// wrapped at its smallest size; the tool tip keeps it whole.
QString fittingText(const QLabel* label, QString text) {
    const QFontMetrics metrics(label->font());
    const auto fits = [&](const QString& candidate) {
        return metrics.boundingRect(QRect(0, 0, label->width(), 10000), Qt::TextWordWrap, candidate)
                   .height() <= label->height();
    };
    while (!fits(text)) {
        const qsizetype blank = text.lastIndexOf(QLatin1Char(' '), text.size() - 3);
        if (blank <= 0)
            break;
        text = text.left(blank) + QStringLiteral("…");
    }
    return text;
}

} // namespace

void Tmainform::buildArchiveRow() {
    LabelArchive = makeLabel(Panel4, "LabelArchive", tr("Общий архив (PostgreSQL)"), Margin,
                             ArchiveCaptionTop);
    eArchive = named(new QLineEdit(Panel4), "eArchive");
    eArchive->setPlaceholderText(QStringLiteral("postgresql://editor@server/quillmark"));
    eArchive->setGeometry(Margin, ArchiveCaptionTop + 15, 260, 22);
    bCheckArchive = makeFlatButton(Panel4, "bCheckArchive", tr("Проверить"),
                                   QRect(0, ArchiveCaptionTop + 14, 0, 24), 0);
    setPixelSize(bCheckArchive, 11, QFont::Bold);
    bCheckArchive->resize(bCheckArchive->sizeHint().width(), bCheckArchive->height());
    // Beside the field, down from the caption's line: room for a server's
    // reason over two or three lines.
    sArchive = makeLabel(Panel4, "sArchive", QString(), 0, ArchiveCaptionTop - 1);
    sArchive->setWordWrap(true);
    sArchive->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    sArchive->setTextFormat(Qt::PlainText);

    const QString archive = tr("Сервер PostgreSQL с отпечатками принятых командой текстов: "
                               "каждая проверка сравнивает и с ними; пусто — без архива. Пароль "
                               "не хранится: он берётся из ~/.pgpass или PGPASSWORD");
    for (QWidget* control : {static_cast<QWidget*>(eArchive), static_cast<QWidget*>(LabelArchive)})
        control->setToolTip(archive);
    bCheckArchive->setToolTip(tr("Подключиться к архиву и узнать, сколько в нём текстов"));
    connect(bCheckArchive, &QPushButton::clicked, this, &Tmainform::bCheckArchiveClick);
    connect(eArchive, &QLineEdit::editingFinished, this, &Tmainform::archiveWithoutPassword);
    connect(eArchive, &QLineEdit::textEdited, this, [this] {
        m_passwordTaken = false;
        sayArchive(QString(), false);
    });
    connect(&m_archiveCheck, &QFutureWatcher<ArchiveCheck>::finished, this,
            &Tmainform::showArchiveCheck);
    layoutArchiveRow(ClientWidth);
}

void Tmainform::layoutArchiveRow(int width) {
    // The field takes half of what a wider window adds; what the check found
    // takes the rest up to the panel's edge.
    const int wider = width - ClientWidth;
    eArchive->resize(260 + wider / 2, eArchive->height());
    bCheckArchive->move(eArchive->geometry().right() + 5, bCheckArchive->y());
    const int left = bCheckArchive->geometry().right() + 9;
    sArchive->setGeometry(left, sArchive->y(), width - Margin - left, ArchiveRowHeight - 2);
    // The tool tip holds the whole text; the label may show it cut.
    sArchive->setText(sArchive->toolTip());
    fitWrappedText(sArchive, 11);
    sArchive->setText(fittingText(sArchive, sArchive->toolTip()));
}

void Tmainform::sayArchive(const QString& text, bool failure) {
    // Where the password went is said until the field is typed in again.
    const QString said = m_passwordTaken
                             ? tr("Пароль убран: он берётся из ~/.pgpass или PGPASSWORD.") +
                                   (text.isEmpty() ? QString() : QLatin1Char(' ') + text)
                             : text;
    sArchive->setText(said);
    sArchive->setToolTip(said);
    setColor(sArchive, QPalette::WindowText, failure ? Maroon : Navy);
    fitWrappedText(sArchive, 11);
    sArchive->setText(fittingText(sArchive, said));
}

QString Tmainform::archiveWithoutPassword() {
    const QString typed = eArchive->text();
    const QString kept = SettingsProfile::withoutPassword(typed);
    if (kept != typed) {
        eArchive->setText(kept);
        m_passwordTaken = true;
        sayArchive(QString(), true);
    }
    return kept.trimmed();
}

QByteArray Tmainform::archiveUri() {
    return archiveWithoutPassword().toUtf8();
}

Tmainform::ArchiveCheck Tmainform::checkArchive(const QByteArray& uri) {
    ArchiveCheck check;
    try {
        TeamArchive archive(uri);
        check.texts = archive.size();
        check.reached = true;
    } catch (const ArchiveError& error) {
        // Beside the field the archive's address need not be said again;
        // libpq's reason may go on with hints on further lines.
        check.failure = QString::fromUtf8(error.what())
                            .section(QLatin1Char('\n'), 0, 0)
                            .replace(QString::fromUtf8(uri) + QLatin1Char(' '), QString());
    } catch (const std::bad_alloc&) {
        check.failure = tr("Недостаточно памяти, чтобы проверить архив.");
    }
    return check;
}

void Tmainform::bCheckArchiveClick() {
    if (m_archiveCheck.isRunning())
        return;
    const QByteArray uri = archiveUri();
    if (uri.isEmpty()) {
        sayArchive(tr("Адрес архива не задан: проверки идут без архива."), false);
        emit archiveChecked();
        return;
    }
    sayArchive(tr("Подключение…"), false);
    bCheckArchive->setEnabled(false);
    m_archiveCheck.setFuture(QtConcurrent::run(&Tmainform::checkArchive, uri));
}

void Tmainform::showArchiveCheck() {
    bCheckArchive->setEnabled(true);
    const ArchiveCheck check = m_archiveCheck.result();
    if (check.reached)
        sayArchive(tr("Архив доступен: текстов - %1").arg(check.texts), false);
    else
        sayArchive(check.failure, true);
    emit archiveChecked();
}
