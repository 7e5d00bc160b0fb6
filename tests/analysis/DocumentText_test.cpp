// What a reader of a .docx or .odt does not see is left out of its text;
// the rest reads in order, as it did before.
#include "analysis/DocumentText.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <string>
#include <utility>
#include <vector>

using namespace quillmark;

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

/// The bytes of a ZIP of `entries` (name, content), built in memory.
std::string zipOf(const Entries& entries) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
    zip_error_fini(&error);
    if (archive == nullptr)
        return {};
    zip_source_keep(buffer);
    for (const auto& [name, content] : entries)
        zip_file_add(archive, name.c_str(),
                     zip_source_buffer(archive, content.data(), content.size(), 0), 0);
    zip_close(archive);
    std::string bytes;
    if (zip_source_open(buffer) == 0) {
        char chunk[4096];
        for (zip_int64_t got; (got = zip_source_read(buffer, chunk, sizeof chunk)) > 0;)
            bytes.append(chunk, static_cast<std::size_t>(got));
        zip_source_close(buffer);
    }
    zip_source_free(buffer);
    return bytes;
}

std::string docx(const std::string& body) {
    return zipOf({{"word/document.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                                        "<w:document xmlns:w=\"urn:w\" xmlns:r=\"urn:r\"><w:body>" +
                                            body + "</w:body></w:document>"}});
}

/// A .docx of `body` whose word/styles.xml holds `styles`.
std::string docxWithStyles(const std::string& body, const std::string& styles) {
    return zipOf({{"word/document.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                                        "<w:document xmlns:w=\"urn:w\"><w:body>" +
                                            body + "</w:body></w:document>"},
                  {"word/styles.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                                      "<w:styles xmlns:w=\"urn:w\">" +
                                          styles + "</w:styles>"}});
}

/// A style of `type` (paragraph or character) whose run properties are
/// `properties`, based on `basedOn`.
std::string docxStyle(const std::string& type, const std::string& id, const std::string& properties,
                      const std::string& basedOn = {}) {
    std::string style = "<w:style w:type=\"" + type + "\" w:styleId=\"" + id + "\">";
    if (!basedOn.empty())
        style += "<w:basedOn w:val=\"" + basedOn + "\"/>";
    return style + "<w:rPr>" + properties + "</w:rPr></w:style>";
}

const char* const odtNamespaces = " xmlns:office=\"urn:office\" xmlns:text=\"urn:text\""
                                  " xmlns:style=\"urn:style\" xmlns:draw=\"urn:draw\"";

/// An .odt of `body` with the automatic styles `automatic` in its content
/// and the common styles `common` in styles.xml.
std::string odt(const std::string& body, const std::string& automatic = {},
                const std::string& common = {}) {
    const std::string content = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                                            "<office:document-content") +
                                odtNamespaces + "><office:automatic-styles>" + automatic +
                                "</office:automatic-styles><office:body><office:text>" + body +
                                "</office:text></office:body></office:document-content>";
    const std::string styles = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                                           "<office:document-styles") +
                               odtNamespaces + "><office:styles>" + common +
                               "</office:styles></office:document-styles>";
    return zipOf({{"mimetype", "application/vnd.oasis.opendocument.text"},
                  {"content.xml", content},
                  {"styles.xml", styles}});
}

/// A text style or paragraph style whose text properties say `display`
/// (none when empty), based on `parent`.
std::string odtStyle(const std::string& family, const std::string& name, const std::string& display,
                     const std::string& parent = {}) {
    std::string style = "<style:style style:name=\"" + name + "\" style:family=\"" + family + "\"";
    if (!parent.empty())
        style += " style:parent-style-name=\"" + parent + "\"";
    style += "><style:text-properties";
    if (!display.empty())
        style += " text:display=\"" + display + "\"";
    return style + " fo:font-weight=\"bold\"/></style:style>";
}

std::string run(const std::string& properties, const std::string& text) {
    return "<w:r><w:rPr>" + properties + "</w:rPr><w:t xml:space=\"preserve\">" + text +
           "</w:t></w:r>";
}

std::string run(const std::string& text) {
    return "<w:r><w:t xml:space=\"preserve\">" + text + "</w:t></w:r>";
}

struct Row {
    const char* what;
    std::string bytes;
    TextFormat format;
    std::string text;
};

void expectTexts(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        ASSERT_EQ(DocumentText::formatOf(row.bytes), row.format) << row.what;
        std::string encoding;
        EXPECT_EQ(DocumentText::paragraphsOf(row.bytes, row.format, encoding), row.text)
            << row.what;
    }
}

TEST(DocumentText, DocxHiddenRunsAreLeftOut) {
    const std::string p = "<w:p>";
    const std::string endP = "</w:p>";
    const std::vector<Row> rows = {
        {"no hidden run", docx(p + run("Один ") + run("<w:b/><w:i/>", "два") + endP),
         TextFormat::Docx, "Один два\n"},
        {"w:vanish and w:specVanish",
         docx(p + run("один ") + run("<w:b/><w:vanish/>", "тайна ") + run("два ") +
              run("<w:specVanish/>", "тайна ") + run("три") + endP),
         TextFormat::Docx, "один два три\n"},
        {"w:val turns it on or off",
         docx(p + run("<w:vanish w:val=\"0\"/>", "a ") + run("<w:vanish w:val=\"1\"/>", "x ") +
              run("<w:vanish w:val=\"false\"/>", "b ") + run("<w:vanish w:val=\"true\"/>", "y ") +
              run("<w:vanish w:val=\"off\"/>", "c ") + run("<w:vanish w:val=\"on\"/>", "z ") +
              run("<w:specVanish w:val=\"0\"/>", "d") + endP),
         TextFormat::Docx, "a b c d\n"},
        {"a hidden paragraph mark hides no text",
         docx("<w:p><w:pPr><w:rPr><w:vanish/></w:rPr></w:pPr>" + run("первый") + endP + p +
              run("второй") + endP),
         TextFormat::Docx, "первый\nвторой\n"},
        {"properties before a tracked change are not the run's",
         docx(p + run("<w:rPrChange w:id=\"1\"><w:rPr><w:vanish/></w:rPr></w:rPrChange>", "видно") +
              endP),
         TextFormat::Docx, "видно\n"},
    };
    expectTexts(rows);
}

TEST(DocumentText, DocxStylesHideTheirRuns) {
    const std::string styles =
        docxStyle("character", "Secret", "<w:vanish/>") +
        docxStyle("character", "Quiet", "<w:b/>", "Secret") +
        docxStyle("character", "Shown", "<w:vanish w:val=\"0\"/>", "Secret") +
        docxStyle("paragraph", "Note", "<w:specVanish/>") +
        docxStyle("character", "LoopA", "", "LoopB") + docxStyle("character", "LoopB", "", "LoopA");
    const auto style = [](const char* id) {
        return std::string("<w:rStyle w:val=\"") + id + "\"/>";
    };
    const std::vector<Row> rows = {
        {"a character style, directly and by the style it is based on",
         docxWithStyles("<w:p>" + run("один ") + run(style("Secret"), "x ") +
                            run(style("Quiet"), "y ") + run(style("Shown"), "два ") +
                            run(style("LoopA"), "три") + "</w:p>",
                        styles),
         TextFormat::Docx, "один два три\n"},
        {"a paragraph style; the run's own properties win",
         docxWithStyles("<w:p><w:pPr><w:pStyle w:val=\"Note\"/></w:pPr>" + run("x ") +
                            run("<w:vanish w:val=\"false\"/>", "видно") + "</w:p><w:p>" +
                            run("после") + "</w:p>",
                        styles),
         TextFormat::Docx, "видно\nпосле\n"},
        {"a damaged styles.xml hides nothing",
         zipOf({{"word/document.xml", "<w:document xmlns:w=\"urn:w\"><w:body><w:p>" +
                                          run(style("Secret"), "видно") +
                                          "</w:p></w:body></w:document>"},
                {"word/styles.xml", "<w:styles"}}),
         TextFormat::Docx, "видно\n"},
    };
    expectTexts(rows);
}

TEST(DocumentText, HiddenTextIsKeptApartForCounting) {
    const std::pair<std::string, std::string> cases[] = {
        {docx("<w:p>" + run("один ") + run("<w:vanish/>", "тайные слова") + run("два") +
              run("<w:vanish/>", "ещё") + "</w:p>"),
         "тайные слова\nещё\n"},
        {odt("<text:p>один <text:span text:display=\"none\">тайна <text:span>вся</text:span>"
             "</text:span>два</text:p><text:p text:display=\"none\">абзац</text:p>"),
         "тайна вся\nабзац\n"},
    };
    for (const auto& [bytes, hidden] : cases) {
        std::string encoding;
        std::string kept;
        DocumentText::paragraphsOf(bytes, DocumentText::formatOf(bytes), encoding, &kept);
        EXPECT_EQ(kept, hidden);
    }
}

TEST(DocumentText, OdtHiddenTextIsLeftOut) {
    const std::vector<Row> rows = {
        {"no hidden text",
         odt("<text:h>Заголовок</text:h><text:p>один <text:span text:style-name=\"T1\">два"
             "</text:span><text:s text:c=\"2\"/>три</text:p>",
             odtStyle("text", "T1", "") + odtStyle("text", "T2", "none")),
         TextFormat::Odt, "Заголовок\nодин два  три\n"},
        {"hidden text style, directly and by its parent",
         odt("<text:p>один <text:span text:style-name=\"T1\">x </text:span>два "
             "<text:span text:style-name=\"T2\">y </text:span>"
             "<text:span text:style-name=\"T3\">три</text:span></text:p>",
             odtStyle("text", "T1", "none") + odtStyle("text", "T2", "", "Hidden") +
                 odtStyle("text", "T3", "true", "Hidden"),
             odtStyle("text", "Hidden", "none")),
         TextFormat::Odt, "один два три\n"},
        {"hidden paragraph style; a text style of that name is another",
         odt("<text:p text:style-name=\"P1\">x</text:p><text:p text:style-name=\"P2\">виден"
             "</text:p><text:p text:style-name=\"Hidden\">y</text:p>",
             odtStyle("paragraph", "P1", "", "Hidden") + odtStyle("text", "P2", "none") +
                 odtStyle("paragraph", "P2", ""),
             odtStyle("paragraph", "Hidden", "none")),
         TextFormat::Odt, "виден\n"},
        {"display none on a paragraph, a span and a field",
         odt("<text:p text:display=\"none\">x</text:p><text:p>один <text:span "
             "text:display=\"none\">y </text:span>два<text:variable-set text:name=\"v\" "
             "text:display=\"none\">z</text:variable-set></text:p>"),
         TextFormat::Odt, "один два\n"},
        {"hidden-text and hidden-paragraph fields as last worked out",
         odt("<text:p>один <text:hidden-text text:condition=\"a\" text:string-value=\"x\" "
             "text:is-hidden=\"true\">x</text:hidden-text><text:hidden-text text:condition=\"b\" "
             "text:string-value=\"два\" text:is-hidden=\"false\">два</text:hidden-text></text:p>"
             "<text:p><text:span><text:hidden-paragraph text:condition=\"a\" "
             "text:is-hidden=\"true\"/></text:span>y</text:p>"
             "<text:p><text:hidden-paragraph text:condition=\"b\" text:is-hidden=\"false\"/>три"
             "</text:p>"),
         TextFormat::Odt, "один два\nтри\n"},
        {"a damaged styles.xml hides nothing",
         zipOf({{"mimetype", "application/vnd.oasis.opendocument.text"},
                {"content.xml", std::string("<?xml version=\"1.0\"?><office:document-content") +
                                    odtNamespaces +
                                    "><office:body><office:text><text:p>видно</text:p>"
                                    "</office:text></office:body></office:document-content>"},
                {"styles.xml", "<office:document-styles"}}),
         TextFormat::Odt, "видно\n"},
    };
    expectTexts(rows);
}

} // namespace

namespace {

/// Reads `bytes` as the reading step does: the format and the paragraphs,
/// or the reason it is not read.
std::pair<TextFormat, std::string> readDocument(const std::string& bytes) {
    try {
        const TextFormat format = DocumentText::formatOf(bytes);
        std::string encoding;
        return {format, DocumentText::paragraphsOf(bytes, format, encoding)};
    } catch (const UnreadableText& error) {
        return {error.format(), std::string("не прочитан: ") + error.what()};
    }
}

TEST(DocumentText, AZipOfOneDocumentIsThatDocument) {
    const std::string book = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><FictionBook "
                             "xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\"><body><section>"
                             "<p>Первая строка</p><p>вторая</p></section></body></FictionBook>";
    const std::string none = "не прочитан: архив, в котором нет документа";
    struct Row {
        const char* what;
        std::string bytes;
        TextFormat format;
        std::string text;
    };
    const std::vector<Row> rows = {
        {"a zipped book", zipOf({{"book.fb2", book}}), TextFormat::Fb2, "Первая строка\nвторая\n"},
        {"two books", zipOf({{"a.fb2", book}, {"b.fb2", book}}), TextFormat::Text, none},
        {"a plain text", zipOf({{"a.txt", "просто текст"}}), TextFormat::Text, none},
        {"a zip in a zip", zipOf({{"inner.zip", zipOf({{"book.fb2", book}})}}), TextFormat::Text,
         none},
        {"an empty archive", zipOf({{"dir/", ""}}), TextFormat::Text, none},
    };
    for (const Row& row : rows) {
        const auto [format, text] = readDocument(row.bytes);
        EXPECT_EQ(format, row.format) << row.what;
        EXPECT_EQ(text, row.text) << row.what;
    }
}

} // namespace
