#pragma once
// String routines of the localization engine and the list of lines that every
// translation list is.
//
// Texts are 8-bit strings in the system's code page, which on this platform is
// UTF-8; every character set converts through it. A line of a translation
// list is: the key, then per language the delimiter and that language's text,
// then one closing delimiter.
#include <QMetaType>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

// A list of lines. Every change moves its version on, so that an index built
// from it knows when it is out of date.
class TlcStringList {
public:
    TlcStringList() = default;
    TlcStringList(std::initializer_list<std::string> lines) : FLines(lines) {}
    TlcStringList(const TlcStringList& other) : FLines(other.FLines) {}
    TlcStringList& operator=(const TlcStringList& other);
    bool operator==(const TlcStringList& other) const { return FLines == other.FLines; }

    int Count() const { return static_cast<int>(FLines.size()); }
    bool Empty() const { return FLines.empty(); }
    // Raises Exception "List index out of bounds (%d)" for a bad index.
    const std::string& operator[](int index) const;
    const std::vector<std::string>& Lines() const { return FLines; }

    void Add(std::string line);
    void Insert(int index, std::string line);
    void Delete(int index);
    void Put(int index, std::string line);
    void Clear();

    // The lines, each followed by CR LF.
    std::string Text() const;
    // Splits at CR, LF or CR LF; a last line without line end counts.
    void SetText(std::string_view text);
    // Index of the line equal to the text without regard to case, or -1.
    int IndexOf(std::string_view text) const;

    std::uint64_t Version() const { return FVersion; }

private:
    void Check(int index) const;
    std::vector<std::string> FLines;
    std::uint64_t FVersion = 0;
};
Q_DECLARE_METATYPE(TlcStringList)

// Compares without regard to case (simple Unicode case folding); < 0, 0, > 0.
int lcCompareText(std::string_view a, std::string_view b);
inline bool lcSameText(std::string_view a, std::string_view b) { return lcCompareText(a, b) == 0; }
// The number of bytes of Text that Prefix covers when Text begins with it
// (without regard to case), or -1.
int lcStartsText(std::string_view text, std::string_view prefix);

// The text without leading and trailing delimiter bytes.
// A delimiter byte as a text of its own.
std::string lcDelim(unsigned char delim);
// The key of a translation line: the text before its first delimiter.
std::string lcLineKey(std::string_view line, unsigned char delim);
// The text before the first `c` (all of it without one), and after it
// (nothing without one).
std::string lcTextBefore(std::string_view text, char c);
std::string lcTextAfter(std::string_view text, char c);
std::string TrimDelimiters(std::string_view text, unsigned char delim);
// Inside a stored text (the translation data, the translation files) a CR is
// kept as the byte 0x19 and a LF as 0x1A, so that a line break cannot end the
// line that holds the text. Encode writes them so, Decode turns them back.
constexpr char lcStoredCR = '\x19';
constexpr char lcStoredLF = '\x1A';
std::string lcEncodeBreaks(std::string text);
std::string lcDecodeBreaks(std::string text);
std::u16string lcDecodeBreaks(std::u16string text);
// The platform counts as a modern one.
bool IsWindowsNT();
bool IsVistaOrLater();
// Field N of a delimited text: N = 0 from the first byte (always part of field
// 0) up to the next delimiter; N >= 1 the bytes after the N-th delimiter up to
// the next one or the end; empty when there are fewer than N delimiters.
std::string ExtractField(std::string_view text, unsigned char delim, int n);
// 1-based position of Pattern in Text (Boyer-Moore-Horspool), 0 when absent,
// 1 for an empty pattern.
int PosBMH(std::string_view pattern, std::string_view text);
// Replaces the first, or with all every, occurrence of Old by New. An empty
// Old changes nothing.
std::string ReplaceText(std::string_view text, std::string_view oldText, std::string_view newText, bool all);
// Fields ended by any of the delimiter bytes (empty fields count), 1-based:
// WordPosition gives the 1-based position of field N, or the text's length
// when there are fewer than N fields; ExtractWord the field, empty when there
// is none.
int WordPosition(int n, std::string_view text, std::string_view delimiters);
std::string ExtractWord(int n, std::string_view text, std::string_view delimiters);
int CountDelimiters(std::string_view text, std::string_view delimiters);
// The pieces between separators; a trailing empty piece is not added.
TlcStringList SplitText(std::string_view text, std::string_view separator);
std::string JoinLines(const TlcStringList& lines, std::string_view separator, bool skipEmpty);

// The lines of a UTF-16 text: a CR ends a line, a LF is dropped, text after the
// last CR is not a line.
class TlcWideStringsAdapter {
public:
    explicit TlcWideStringsAdapter(std::u16string_view text);
    int Count() const { return static_cast<int>(FLines.size()); }
    const std::u16string& Line(int index) const { return FLines.at(static_cast<size_t>(index)); }

private:
    std::vector<std::u16string> FLines;
};

// Conversions between 8-bit text in the code page of a character set, UTF-16
// and UTF-8. The code page of every character set is the system's (UTF-8);
// bytes that are no UTF-8 become U+FFFD on the way to 16 bits.
std::u16string AnsiToWide(std::string_view text, int charset);
std::string WideToAnsi(std::u16string_view text, int charset);
std::string AnsiToUTF8(std::string_view text, int charset);
std::string UTF8ToAnsi(std::string_view text, int charset);

// Unicode code points of a UTF-8 text and back.
std::u32string lcToCodePoints(std::string_view text);
std::string lcFromCodePoints(std::u32string_view points);
