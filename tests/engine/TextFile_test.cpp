#include "Sandbox.h"
#include "engine/TextFile.h"

#include <QFile>

#include <gtest/gtest.h>

namespace quillmark::test {
namespace {

TEST(TextFile, LineEndsBecomeCrLf) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", ""},
        {"abc", "abc\r\n"},
        {"abc\n", "abc\r\n"},
        {"abc\r\n", "abc\r\n"},
        {"abc\r", "abc\r\n"},
        {"a\nb\rc\r\nd", "a\r\nb\r\nc\r\nd\r\n"},
        {"a\n\rb", "a\r\n\r\nb\r\n"}, // LF CR is two line ends
        {"a\r\r\nb", "a\r\n\r\nb\r\n"},
        {"\n", "\r\n"},
        {"\n\n", "\r\n\r\n"},
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(TextFile::toText(bytes), text) << "input of " << bytes.size() << " bytes";
}

TEST(TextFile, TextEndsAtTheFirstNul) {
    using namespace std::string_literals;
    EXPECT_EQ(TextFile::toText("\0abc"s), "");
    EXPECT_EQ(TextFile::toText("ab\0cd\nef"s), "ab\r\n");
    EXPECT_EQ(TextFile::toText("ab\n\0cd"s), "ab\r\n");
    EXPECT_EQ(TextFile::toText("ab\r\0\ncd"s), "ab\r\n");
}

TEST(TextFile, ReadsFilesOfAnySizeAndReportsFailures) {
    Sandbox box;
    const QString dir = box.makeDir(QStringLiteral("d"));
    std::string big(200000, 'x');
    big[100000] = '\n';
    box.write(dir, "big", QByteArray::fromStdString(big));
    const std::string text = TextFile::read(QFile::encodeName(dir) + "big");
    EXPECT_EQ(text.size(), big.size() + 3);
    EXPECT_EQ(text.substr(100000, 3), "\r\nx");

    box.write(dir, "nul", QByteArray("line\nrest\0more", 14));
    EXPECT_EQ(TextFile::read(QFile::encodeName(dir) + "nul"), "line\r\nrest\r\n");

    try {
        TextFile::read(QFile::encodeName(dir) + "missing");
        FAIL() << "a missing file must not read";
    } catch (const FileOpenError& error) {
        EXPECT_EQ(
            QString::fromUtf8(error.what()),
            QStringLiteral("Cannot open file \"%1missing\". Нет такого файла или каталога").arg(dir));
    }
    EXPECT_THROW(TextFile::read(QFile::encodeName(dir)), FileOpenError) << "a directory";
}

TEST(TextFile, AFileOverTheSizeLimitIsRefusedBeforeItIsRead) {
    Sandbox box;
    const QString dir = box.makeDir(QStringLiteral("d"));
    box.write(dir, "ten", QByteArray(10, 'x'));
    FileIdentity identity;
    EXPECT_EQ(TextFile::bytes(QFile::encodeName(dir) + "ten", identity, 10), std::string(10, 'x'));
    EXPECT_THROW(TextFile::bytes(QFile::encodeName(dir) + "ten", identity, 9), UnreadableText);

    // Sparse: the size says 256 MB and one byte, no byte is written or read.
    QFile huge(dir + "huge");
    ASSERT_TRUE(huge.open(QIODevice::NewOnly | QIODevice::WriteOnly));
    ASSERT_TRUE(huge.resize(static_cast<qint64>(TextReader::maxFileSize) + 1));
    huge.close();
    try {
        TextFile::load(QFile::encodeName(dir) + "huge", HtmlHandling::Keep, Encoding::Auto);
        FAIL() << "a file over 256 MB was read";
    } catch (const UnreadableText& error) {
        EXPECT_STREQ(error.what(), "файл больше 256 МБ");
    }
}

TEST(TextFile, SystemMessageLosesTrailingBlanksAndFullStops) {
    EXPECT_EQ(TextFile::systemMessage(ENOENT), QStringLiteral("Нет такого файла или каталога"));
    EXPECT_FALSE(TextFile::systemMessage(EIO).endsWith(u'.'));
}

} // namespace
} // namespace quillmark::test
