// Byte offsets of a Windows-1251 text against the positions of a real text
// view holding it.
#include "window/DisplayText.h"

#include <QPlainTextEdit>
#include <QTest>
#include <QTextDocument>

using namespace quillmark;

class DisplayTextTest : public QObject {
    Q_OBJECT

private slots:
    void offsetsMeetTheViewsCharacters() {
        // "мир" in Windows-1251, line ends of every kind, a lone CR, a tab.
        const std::string text = "ab \xec\xe8\xf0\r\ncd\r\n\r\nef\rgh\n\tij\r\n";
        const DisplayText display(text);
        QPlainTextEdit view;
        view.setPlainText(display.text());
        const QTextDocument* document = view.document();
        QCOMPARE(document->characterCount() - 1, display.text().size());
        QCOMPARE(display.text().mid(3, 3), QStringLiteral("мир"));

        // Every byte that is not the CR of a CR LF pair is the character the
        // view holds at the byte's position.
        for (std::size_t offset = 0; offset < text.size(); ++offset) {
            const unsigned char byte = static_cast<unsigned char>(text[offset]);
            if (byte == '\r' && offset + 1 < text.size() && text[offset + 1] == '\n')
                continue;
            const QChar shown = document->characterAt(display.position(offset));
            if (byte == '\n' || byte == '\r') {
                QCOMPARE(shown, QChar(QChar::ParagraphSeparator));
                continue;
            }
            if (byte < 0x80)
                QCOMPARE(shown, QChar(byte));
            else
                QVERIFY(shown.unicode() >= 0x400 && shown.unicode() < 0x460);
        }
        // The end of the text is the end of the view's text.
        QCOMPARE(display.position(text.size()), display.text().size());
        // Between a CR and its LF: on the line break.
        QCOMPARE(document->characterAt(display.position(7)), QChar(QChar::ParagraphSeparator));
    }

    void textWithoutLineEndsIsUnchanged() {
        const DisplayText display(std::string("one two"));
        QCOMPARE(display.text(), QStringLiteral("one two"));
        for (std::size_t offset = 0; offset <= 7; ++offset)
            QCOMPARE(display.position(offset), int(offset));
        const DisplayText empty{std::string()};
        QCOMPARE(empty.position(0), 0);
    }
};

QTEST_MAIN(DisplayTextTest)
#include "DisplayText_test.moc"
