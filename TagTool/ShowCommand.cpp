// varnello-tag show: every detail of one file's tags.

#include "CommandLine.h"
#include "Commands.h"
#include "Console.h"
#include "JsonWriter.h"
#include "SaveReport.h"
#include "StatusWord.h"
#include "TagReport.h"
#include "Utf8.h"

#include <cstdio>
#include <optional>

namespace varnello::tagtool {

namespace {

constexpr const char* kShowUsage =
    "Usage: varnello-tag show [--json] FILE\n"
    "\n"
    "Shows the ID3v2 load status with its message, the tag's version, revision,\n"
    "flags, size, padding and extended-header values, every frame (ID, flags,\n"
    "size, and the decoded text of text and comment frames), every picture (type\n"
    "number and name, MIME type, description, size in bytes, and width x height\n"
    "of a JPEG or PNG picture; \"pictures\" in JSON), and the ID3v1 fields with\n"
    "the genre number.\n"
    "\n"
    "  --json    print the same as one JSON object\n"
    "  --hex-path HEX  the FILE given as the hex digits of its name\n"
    "  --help    show this help\n";

std::string HexText(std::uint32_t value, int digits)
{
    std::string text(static_cast<std::size_t>(digits) + 2, '0');
    text[1] = 'x';
    for (int i = 0; i < digits; ++i) {
        text[static_cast<std::size_t>(digits + 1 - i)] =
            "0123456789ABCDEF"[(value >> (4 * i)) & 0xF];
    }
    return text;
}

std::string StatusText(StatusWord statusWord)
{
    if (statusWord.Error() == status::kNoTag) {
        return "no ID3v2 tag";
    }
    return StatusMessage(statusWord.ErrorCode());
}

std::string Quoted(const std::string& text)
{
    return JsonQuote(text);
}

void AppendFrameLine(std::string& out, const FrameReport& frame)
{
    out += "    " + frame.ID + "  flags " + HexText(frame.StatusFlags, 2) + " " +
           HexText(frame.FormatFlags, 2) + "  size " + std::to_string(frame.Size);
    if (frame.Encrypted) {
        out += "  (encrypted)";
    }
    if (frame.Language) {
        out += "  [" + *frame.Language + "]";
    }
    if (frame.Description) {
        out += "  " + Quoted(*frame.Description) + ":";
    }
    if (frame.HasText) {
        out += "  " + Quoted(frame.Text);
        if (frame.TextResult != textresult::kOk) {
            out += "  (decoding result " + std::to_string(static_cast<int>(frame.TextResult)) + ")";
        }
    }
    out += '\n';
}

void AppendPictureLine(std::string& out, const PictureReport& picture)
{
    out += "    " + std::to_string(picture.Type) + " " + picture.TypeName + "  " +
           Quoted(picture.Mime) + "  " + Quoted(picture.Description) + "  " +
           std::to_string(picture.Size) + " bytes";
    if (picture.Dimensions) {
        out += "  " + std::to_string(picture.Dimensions->first) + "x" +
               std::to_string(picture.Dimensions->second);
    }
    out += '\n';
}

std::string Id3v2AsText(const Id3v2Report& tag)
{
    std::string out =
        "ID3v2: status " + HexText(tag.Status.Value(), 4) + " " + StatusText(tag.Status) + "\n";
    if (!tag.Loaded) {
        return out;
    }
    for (const std::string& warning : WarningMessages(tag.Status)) {
        out += "  Warning: " + warning + "\n";
    }
    out += "  Version: 2." + std::to_string(tag.MajorVersion) + "." + std::to_string(tag.Revision) +
           "\n";
    out += "  Flags: " + HexText(tag.Flags, 2) + "\n";
    out += "  Tag size: " + std::to_string(tag.TagSize) + "\n";
    out += "  Padding: " + std::to_string(tag.PaddingSize) + "\n";
    out += "  Extended header: size " + std::to_string(tag.ExtHeaderSize) + ", flags " +
           HexText(tag.ExtFlags, 2) + ", CRC " + HexText(tag.Crc32, 8) + ", restrictions " +
           HexText(tag.Restrictions, 2) + "\n";
    out += "  Frames: " + std::to_string(tag.Frames.size()) + "\n";
    for (const FrameReport& frame : tag.Frames) {
        AppendFrameLine(out, frame);
    }
    if (!tag.Pictures.empty()) {
        out += "  Pictures: " + std::to_string(tag.Pictures.size()) + "\n";
        for (const PictureReport& picture : tag.Pictures) {
            AppendPictureLine(out, picture);
        }
    }
    if (!tag.UnconvertibleFrames.empty()) {
        out += "  Frames without a version 2.3 form:";
        for (const std::string& id : tag.UnconvertibleFrames) {
            out += " " + id;
        }
        out += '\n';
    }
    return out;
}

std::string Id3v1AsText(const Id3v1Report& tag)
{
    if (!tag.Present) {
        return "ID3v1: none\n";
    }
    std::string out = "ID3v1: present\n";
    out += "  Title: " + Quoted(tag.Title) + "\n";
    out += "  Artist: " + Quoted(tag.Artist) + "\n";
    out += "  Album: " + Quoted(tag.Album) + "\n";
    out += "  Year: " + Quoted(tag.Year) + "\n";
    out += "  Comment: " + Quoted(tag.Comment) + "\n";
    out += "  Genre: " + std::to_string(tag.Genre);
    out += tag.GenreName.empty() ? "\n" : " (" + tag.GenreName + ")\n";
    if (tag.Track) {
        out += "  Track: " + std::to_string(*tag.Track) + "\n";
    }
    return out;
}

void FrameAsJson(JsonWriter& json, const FrameReport& frame)
{
    json.BeginObject();
    json.StringField("id", frame.ID);
    json.NumberField("statusFlags", frame.StatusFlags);
    json.NumberField("formatFlags", frame.FormatFlags);
    json.NumberField("size", frame.Size);
    json.NumberField("dataLength", frame.DataLength);
    json.BoolField("encrypted", frame.Encrypted);
    if (frame.Language) {
        json.StringField("language", *frame.Language);
    }
    if (frame.Description) {
        json.StringField("description", *frame.Description);
    }
    if (frame.HasText) {
        json.NumberField("encoding", frame.Encoding);
        json.StringField("text", frame.Text);
        json.NumberField("textResult", static_cast<int>(frame.TextResult));
    }
    json.EndObject();
}

void PictureAsJson(JsonWriter& json, const PictureReport& picture)
{
    json.BeginObject();
    json.NumberField("type", picture.Type);
    json.StringField("typeName", picture.TypeName);
    json.StringField("mime", picture.Mime);
    json.StringField("description", picture.Description);
    json.NumberField("size", static_cast<std::int64_t>(picture.Size));
    if (picture.Dimensions) {
        json.NumberField("width", picture.Dimensions->first);
        json.NumberField("height", picture.Dimensions->second);
    }
    json.EndObject();
}

void Id3v2AsJson(JsonWriter& json, const Id3v2Report& tag)
{
    json.Key("id3v2");
    json.BeginObject();
    json.NumberField("status", tag.Status.Value());
    json.StringField("message", StatusText(tag.Status));
    json.BoolField("loaded", tag.Loaded);
    if (tag.Loaded) {
        json.Key("warnings");
        json.BeginArray();
        for (const std::string& warning : WarningMessages(tag.Status)) {
            json.String(warning);
        }
        json.EndArray();
        json.NumberField("version", tag.MajorVersion);
        json.NumberField("revision", tag.Revision);
        json.NumberField("flags", tag.Flags);
        json.NumberField("tagSize", tag.TagSize);
        json.NumberField("padding", tag.PaddingSize);
        json.Key("extendedHeader");
        json.BeginObject();
        json.NumberField("size", tag.ExtHeaderSize);
        json.NumberField("flags", tag.ExtFlags);
        json.NumberField("crc32", tag.Crc32);
        json.NumberField("restrictions", tag.Restrictions);
        json.EndObject();
        json.Key("frames");
        json.BeginArray();
        for (const FrameReport& frame : tag.Frames) {
            FrameAsJson(json, frame);
        }
        json.EndArray();
        json.Key("pictures");
        json.BeginArray();
        for (const PictureReport& picture : tag.Pictures) {
            PictureAsJson(json, picture);
        }
        json.EndArray();
        if (!tag.UnconvertibleFrames.empty()) {
            json.Key("unconvertibleFrames");
            json.BeginArray();
            for (const std::string& id : tag.UnconvertibleFrames) {
                json.String(id);
            }
            json.EndArray();
        }
    }
    json.EndObject();
}

void Id3v1AsJson(JsonWriter& json, const Id3v1Report& tag)
{
    json.Key("id3v1");
    json.BeginObject();
    json.BoolField("present", tag.Present);
    if (tag.Present) {
        json.StringField("title", tag.Title);
        json.StringField("artist", tag.Artist);
        json.StringField("album", tag.Album);
        json.StringField("year", tag.Year);
        json.StringField("comment", tag.Comment);
        json.NumberField("genre", tag.Genre);
        json.StringField("genreName", tag.GenreName);
        if (tag.Track) {
            json.NumberField("track", *tag.Track);
        }
    }
    json.EndObject();
}

} // namespace

int RunShow(const std::vector<std::string>& args)
{
    CommandLine line("show", kShowUsage);
    line.AddSwitch("json");
    if (const std::optional<int> exit = line.Parse(args)) {
        return *exit;
    }
    if (line.Operands().size() != 1) {
        return UsageError("show", "give exactly one FILE");
    }
    const std::string& path = line.Operands().front();
    if (!PrepareFileForReading(path)) {
        return exitcode::kFailure;
    }
    const Id3v2Report id3v2 = ReadId3v2Report(path);
    const Id3v1Report id3v1 = ReadId3v1Report(path);
    if (line.Has("json")) {
        JsonWriter json;
        json.BeginObject();
        json.StringField("file", path);
        Id3v2AsJson(json, id3v2);
        Id3v1AsJson(json, id3v1);
        json.EndObject();
        WriteOut(json.Text() + "\n");
    } else {
        WriteOut("File: " + EscapedText(path) + "\n" + Id3v2AsText(id3v2) + Id3v1AsText(id3v1));
    }
    return exitcode::kOk;
}

} // namespace varnello::tagtool
