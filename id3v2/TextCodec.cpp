#include "TextCodec.h"

namespace varnello {

namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;
constexpr char32_t kLineFeed = 0x0A;
constexpr char32_t kCarriageReturn = 0x0D;

void AppendUtf8(std::string& out, char32_t c)
{
    auto put = [&out](unsigned value) { out.push_back(static_cast<char>(value)); };
    const auto v = static_cast<unsigned>(c);
    if (v < 0x80) {
        put(v);
    } else if (v < 0x800) {
        put(0xC0 | (v >> 6));
        put(0x80 | (v & 0x3F));
    } else if (v < 0x10000) {
        put(0xE0 | (v >> 12));
        put(0x80 | ((v >> 6) & 0x3F));
        put(0x80 | (v & 0x3F));
    } else {
        put(0xF0 | (v >> 18));
        put(0x80 | ((v >> 12) & 0x3F));
        put(0x80 | ((v >> 6) & 0x3F));
        put(0x80 | (v & 0x3F));
    }
}

enum class Utf8Status
{
    Ok,
    Invalid,
    Truncated
};

struct Utf8Character
{
    Utf8Status Status = Utf8Status::Invalid;
    char32_t Code = 0;
    std::size_t Length = 1;
};

// Reads one UTF-8 sequence at pos, never past end. Overlong forms, surrogates
// and values above U+10FFFF are invalid; a sequence that the end cuts short is
// truncated.
Utf8Character ReadUtf8(std::span<const std::uint8_t> bytes, std::size_t pos, std::size_t end)
{
    const std::uint8_t lead = bytes[pos];
    if (lead < 0x80) {
        return {Utf8Status::Ok, lead, 1};
    }
    std::size_t need = 0;
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return {};
    }
    char32_t code = lead & (0x3Fu >> need);
    for (std::size_t k = 1; k <= need; ++k) {
        if (pos + k >= end) {
            return {Utf8Status::Truncated, 0, k};
        }
        const std::uint8_t next = bytes[pos + k];
        if (next < low || next > high) {
            return {};
        }
        code = (code << 6) | (next & 0x3Fu);
        low = 0x80;
        high = 0xBF;
    }
    return {Utf8Status::Ok, code, need + 1};
}

// Every character of UTF-8 text; an invalid or cut-off sequence gives one
// replacement character per byte it spoils.
std::u32string ToCodePoints(std::string_view utf8)
{
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(utf8.data()),
                                              utf8.size());
    std::u32string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const Utf8Character c = ReadUtf8(bytes, pos, bytes.size());
        if (c.Status == Utf8Status::Ok) {
            out.push_back(c.Code);
            pos += c.Length;
        } else {
            out.push_back(kReplacementCharacter);
            ++pos;
        }
    }
    return out;
}

enum class Step
{
    Go,
    Stop,
    Fault
};

// How a decoded character acts on the text. ISO-8859-1 keeps a control
// character that ends the text (a final 0, or a line break outside multi-line
// text); the other encodings refuse control characters other than line breaks
// in multi-line text. A 0 ends the text in every encoding, and is kept except
// in UTF-16, where the 2-byte terminator is not part of the text.
struct CharacterRules
{
    bool Multiline = false;
    bool KeepsStoppingControl = false;
    bool KeepsTerminator = true;
};

Step TakeCharacter(char32_t c, const CharacterRules& rules, std::string& text)
{
    const bool lineBreak = c == kLineFeed || c == kCarriageReturn;
    if (c >= 0x20 || (rules.Multiline && lineBreak)) {
        AppendUtf8(text, c);
        return Step::Go;
    }
    if (c == 0) {
        if (rules.KeepsTerminator) {
            text.push_back('\0');
        }
        return Step::Stop;
    }
    if (rules.KeepsStoppingControl && (lineBreak || rules.Multiline)) {
        AppendUtf8(text, c);
        return Step::Stop;
    }
    return Step::Fault;
}

TextResult Finish(Step step, std::string& text)
{
    if (step == Step::Fault) {
        text.clear();
        return textresult::kControlCharacter;
    }
    return textresult::kOk;
}

// Appends the run of printable ASCII bytes at pos, which every encoding but
// UTF-16 stores as the characters themselves, in one piece.
void TakeAsciiRun(std::span<const std::uint8_t> data, std::size_t& pos, std::size_t end,
                  std::string& text)
{
    std::size_t run = pos;
    while (run < end && data[run] >= 0x20 && data[run] < 0x80) {
        ++run;
    }
    text.append(reinterpret_cast<const char*>(data.data() + pos), run - pos);
    pos = run;
}

TextResult DecodeLatin1(std::span<const std::uint8_t> data, std::size_t& pos, std::size_t end,
                        bool multiline, std::string& text)
{
    const CharacterRules rules{multiline, true, true};
    Step step = Step::Go;
    while (pos < end && step == Step::Go) {
        TakeAsciiRun(data, pos, end, text);
        if (pos < end) {
            step = TakeCharacter(data[pos++], rules, text);
        }
    }
    return Finish(step, text);
}

bool IsHighSurrogate(char32_t u)
{
    return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(char32_t u)
{
    return u >= 0xDC00 && u <= 0xDFFF;
}

TextResult DecodeUtf16(std::span<const std::uint8_t> data, std::size_t& pos, std::size_t end,
                       bool multiline, std::string& text, std::uint8_t encoding)
{
    bool bigEndian = encoding == textencoding::kUtf16BE;
    if (encoding == textencoding::kUtf16Bom) {
        if (end - pos < 2) {
            return textresult::kControlCharacter;
        }
        if (data[pos] == 0xFE && data[pos + 1] == 0xFF) {
            bigEndian = true;
        } else if (!(data[pos] == 0xFF && data[pos + 1] == 0xFE)) {
            return textresult::kControlCharacter;
        }
        pos += 2;
    }
    auto unitAt = [&](std::size_t at) -> char32_t {
        return bigEndian ? (char32_t{data[at]} << 8) | data[at + 1]
                         : (char32_t{data[at + 1]} << 8) | data[at];
    };
    const CharacterRules rules{multiline, false, false};
    Step step = Step::Go;
    while (end - pos >= 2 && step == Step::Go) {
        char32_t c = unitAt(pos);
        if (c >= 0x20 && c < 0x80) {
            text.push_back(static_cast<char>(c));
            pos += 2;
            continue;
        }
        std::size_t length = 2;
        if (IsHighSurrogate(c) && end - pos >= 4 && IsLowSurrogate(unitAt(pos + 2))) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unitAt(pos + 2) - 0xDC00);
            length = 4;
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
            return textresult::kUndecodable;
        }
        pos += length;
        step = TakeCharacter(c, rules, text);
    }
    return Finish(step, text);
}

TextResult DecodeUtf8(std::span<const std::uint8_t> data, std::size_t& pos, std::size_t end,
                      bool multiline, std::string& text)
{
    const CharacterRules rules{multiline, false, true};
    Step step = Step::Go;
    while (pos < end && step == Step::Go) {
        TakeAsciiRun(data, pos, end, text);
        if (pos == end) {
            break;
        }
        const Utf8Character c = ReadUtf8(data, pos, end);
        if (c.Status == Utf8Status::Truncated) {
            return textresult::kControlCharacter;
        }
        if (c.Status == Utf8Status::Invalid) {
            return textresult::kUndecodable;
        }
        pos += c.Length;
        step = TakeCharacter(c.Code, rules, text);
    }
    return Finish(step, text);
}

void AppendUtf16(std::vector<std::uint8_t>& out, char32_t c, bool bigEndian)
{
    auto putUnit = [&out, bigEndian](char32_t unit) {
        const auto high = static_cast<std::uint8_t>(unit >> 8);
        const auto low = static_cast<std::uint8_t>(unit & 0xFF);
        out.push_back(bigEndian ? high : low);
        out.push_back(bigEndian ? low : high);
    };
    if (c >= 0x10000) {
        putUnit(0xD800 + ((c - 0x10000) >> 10));
        putUnit(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
        putUnit(c);
    }
}

} // namespace

TextResult DecodeText(std::span<const std::uint8_t> data, std::size_t start, bool multiline,
                      std::string& text, std::uint8_t encoding, std::size_t& limit)
{
    text.clear();
    if (start >= data.size()) {
        return textresult::kNoData;
    }
    std::size_t end = data.size();
    if (limit != 0 && limit < end - start) {
        end = start + limit;
    }
    std::size_t pos = start;
    TextResult result = textresult::kOk;
    switch (encoding) {
    case textencoding::kLatin1:
        result = DecodeLatin1(data, pos, end, multiline, text);
        break;
    case textencoding::kUtf16Bom:
    case textencoding::kUtf16BE:
    case textencoding::kUtf16LE:
        result = DecodeUtf16(data, pos, end, multiline, text, encoding);
        break;
    case textencoding::kUtf8:
        result = DecodeUtf8(data, pos, end, multiline, text);
        break;
    default:
        return textresult::kBadEncoding;
    }
    if (limit == 0) {
        limit = pos - start;
    }
    return result;
}

bool FitsLatin1(std::string_view utf8)
{
    for (const char32_t c : ToCodePoints(utf8)) {
        if (c > 0xFF) {
            return false;
        }
    }
    return true;
}

bool IsValidUtf8(std::string_view utf8)
{
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(utf8.data()),
                                              utf8.size());
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const Utf8Character c = ReadUtf8(bytes, pos, bytes.size());
        if (c.Status != Utf8Status::Ok) {
            return false;
        }
        pos += c.Length;
    }
    return true;
}

std::string Utf8ToLatin1(std::string_view utf8, char replacement)
{
    std::string out;
    for (const char32_t c : ToCodePoints(utf8)) {
        out.push_back(c <= 0xFF ? static_cast<char>(c) : replacement);
    }
    return out;
}

std::string Latin1ToUtf8(std::string_view latin1)
{
    std::string out;
    out.reserve(latin1.size());
    for (const char c : latin1) {
        AppendUtf8(out, static_cast<unsigned char>(c));
    }
    return out;
}

std::vector<std::uint8_t> EncodeText(std::string_view utf8, std::uint8_t encoding)
{
    std::vector<std::uint8_t> out;
    if (encoding == textencoding::kLatin1) {
        const std::string latin1 = Utf8ToLatin1(utf8);
        out.assign(latin1.begin(), latin1.end());
        return out;
    }
    const std::u32string characters = ToCodePoints(utf8);
    if (encoding == textencoding::kUtf8) {
        std::string clean;
        for (const char32_t c : characters) {
            AppendUtf8(clean, c);
        }
        out.assign(clean.begin(), clean.end());
        return out;
    }
    const bool bigEndian = encoding == textencoding::kUtf16BE;
    if (encoding == textencoding::kUtf16Bom) {
        out = {0xFF, 0xFE};
    }
    for (const char32_t c : characters) {
        AppendUtf16(out, c, bigEndian);
    }
    return out;
}

} // namespace varnello
