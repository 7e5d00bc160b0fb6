// Reading texts in other encodings and containers: the same article gives
// one fingerprint, a mixed batch scores as its Windows-1251 twin, and a file
// without text is listed as not read and left where it is.
#include "FakeHost.h"
#include "Sandbox.h"
#include "engine/BatchEngine.h"
#include "engine/TextFile.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <gtest/gtest.h>
#include <iconv.h>
#include <set>
#include <utility>
#include <vector>
#include <zip.h>

namespace quillmark::test {
namespace {

const QString fixtures = QStringLiteral(QUILLMARK_ANALYSIS_FIXTURES);
const QString samples = QStringLiteral(QUILLMARK_SAMPLES);

TudShingleList fingerprintOf(const std::string& text) {
    TudShingleList list;
    ShinglesFromText(text, Truncation::Off, HtmlHandling::Keep, 3, list);
    return list;
}

TEST(TextReading, EveryEncodingAndContainerGivesOneFingerprint) {
    struct Row {
        const char* file;
        TextFormat format;
        Encoding encoding;
    };
    const Row rows[] = {
        {"utf-8.txt", TextFormat::Text, Encoding::Utf8},
        {"utf-8-bom.txt", TextFormat::Text, Encoding::Utf8},
        {"utf-16le.txt", TextFormat::Text, Encoding::Utf16Le},
        {"utf-16be.txt", TextFormat::Text, Encoding::Utf16Be},
        {"utf-32le.txt", TextFormat::Text, Encoding::Utf32Le},
        {"koi8-r.txt", TextFormat::Text, Encoding::Koi8R},
        {"cp866.txt", TextFormat::Text, Encoding::Cp866},
        {"iso-8859-5.txt", TextFormat::Text, Encoding::Iso8859_5},
        {"mac-cyrillic.txt", TextFormat::Text, Encoding::MacCyrillic},
        {"article.docx", TextFormat::Docx, Encoding::Auto},
        {"article.odt", TextFormat::Odt, Encoding::Auto},
        {"article.epub", TextFormat::Epub, Encoding::Auto},
        {"article.fb2", TextFormat::Fb2, Encoding::Utf8},
        {"article-1251.fb2", TextFormat::Fb2, Encoding::Windows1251},
    };
    const std::string original = TextFile::read(QFile::encodeName(samples + "/son.txt"));
    const TudShingleList expected = fingerprintOf(original);
    ASSERT_GT(expected.Count, 100);
    for (const Row& row : rows) {
        const QByteArray path = QFile::encodeName(fixtures + "/reading/" + row.file);
        const TextReader::Result read = TextFile::load(path, HtmlHandling::Keep, Encoding::Auto);
        EXPECT_EQ(read.origin, (TextOrigin{row.format, row.encoding})) << row.file;
        EXPECT_EQ(fingerprintOf(read.text).Hashes, expected.Hashes) << row.file;
    }
}

TEST(TextReading, Windows1251ComesThroughByteForByte) {
    // Capitals only: KOI8-R reads the same bytes as a lower-case text.
    for (const QString& file :
         {samples + "/son.txt", fixtures + "/reading/windows-1251-capitals.txt",
          fixtures + "/article.txt", fixtures + "/legacy.txt"}) {
        const QByteArray path = QFile::encodeName(file);
        const TextReader::Result read = TextFile::load(path, HtmlHandling::Keep, Encoding::Auto);
        EXPECT_EQ(read.origin.encoding, Encoding::Windows1251) << file.toStdString();
        EXPECT_EQ(read.text, TextFile::read(path)) << file.toStdString();
    }
}

/// `text` converted by iconv, independent of the reader's own tables.
std::string converted(const std::string& text, const char* to) {
    const iconv_t converter = iconv_open(to, "CP1251");
    std::string out(text.size() * 4 + 8, '\0');
    char* in = const_cast<char*>(text.data());
    char* at = out.data();
    std::size_t inLeft = text.size();
    std::size_t outLeft = out.size();
    while (inLeft > 0 && iconv(converter, &in, &inLeft, &at, &outLeft) == static_cast<size_t>(-1)) {
        ++in; // a sign the code page lacks; a separator either way
        --inLeft;
        *at++ = '?';
        --outLeft;
    }
    iconv_close(converter);
    out.resize(out.size() - outLeft);
    return out;
}

/// A .docx with one paragraph per line of the Windows-1251 text.
void writeDocx(const QString& path, const std::string& text) {
    std::string body;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find_first_of("\r\n", start), text.size());
        std::string line = converted(text.substr(start, end - start), "UTF-8");
        for (const auto& [sign, entity] : {std::pair{"&", "&amp;"}, {"<", "&lt;"}, {">", "&gt;"}})
            for (std::size_t at = 0; (at = line.find(sign, at)) != std::string::npos; at += 2)
                line.replace(at, 1, entity);
        body += "<w:p><w:r><w:t xml:space=\"preserve\">" + line + "</w:t></w:r></w:p>";
        start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    const std::string document =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:document xmlns:w=\"w\"><w:body>" + body +
        "</w:body></w:document>";
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_EXCL, &error);
    ASSERT_NE(archive, nullptr);
    zip_source_t* source = zip_source_buffer(archive, document.data(), document.size(), 0);
    ASSERT_GE(zip_file_add(archive, "word/document.xml", source, 0), 0);
    ASSERT_EQ(zip_close(archive), 0);
}

/// Writes a ZIP of `entries` (name, content) at `path`.
void writeZip(const QString& path,
              const std::vector<std::pair<std::string, std::string>>& entries) {
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_EXCL, &error);
    ASSERT_NE(archive, nullptr);
    for (const auto& [name, content] : entries) {
        zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
        ASSERT_GE(zip_file_add(archive, name.c_str(), source, 0), 0) << name;
    }
    ASSERT_EQ(zip_close(archive), 0);
}

/// An EPUB of `pages` pages, page k holding the word "pageK". The manifest
/// lists them last to first, so each spine entry is found by its id.
void writeEpub(const QString& path, int pages) {
    std::vector<std::pair<std::string, std::string>> entries = {
        {"mimetype", "application/epub+zip"},
        {"META-INF/container.xml",
         "<?xml version=\"1.0\"?><container><rootfiles><rootfile full-path=\"OEBPS/book.opf\"/>"
         "</rootfiles></container>"}};
    std::string manifest;
    std::string spine;
    for (int k = pages - 1; k >= 0; --k)
        manifest += "<item id=\"p" + std::to_string(k) + "\" href=\"text/" + std::to_string(k) +
                    ".xhtml\"/>";
    for (int k = 0; k < pages; ++k) {
        spine += "<itemref idref=\"p" + std::to_string(k) + "\"/>";
        entries.emplace_back("OEBPS/text/" + std::to_string(k) + ".xhtml",
                             "<html><body><p>page" + std::to_string(k) + "</p></body></html>");
    }
    entries.emplace_back("OEBPS/book.opf", "<?xml version=\"1.0\"?><package><manifest>" + manifest +
                                               "</manifest><spine>" + spine + "</spine></package>");
    writeZip(path, entries);
}

TEST(TextReading, AnEpubOfAsManyPagesAsTheLimitIsReadInSpineOrderAndOneMoreIsNot) {
    Sandbox box;
    const QString dir = box.makeDir(QStringLiteral("d"));
    const int pages = static_cast<int>(DocumentText::epubSpineItems);
    writeEpub(dir + "book.epub", pages);
    const TextReader::Result read =
        TextFile::load(QFile::encodeName(dir + "book.epub"), HtmlHandling::Keep, Encoding::Auto);
    EXPECT_EQ(read.origin, (TextOrigin{TextFormat::Epub, Encoding::Auto}));
    // In spine order, every page: each "pageK" right after "page(K-1)".
    std::size_t at = 0;
    for (int k = 0; k < pages; ++k) {
        at = read.text.find("page" + std::to_string(k) + "\r\n", at);
        ASSERT_NE(at, std::string::npos) << "page" << k;
    }

    // One page more is refused, by the count alone.
    writeEpub(dir + "longer.epub", pages + 1);
    try {
        TextFile::load(QFile::encodeName(dir + "longer.epub"), HtmlHandling::Keep, Encoding::Auto);
        ADD_FAILURE() << "an EPUB over the limit was read";
    } catch (const UnreadableText& error) {
        EXPECT_STREQ(error.what(), "в EPUB больше 5000 разделов");
        EXPECT_EQ(error.format(), TextFormat::Epub);
    }
}

TEST(TextReading, EveryMarklessFileKeepsItsReading) {
    // Samples and fixtures hold no UTF-16 without a mark: the zero-byte rule
    // leaves every one of them to the reading it always had.
    QStringList files;
    for (const QString& dir : {samples, fixtures, fixtures + "/reading", fixtures + "/unreadable"})
        for (const QString& name : QDir(dir).entryList(QDir::Files))
            files << dir + u'/' + name;
    ASSERT_GE(files.size(), 40);
    int wide = 0;
    for (const QString& file : files) {
        QFile in(file);
        ASSERT_TRUE(in.open(QIODevice::ReadOnly)) << file.toStdString();
        const std::string bytes = in.readAll().toStdString();
        if (TextEncoding::fromByteOrderMark(bytes) != Encoding::Auto) {
            ++wide;
            continue;
        }
        EXPECT_EQ(TextEncoding::utf16WithoutMark(bytes), Encoding::Auto) << file.toStdString();
    }
    EXPECT_EQ(wide, 4) << "UTF-8 with a mark, UTF-16LE, UTF-16BE, UTF-32LE";
}

/// The glyph names of the Windows-1251 letters, so that a PDF's text layer
/// says which letters it shows without embedding a font.
std::string cyrillicDifferences() {
    std::string names = "/Differences [168 /afii10023 184 /afii10071 192";
    for (int letter = 0; letter < 64; ++letter) {
        // Ё sits between Е and Ж in the glyph names' order.
        const int upper = letter < 32 ? letter : letter - 32;
        const int name = (letter < 32 ? 10017 : 10065) + upper + (upper >= 6 ? 1 : 0);
        names += " /afii" + std::to_string(name);
    }
    return names + "]";
}

/// A PDF showing the words of a Windows-1251 text as a word processor lays
/// them out: lines of at most `columns` characters, 50 lines a page, each
/// paragraph starting a new line.
std::string pdfOf(const std::string& text, std::size_t columns) {
    std::vector<std::string> lines;
    std::string line;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find_first_of(" \r\n", start), text.size());
        const std::string word = text.substr(start, end - start);
        if (!word.empty() && !line.empty() && line.size() + 1 + word.size() > columns)
            lines.push_back(std::exchange(line, {}));
        if (!word.empty())
            line += (line.empty() ? "" : " ") + word;
        if ((end < text.size() && text[end] != ' ' && !line.empty()) || end == text.size())
            lines.push_back(std::exchange(line, {}));
        start = end + 1;
    }
    std::string widths;
    for (int code = 32; code <= 255; ++code)
        widths += "500 ";
    std::vector<std::string> objects = {
        "<</Type/Catalog/Pages 2 0 R>>", "",
        "<</Type/Font/Subtype/Type1/BaseFont/Helvetica/FirstChar 32/LastChar 255/Widths[" + widths +
            "]/Encoding<</Type/Encoding/BaseEncoding/WinAnsiEncoding" + cyrillicDifferences() +
            ">>>>"};
    std::string kids;
    for (std::size_t first = 0; first < lines.size(); first += 50) {
        std::string content = "BT /F1 11 Tf 14 TL 40 800 Td";
        for (std::size_t i = first; i < std::min(first + 50, lines.size()); ++i) {
            content += " (";
            for (const char c : lines[i])
                content +=
                    c == '(' || c == ')' || c == '\\' ? std::string("\\") + c : std::string(1, c);
            content += ") Tj T*";
        }
        content += " ET";
        objects.push_back("<</Length " + std::to_string(content.size()) + ">>\nstream\n" + content +
                          "\nendstream");
        objects.push_back("<</Type/Page/Parent 2 0 R/MediaBox[0 0 595 842]/Resources<</Font"
                          "<</F1 3 0 R>>>>/Contents " +
                          std::to_string(objects.size()) + " 0 R>>");
        kids += std::to_string(objects.size()) + " 0 R ";
    }
    objects[1] =
        "<</Type/Pages/Kids[" + kids + "]/Count " + std::to_string((lines.size() + 49) / 50) + ">>";
    std::string pdf = "%PDF-1.4\n";
    std::string xref = "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (std::size_t i = 0; i < objects.size(); ++i) {
        char entry[21];
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", pdf.size());
        xref += entry;
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::size_t xrefAt = pdf.size();
    return pdf + xref + "trailer\n<</Size " + std::to_string(objects.size() + 1) +
           "/Root 1 0 R>>\nstartxref\n" + std::to_string(xrefAt) + "\n%%EOF\n";
}

class TextReadingRun : public ::testing::Test {
protected:
    void SetUp() override {
        host.shingleLen = 4;
        host.truncationSwitch = Truncation::On;
        host.mode = SaveMode::None;
    }
    void run(const QString& source) {
        host.source = source;
        host.output = source + QStringLiteral("Result/");
        engine.startOrStopRun();
    }
    Sandbox box;
    FakeHost host;
    BatchEngine engine{host};
};

TEST_F(TextReadingRun, MixedBatchScoresAsItsWindows1251Twin) {
    const QString twin = box.makeDir(QStringLiteral("twin"));
    const QString mixed = box.makeDir(QStringLiteral("mixed"));
    QStringList articles = QDir(samples).entryList({QStringLiteral("*.txt")}, QDir::Files);
    articles.removeIf(
        [](const QString& name) { return name.endsWith(QStringLiteral("-utf8.txt")); });
    ASSERT_GE(articles.size(), 12);
    int index = 0;
    for (const QString& article : articles) {
        const QByteArray bytes = Sandbox::read(samples + u'/', QFile::encodeName(article));
        const std::string text = bytes.toStdString();
        const QByteArray name = QFile::encodeName(article);
        box.write(twin, name, bytes);
        switch (index++ % 6) {
        case 0:
            box.write(mixed, name, bytes);
            break;
        case 1:
            box.write(mixed, name, QByteArray::fromStdString(converted(text, "UTF-8")));
            break;
        case 2:
            box.write(mixed, name,
                      "\xFF\xFE" + QByteArray::fromStdString(converted(text, "UTF-16LE")));
            break;
        case 3:
            box.write(mixed, name, QByteArray::fromStdString(converted(text, "KOI8-R")));
            break;
        case 4:
            writeDocx(mixed + article, text);
            break;
        case 5: // no byte-order mark: told by its zero bytes
            box.write(mixed, name, QByteArray::fromStdString(converted(text, "UTF-16BE")));
            break;
        }
    }
    run(twin);
    const DocumentTable expected = engine.documents();
    run(mixed);
    const DocumentTable& got = engine.documents();
    ASSERT_EQ(got.names, expected.names);
    EXPECT_EQ(got.scores, expected.scores);
    EXPECT_EQ(got.bestMatches, expected.bestMatches);
    EXPECT_TRUE(got.unread.empty());
    EXPECT_NE(std::count(got.scores.begin(), got.scores.end(), 0), got.count())
        << "the batch holds similar texts";
    std::set<Encoding> encodings;
    for (const TextOrigin& origin : got.origins)
        encodings.insert(origin.encoding);
    EXPECT_EQ(encodings.size(), 6u) << "Windows-1251, UTF-8, UTF-16LE, KOI8-R, UTF-16BE and none";
}

TEST_F(TextReadingRun, UnmaskedPdfScoresAsTheTextItWasMadeFrom) {
    const QString source = box.makeDir(QStringLiteral("src"));
    const QByteArray article = Sandbox::read(samples + u'/', "baikal.txt");
    ASSERT_TRUE(article.contains("\r\n")) << "paragraphs a line each";
    box.write(source, "a.txt", article);
    box.write(source, "b.pdf", QByteArray::fromStdString(pdfOf(article.toStdString(), 70)));
    host.shingleLen = 10;
    for (const Unmask unmask : {Unmask::Off, Unmask::On}) {
        host.unmaskSwitch = unmask;
        run(source);
        const DocumentTable& documents = engine.documents();
        ASSERT_EQ(documents.count(), 2);
        ASSERT_EQ(documents.origins[1].format, TextFormat::Pdf);
        // Read as it is, the text's line ends join words its PDF keeps apart.
        EXPECT_EQ(documents.scores[1] == 100, unmask == Unmask::On) << documents.scores[1];
    }
}

TEST_F(TextReadingRun, OfficeFilesScoreAsTheArticlesTheyWereMadeFrom) {
    // Saved by LibreOffice (scripts/make-sample-office). Read as plain text,
    // their escapes and control words would share nothing with the articles.
    const QString source = box.makeDir(QStringLiteral("src"));
    for (const char* name : {"kosmos.txt", "kosmos.doc", "pchely.rtf", "pchely.txt"})
        box.write(source, name, Sandbox::read(samples + u'/', name));
    run(source);
    const DocumentTable& documents = engine.documents();
    ASSERT_EQ(documents.names,
              (std::vector<QByteArray>{"kosmos.doc", "kosmos.txt", "pchely.rtf", "pchely.txt"}));
    EXPECT_TRUE(documents.unread.empty());
    EXPECT_EQ(documents.origins[0], (TextOrigin{TextFormat::Doc, Encoding::Auto}));
    EXPECT_EQ(documents.origins[2], (TextOrigin{TextFormat::Rtf, Encoding::Auto}));
    EXPECT_EQ(documents.scores[1], 100);
    EXPECT_EQ(documents.scores[3], 100);
}

TEST_F(TextReadingRun, HiddenDocumentWordsCountAsDisguised) {
    const QString source = box.makeDir(QStringLiteral("src"));
    writeZip(source + QStringLiteral("a.docx"),
             {{"word/document.xml",
               "<w:document xmlns:w=\"w\"><w:body><w:p><w:r><w:t>видимый текст </w:t></w:r>"
               "<w:r><w:rPr><w:vanish/></w:rPr><w:t>три тайных слова</w:t></w:r>"
               "<w:r><w:t>и м\x61ска</w:t></w:r></w:p></w:body></w:document>"}});
    for (const Unmask unmask : {Unmask::Off, Unmask::On}) {
        host.unmaskSwitch = unmask;
        run(source);
        EXPECT_EQ(engine.documents().disguisedWords, std::vector<std::int32_t>{4});
    }
}

TEST_F(TextReadingRun, FilesWithoutTextAreListedAndStayWhereTheyAre) {
    struct Row {
        const char* file;
        const char* reason;
    };
    const Row rows[] = {
        {"bomb.docx", "распаковывается больше допустимого"},
        {"broken-xml.docx", "повреждён"},
        {"broken.docx", "повреждён"},
        {"laughs.fb2", "повреждён"},
        {"photos.zip", "нет документа"},
        {"picture.png", "изображение"},
        {"program", "исполняемый файл"},
        {"scan.pdf", "нет текстового слоя"},
    };
    const QString source = box.makeDir(QStringLiteral("src"));
    for (const Row& row : rows)
        box.write(source, row.file, Sandbox::read(fixtures + "/unreadable/", row.file));
    box.write(source, "a.txt", wordsText(1, 80));
    box.write(source, "b.txt", wordsText(2, 80));
    host.mode = SaveMode::Move;
    run(source);

    const DocumentTable& documents = engine.documents();
    EXPECT_EQ(documents.names, (std::vector<QByteArray>{"a.txt", "b.txt"}));
    ASSERT_EQ(documents.unread.size(), std::size(rows));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(documents.unread[i].name, rows[i].file);
        EXPECT_TRUE(documents.unread[i].reason.contains(QString::fromUtf8(rows[i].reason)))
            << rows[i].file << ": " << documents.unread[i].reason.toStdString();
        EXPECT_TRUE(Sandbox::exists(source, rows[i].file)) << rows[i].file;
        EXPECT_TRUE(host.messages().contains(
            QStringLiteral("Файл \"%1\" не прочитан: %2")
                .arg(QString::fromUtf8(rows[i].file), documents.unread[i].reason)));
    }
    EXPECT_TRUE(host.messages().contains(QStringLiteral("Загружено файлов: 2, не прочитано - 8")));
    EXPECT_TRUE(host.result.endsWith(QStringLiteral(", не прочитано - 8")))
        << host.result.toStdString();
    EXPECT_TRUE(host.errors.isEmpty());
    EXPECT_EQ(engine.lastOutcome(), RunOutcome::Completed);
    EXPECT_TRUE(Sandbox::exists(host.output, "a.txt"));

    // A new selection works on the texts read; the others stay put.
    host.percent = 100;
    engine.makeNewSelection();
    for (const Row& row : rows)
        EXPECT_TRUE(Sandbox::exists(source, row.file)) << row.file;
    EXPECT_EQ(Sandbox::names(host.output).size(), 2);
}

} // namespace
} // namespace quillmark::test
