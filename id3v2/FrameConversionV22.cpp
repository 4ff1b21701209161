#include "FrameConversionV22.h"

#include <algorithm>
#include <array>
#include <utility>

namespace varnello {

namespace {

using IdPair = std::pair<std::string_view, std::string_view>;

// Every version 2.2 frame with a version 3 counterpart. The last six are the
// sort and compilation frames that iTunes wrote into its version 2.2 tags;
// readers know them under these four-character IDs.
constexpr std::array<IdPair, 68> kIds{{
    {"BUF", "RBUF"}, {"CNT", "PCNT"}, {"COM", "COMM"}, {"CRA", "AENC"}, {"EQU", "EQUA"},
    {"ETC", "ETCO"}, {"GEO", "GEOB"}, {"IPL", "IPLS"}, {"LNK", "LINK"}, {"MCI", "MCDI"},
    {"MLL", "MLLT"}, {"PIC", "APIC"}, {"POP", "POPM"}, {"REV", "RVRB"}, {"RVA", "RVAD"},
    {"SLT", "SYLT"}, {"STC", "SYTC"}, {"TAL", "TALB"}, {"TBP", "TBPM"}, {"TCM", "TCOM"},
    {"TCO", "TCON"}, {"TCR", "TCOP"}, {"TDA", "TDAT"}, {"TDY", "TDLY"}, {"TEN", "TENC"},
    {"TFT", "TFLT"}, {"TIM", "TIME"}, {"TKE", "TKEY"}, {"TLA", "TLAN"}, {"TLE", "TLEN"},
    {"TMT", "TMED"}, {"TOA", "TOPE"}, {"TOF", "TOFN"}, {"TOL", "TOLY"}, {"TOR", "TORY"},
    {"TOT", "TOAL"}, {"TP1", "TPE1"}, {"TP2", "TPE2"}, {"TP3", "TPE3"}, {"TP4", "TPE4"},
    {"TPA", "TPOS"}, {"TPB", "TPUB"}, {"TRC", "TSRC"}, {"TRD", "TRDA"}, {"TRK", "TRCK"},
    {"TSI", "TSIZ"}, {"TSS", "TSSE"}, {"TT1", "TIT1"}, {"TT2", "TIT2"}, {"TT3", "TIT3"},
    {"TXT", "TEXT"}, {"TXX", "TXXX"}, {"TYE", "TYER"}, {"UFI", "UFID"}, {"ULT", "USLT"},
    {"WAF", "WOAF"}, {"WAR", "WOAR"}, {"WAS", "WOAS"}, {"WCM", "WCOM"}, {"WCP", "WCOP"},
    {"WPB", "WPUB"}, {"WXX", "WXXX"}, {"TCP", "TCMP"}, {"TS2", "TSO2"}, {"TSA", "TSOA"},
    {"TSC", "TSOC"}, {"TSP", "TSOP"}, {"TST", "TSOT"},
}};

constexpr std::size_t kImageFormatSize = 3;

// A picture names its format with three characters ("JPG", "PNG"); version 3
// names it with a MIME type. "-->" (the picture is a URL) means the same in
// both. Returns nothing for characters that cannot stand in a MIME type.
std::optional<std::string> MimeType(std::string_view format)
{
    if (format == "-->") {
        return std::string(format);
    }
    std::string lower;
    for (const char c : format) {
        if (c <= ' ' || c > '~') {
            return std::nullopt;
        }
        lower += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    if (lower == "jpg") {
        return "image/jpeg";
    }
    return "image/" + lower;
}

// PIC: encoding, image format, picture type, description, data. APIC puts a
// terminated MIME type where the image format was.
std::optional<ConvertedFrame> ConvertPicture(std::vector<std::uint8_t> data)
{
    if (data.size() < 1 + kImageFormatSize) {
        return std::nullopt;
    }
    const std::string_view format(reinterpret_cast<const char*>(data.data()) + 1, kImageFormatSize);
    const std::optional<std::string> mime = MimeType(format);
    if (!mime) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> out;
    out.reserve(data.size() + mime->size());
    out.push_back(data[0]);
    out.insert(out.end(), mime->begin(), mime->end());
    out.push_back(0);
    out.insert(out.end(), data.begin() + 1 + kImageFormatSize, data.end());
    return ConvertedFrame{"APIC", std::move(out)};
}

// LNK starts with the three-character ID of the frame it links to; LINK
// with the four-character one. A link to a frame without a version 3 ID
// would point nowhere.
std::optional<ConvertedFrame> ConvertLink(std::vector<std::uint8_t> data)
{
    if (data.size() < 3) {
        return std::nullopt;
    }
    const std::string_view target(reinterpret_cast<const char*>(data.data()), 3);
    const std::string_view converted = FrameIdV23(target);
    if (converted.empty()) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> out(converted.begin(), converted.end());
    out.insert(out.end(), data.begin() + 3, data.end());
    return ConvertedFrame{"LINK", std::move(out)};
}

} // namespace

std::string_view FrameIdV23(std::string_view idV22)
{
    const auto found = std::find_if(kIds.begin(), kIds.end(),
                                    [&](const IdPair& pair) { return pair.first == idV22; });
    return found == kIds.end() ? std::string_view{} : found->second;
}

std::optional<ConvertedFrame> ConvertFrameV22(std::string_view idV22,
                                              std::vector<std::uint8_t> data)
{
    if (idV22 == "PIC") {
        return ConvertPicture(std::move(data));
    }
    if (idV22 == "LNK") {
        return ConvertLink(std::move(data));
    }
    const std::string_view id = FrameIdV23(idV22);
    if (id.empty()) {
        return std::nullopt;
    }
    return ConvertedFrame{std::string(id), std::move(data)};
}

} // namespace varnello
