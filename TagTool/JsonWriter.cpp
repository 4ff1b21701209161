#include "JsonWriter.h"

#include "Utf8.h"

namespace varnello::tagtool {

std::string JsonQuote(std::string_view text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out = "\"";
    for (std::size_t pos = 0; pos < text.size();) {
        const char32_t c = NextCodePoint(text, pos);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c == 0x7F || c == 0x2028 || c == 0x2029) {
                out += "\\u";
                for (int shift = 12; shift >= 0; shift -= 4) {
                    out += kHex[(c >> shift) & 0xF];
                }
            } else {
                AppendUtf8(out, c);
            }
        }
    }
    out += '"';
    return out;
}

void JsonWriter::NewLine()
{
    m_text += '\n';
    m_text.append(m_levels.size() * 2, ' ');
}

void JsonWriter::BeforeValue()
{
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (!m_levels.empty()) {
        if (!m_levels.back().Empty) {
            m_text += ',';
        }
        m_levels.back().Empty = false;
        NewLine();
    }
}

void JsonWriter::BeginObject()
{
    BeforeValue();
    m_text += '{';
    m_levels.push_back({true, true});
}

void JsonWriter::EndObject()
{
    const bool empty = m_levels.back().Empty;
    m_levels.pop_back();
    if (!empty) {
        NewLine();
    }
    m_text += '}';
}

void JsonWriter::BeginArray()
{
    BeforeValue();
    m_text += '[';
    m_levels.push_back({false, true});
}

void JsonWriter::EndArray()
{
    const bool empty = m_levels.back().Empty;
    m_levels.pop_back();
    if (!empty) {
        NewLine();
    }
    m_text += ']';
}

void JsonWriter::Key(std::string_view key)
{
    BeforeValue();
    m_text += JsonQuote(key);
    m_text += ": ";
    m_afterKey = true;
}

void JsonWriter::String(std::string_view text)
{
    BeforeValue();
    m_text += JsonQuote(text);
}

void JsonWriter::Number(std::int64_t value)
{
    BeforeValue();
    m_text += std::to_string(value);
}

void JsonWriter::Bool(bool value)
{
    BeforeValue();
    m_text += value ? "true" : "false";
}

void JsonWriter::StringField(std::string_view key, std::string_view text)
{
    Key(key);
    String(text);
}

void JsonWriter::NumberField(std::string_view key, std::int64_t value)
{
    Key(key);
    Number(value);
}

void JsonWriter::BoolField(std::string_view key, bool value)
{
    Key(key);
    Bool(value);
}

} // namespace varnello::tagtool
