// The character encodings a source text may come in, how to tell them from
// the bytes, and their conversion into Windows-1251, the alphabet of the
// fingerprint. Characters Windows-1251 lacks become '?', as in the HTML step.
#pragma once

#include <string>
#include <string_view>

namespace quillmark {

enum class Encoding {
    Auto, ///< not chosen: tell it from the bytes
    Windows1251,
    Utf8,
    Utf16Le,
    Utf16Be,
    Utf32Le,
    Utf32Be,
    Koi8R,
    Cp866,
    Iso8859_5,
    MacCyrillic,
};

class TextEncoding {
public:
    /// The name shown to the user ("Windows-1251", "UTF-8", "KOI8-R", ...);
    /// empty for Auto.
    static std::string_view name(Encoding encoding);
    /// The encoding of a charset label as web pages, XML and the command line
    /// write it ("utf-8", "cp1251", "x-mac-cyrillic", ...), case ignored;
    /// Auto for a label it does not know.
    static Encoding fromLabel(std::string_view label);

    /// The encoding a byte-order mark at the start of `bytes` gives; Auto
    /// when there is none, or when what follows a UTF-16 mark does not read
    /// as UTF-16 (a Windows-1251 text may begin with "юя" or "яю").
    static Encoding fromByteOrderMark(std::string_view bytes);
    /// The length of the byte-order mark of `encoding` at the start of
    /// `bytes`; 0 when it is not there.
    static std::size_t byteOrderMarkLength(std::string_view bytes, Encoding encoding);
    /// UTF-16LE or UTF-16BE for a text without a byte-order mark, told by
    /// its first 64 KB: at least 8 code units, zero bytes at one parity for
    /// at least one unit in 20 and hardly any at the other, hardly a control
    /// character and no unpaired surrogate. Auto otherwise, so a text with
    /// no zero byte, or too short to judge, reads as it always did.
    static Encoding utf16WithoutMark(std::string_view bytes);
    /// Whether `bytes` is well-formed UTF-8.
    static bool isUtf8(std::string_view bytes);
    /// The length of the well-formed UTF-8 sequence that begins at `at`; 0
    /// when none does (a stray continuation byte, an over-long form, a
    /// surrogate, a code point above U+10FFFF or a sequence cut short).
    static std::size_t utf8SequenceLength(std::string_view bytes, std::size_t at);
    /// Tells the encoding of a text without a byte-order mark: UTF-8 when it
    /// is well-formed UTF-8 with non-ASCII bytes, else the Cyrillic code page
    /// the detector names, else Windows-1251. A text that Windows-1251 reads
    /// as capitals only stays Windows-1251 when its lowercased form says so.
    static Encoding detect(std::string_view bytes);

    /// Converts `bytes` in `encoding` (not Auto) to Windows-1251; a
    /// byte-order mark of that encoding is dropped. Malformed sequences and
    /// a cut-off last character become '?'. Windows-1251 is returned as is.
    static std::string toWindows1251(std::string_view bytes, Encoding encoding);
};

} // namespace quillmark
