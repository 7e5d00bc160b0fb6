// Letters that share a key in the Russian and the Latin layouts, and the
// Alt letter a caption marks.
#include "window/LayoutTwins.h"

#include <QTest>

using namespace quillmark;

class LayoutTwinsTest : public QObject {
    Q_OBJECT

private slots:
    void twinsShareAKey() {
        // The letters of the window's captions, and the corners of the rows.
        const QList<QPair<QChar, QChar>> pairs{
            {u'В', u'D'}, {u'Н', u'Y'}, {u'С', u'C'},  {u'Р', u'H'}, {u'О', u'J'}, {u'Й', u'Q'},
            {u'Ъ', u']'}, {u'Ф', u'A'}, {u'Э', u'\''}, {u'Я', u'Z'}, {u'Ю', u'.'}, {u'Ё', u'`'},
        };
        for (const auto& [russian, latin] : pairs) {
            QCOMPARE(LayoutTwins::twinOf(russian), latin);
            QCOMPARE(LayoutTwins::twinOf(latin), russian);
            QCOMPARE(LayoutTwins::twinOf(russian.toLower()), latin);
        }
        // Every Russian letter has one key, and no two share it.
        QSet<QChar> keys;
        for (char16_t letter = u'А'; letter <= u'Я'; ++letter)
            keys.insert(LayoutTwins::twinOf(QChar(letter)));
        keys.insert(LayoutTwins::twinOf(QChar(u'Ё')));
        QCOMPARE(keys.size(), 33);
        QVERIFY(!keys.contains(QChar()));
        for (const QChar none : {QChar(u'1'), QChar(u' '), QChar(u'ß'), QChar(u'Ї')})
            QVERIFY(LayoutTwins::twinOf(none).isNull());
    }

    void mnemonicIsTheLetterAfterTheAmpersand() {
        QCOMPARE(LayoutTwins::mnemonicOf(QStringLiteral("&Выбрать..")), QChar(u'В'));
        QCOMPARE(LayoutTwins::mnemonicOf(QStringLiteral("C&ompare")), QChar(u'O'));
        QCOMPARE(LayoutTwins::mnemonicOf(QStringLiteral("Fish && &chips")), QChar(u'C'));
        QVERIFY(LayoutTwins::mnemonicOf(QStringLiteral("Назад")).isNull());
        QVERIFY(LayoutTwins::mnemonicOf(QStringLiteral("Tom && Jerry")).isNull());
        QVERIFY(LayoutTwins::mnemonicOf(QStringLiteral("end&")).isNull());
    }
};

QTEST_MAIN(LayoutTwinsTest)
#include "LayoutTwins_test.moc"
