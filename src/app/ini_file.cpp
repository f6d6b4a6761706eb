#include "app/ini_file.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

// The name of a "[name]" line, or nullopt when the line is no header.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    line.remove_prefix(1);
    const size_t close = line.find(']');
    return Trim(line.substr(0, close));
}

bool IsComment(std::string_view line) {
    line = Trim(line);
    return !line.empty() && line.front() == ';';
}

// Key and raw value of a "key=value" line.
std::optional<std::pair<std::string_view, std::string_view>> KeyValue(std::string_view line) {
    if (IsComment(line) || SectionName(line))
        return std::nullopt;
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    return std::pair{Trim(line.substr(0, eq)), Trim(line.substr(eq + 1))};
}

std::string_view StripQuotes(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

std::string OneLine(std::string_view value) {
    std::string out(value);
    std::ranges::replace(out, '\n', ' ');
    std::ranges::replace(out, '\r', ' ');
    return out;
}

// The text to put after "key=" so that Value reads `value` back: blanks at
// either end would be trimmed and a pair of enclosing quotes stripped, so
// such a value goes inside one more pair of quotes.
std::string StoredValue(std::string_view value) {
    std::string out = OneLine(value);
    if (Trim(out).size() != out.size() || StripQuotes(out).size() != out.size())
        out = '"' + out + '"';
    return out;
}

} // namespace

// A last line without a break gets one. A carriage return ending it would
// stand before the new break as a Windows line break, and the next Parse
// would then write the whole file with those; carriage returns at the end of
// a line are blanks no lookup sees, so they go.
void IniDocument::EndWithBreak(Line& line) {
    if (line.hasBreak)
        return;
    while (!line.text.empty() && line.text.back() == '\r')
        line.text.pop_back();
    line.hasBreak = true;
}

IniDocument IniDocument::Parse(std::string_view bytes) {
    IniDocument doc;
    if (bytes.find("\r\n") != std::string_view::npos)
        doc.lineBreak_ = "\r\n";
    while (!bytes.empty()) {
        const size_t nl = bytes.find('\n');
        std::string_view text = bytes.substr(0, nl);
        const bool hasBreak = nl != std::string_view::npos;
        bytes.remove_prefix(hasBreak ? nl + 1 : bytes.size());
        if (hasBreak && !text.empty() && text.back() == '\r')
            text.remove_suffix(1);
        doc.lines_.push_back(Line{std::string(text), hasBreak});
    }
    return doc;
}

std::optional<IniDocument::SectionRange> IniDocument::FindSection(std::string_view section) const {
    for (size_t i = 0; i < lines_.size(); ++i) {
        const auto name = SectionName(lines_[i].text);
        if (!name || !SameName(*name, section))
            continue;
        size_t end = i + 1;
        while (end < lines_.size() && !SectionName(lines_[end].text))
            ++end;
        return SectionRange{i, end};
    }
    return std::nullopt;
}

std::optional<size_t> IniDocument::FindKey(const SectionRange& range, std::string_view key) const {
    for (size_t i = range.header + 1; i < range.end; ++i) {
        const auto kv = KeyValue(lines_[i].text);
        if (kv && SameName(kv->first, key))
            return i;
    }
    return std::nullopt;
}

std::optional<std::string> IniDocument::Value(std::string_view section,
                                              std::string_view key) const {
    const auto range = FindSection(section);
    if (!range)
        return std::nullopt;
    const auto index = FindKey(*range, key);
    if (!index)
        return std::nullopt;
    // A lone carriage return inside the line reads as the blank SetValue
    // would write for it, so a value read and written back stays the same.
    return OneLine(StripQuotes(KeyValue(lines_[*index].text)->second));
}

void IniDocument::SetValue(std::string_view section, std::string_view key, std::string_view value) {
    const std::string line = OneLine(key) + "=" + StoredValue(value);
    const auto range = FindSection(section);
    if (range) {
        if (const auto index = FindKey(*range, key)) {
            lines_[*index].text = line;
            return;
        }
        // After the section's last non-blank line, so blank separators stay
        // in front of the next section.
        size_t insertAt = range->end;
        while (insertAt > range->header + 1 && Trim(lines_[insertAt - 1].text).empty())
            --insertAt;
        if (insertAt > 0)
            EndWithBreak(lines_[insertAt - 1]);
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), Line{line, true});
        return;
    }
    if (!lines_.empty()) {
        EndWithBreak(lines_.back());
        if (!Trim(lines_.back().text).empty())
            lines_.push_back(Line{"", true});
    }
    lines_.push_back(Line{"[" + OneLine(section) + "]", true});
    lines_.push_back(Line{line, true});
}

std::string IniDocument::Serialize() const {
    std::string out;
    for (const Line& line : lines_) {
        out += line.text;
        if (line.hasBreak)
            out += lineBreak_;
    }
    return out;
}

int32_t ParseProfileInt(std::string_view text) {
    text = Trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    int64_t magnitude = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            break;
        magnitude = std::min(kLimit, magnitude * 10 + (c - '0'));
    }
    const int64_t value = negative ? -magnitude : magnitude;
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}
