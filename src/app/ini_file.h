#pragma once
// A Windows-style INI document ("private profile") that keeps the file's own
// lines. Writing a key changes only that key's line, so comments, other keys
// and other sections survive a save byte for byte.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class IniDocument {
public:
    // Anything is accepted: lines that are neither a section header nor a
    // key=value pair are kept but never match a lookup.
    static IniDocument Parse(std::string_view bytes);

    // The value of the first `key` in the first section named `section`, with
    // blanks around it removed and one pair of enclosing quotes stripped; a
    // carriage return left inside it reads as a blank.
    // Section and key names compare case-insensitively (ASCII), as the
    // platform's profile functions do.
    std::optional<std::string> Value(std::string_view section, std::string_view key) const;

    // Replaces the first matching key's line, or adds the key at the end of the
    // section, or adds the section at the end of the document. Line breaks in
    // `value` would split the line and are replaced by blanks; a value with
    // blanks at either end, or enclosed in quotes, is written inside quotes,
    // so Value gives back exactly what was set (line breaks aside).
    void SetValue(std::string_view section, std::string_view key, std::string_view value);

    std::string Serialize() const;

private:
    struct Line {
        std::string text; // without the line break
        bool hasBreak = true;
    };
    // Index range [first, end) of the lines belonging to a section (after its
    // header), or nullopt.
    struct SectionRange {
        size_t header;
        size_t end;
    };
    std::optional<SectionRange> FindSection(std::string_view section) const;
    std::optional<size_t> FindKey(const SectionRange& range, std::string_view key) const;
    static void EndWithBreak(Line& line);

    std::vector<Line> lines_;
    std::string lineBreak_ = "\n";
};

// Decimal integer as the profile functions read it: optional blanks and sign,
// then digits up to the first other character. No digits gives 0; values
// beyond the 32-bit range are held at its ends.
int32_t ParseProfileInt(std::string_view text);
