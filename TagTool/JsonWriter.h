#pragma once
// Writes JSON text: objects, arrays, strings and numbers, with commas and
// indentation placed by the writer. Strings are escaped as JSON requires and
// invalid UTF-8 (a file name from a foreign system) becomes U+FFFD, so the
// output always parses.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace varnello::tagtool {

std::string JsonQuote(std::string_view text);

class JsonWriter
{
public:
    void BeginObject();
    void EndObject();
    void BeginArray();
    void EndArray();

    // Inside an object: the key of the next value.
    void Key(std::string_view key);
    void String(std::string_view text);
    void Number(std::int64_t value);
    void Bool(bool value);

    // Convenience for a key and its value.
    void StringField(std::string_view key, std::string_view text);
    void NumberField(std::string_view key, std::int64_t value);
    void BoolField(std::string_view key, bool value);

    const std::string& Text() const { return m_text; }
    // The text written since the last call, for output that is printed as it
    // is made; the writer keeps its place in the structure.
    std::string TakeText() { return std::exchange(m_text, {}); }

private:
    void BeforeValue();
    void NewLine();

    struct Level
    {
        bool IsObject = false;
        bool Empty = true;
    };
    std::string m_text;
    std::vector<Level> m_levels;
    bool m_afterKey = false;
};

} // namespace varnello::tagtool
