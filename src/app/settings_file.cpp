#include "app/settings_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <span>
#include <string>
#include <variant>

#include "app/ini_file.h"

namespace {

// Values the menus and the editor can produce. A value outside is moved to the
// nearest one: below the range to its lowest value, above to its highest, a
// font size between two listed sizes to the closer one (the smaller on a tie).
struct Allowed {
    int32_t min = std::numeric_limits<int32_t>::min();
    int32_t max = std::numeric_limits<int32_t>::max();
    std::span<const int32_t> list = {};
};

using Field = std::variant<int32_t AppSettings::*, bool AppSettings::*, std::string AppSettings::*,
                           uint32_t AppSettings::*>;

struct SettingKey {
    const char* key;
    Field field;
    const char* absentValue; // used when the file lacks the key
    Allowed allowed = {};
};

// Rates above 100 would make the GIF's frame delay (100 / rate hundredths) zero.
constexpr Allowed kRates{1, 100};

// Every setting, once, in the order the keys are written.
const SettingKey kKeys[] = {
    {"Rate1", &AppSettings::captureRate, "20", kRates},
    {"Rate2", &AppSettings::gifRate, "20", kRates},
    {"Ratio", &AppSettings::scalePercent, "100", {10, 100}},
    {"File", &AppSettings::highQuality, "1"},
    {"Notice", &AppSettings::showBlankNotice, "1"},
    {"TopWnd", &AppSettings::alwaysOnTop, "1"},
    {"DEFAULT_FONTNAME", &AppSettings::fontName, "Verdana"},
    {"DEFAULT_FONTSIZE", &AppSettings::fontSize, "14", {kFontSizes[0], 72, kFontSizes}},
    {"DEFAULT_FONTBOLD", &AppSettings::fontBold, "1"},
    {"DEFAULT_FONTITALIC", &AppSettings::fontItalic, "0"},
    {"DEFAULT_FONTCOLOR", &AppSettings::fontColor, "#FFFF00"},
    {"DEFAULT_FONT_BK_STYLE", &AppSettings::backStyle, "2", {0, 2}},
    {"DEFAULT_FONT_BK_COLOR", &AppSettings::backColor, "#000000"},
};

// The profile functions read values into 256-byte buffers.
constexpr size_t kMaxValueBytes = 255;

int32_t Correct(int32_t value, const Allowed& allowed) {
    value = std::clamp(value, allowed.min, allowed.max);
    if (allowed.list.empty())
        return value;
    int32_t best = allowed.list.front();
    for (const int32_t candidate : allowed.list) {
        if (std::abs(int64_t{candidate} - value) < std::abs(int64_t{best} - value))
            best = candidate;
    }
    return best;
}

// The face name as stored: a name that does not fit the font record, or an
// empty one, names no usable font, so the default face is kept.
std::string CorrectFontName(std::string name, const char* fallback) {
    if (name.empty() || name.size() > kMaxFontNameBytes)
        return fallback;
    return name;
}

void ReadKey(const IniDocument& doc, const SettingKey& key, AppSettings& settings) {
    std::string text = doc.Value(kSettingsSection, key.key).value_or(key.absentValue);
    if (text.size() > kMaxValueBytes)
        text.resize(kMaxValueBytes);
    std::visit(
        [&](auto member) {
            using T = std::remove_cvref_t<decltype(settings.*member)>;
            if constexpr (std::is_same_v<T, int32_t>)
                settings.*member = Correct(ParseProfileInt(text), key.allowed);
            else if constexpr (std::is_same_v<T, bool>)
                settings.*member = ParseProfileInt(text) != 0;
            else if constexpr (std::is_same_v<T, std::string>)
                settings.*member = CorrectFontName(text, key.absentValue);
            else
                settings.*member = ParseColorText(text);
        },
        key.field);
}

std::string KeyText(const SettingKey& key, const AppSettings& settings) {
    return std::visit(
        [&](auto member) -> std::string {
            using T = std::remove_cvref_t<decltype(settings.*member)>;
            if constexpr (std::is_same_v<T, int32_t>)
                return std::to_string(static_cast<uint32_t>(settings.*member));
            else if constexpr (std::is_same_v<T, bool>)
                return settings.*member ? "1" : "0";
            else if constexpr (std::is_same_v<T, std::string>)
                return settings.*member;
            else
                return FormatColorText(settings.*member);
        },
        key.field);
}

// The file's bytes; nullopt when it exists but cannot be read whole (then it
// must not be overwritten either). A missing file reads as empty.
std::optional<std::string> ReadSettingsBytes(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return std::string();
    if (!info.isFile() || info.size() > kMaxSettingsFileBytes)
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.read(kMaxSettingsFileBytes + 1);
    if (bytes.size() > kMaxSettingsFileBytes)
        return std::nullopt;
    return bytes.toStdString();
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Hexadecimal digits from the start of `piece` up to the first other character.
uint32_t HexPiece(std::string_view piece) {
    uint32_t value = 0;
    for (const char c : piece) {
        const int digit = HexValue(c);
        if (digit < 0)
            break;
        value = value * 16 + static_cast<uint32_t>(digit);
    }
    return value;
}

std::optional<QString> FolderFromEnvironment() {
    const QString appData = qEnvironmentVariable("APPDATA");
    if (!appData.isEmpty())
        return appData;
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!xdg.isEmpty())
        return xdg;
    const QString home = qEnvironmentVariable("HOME");
    if (!home.isEmpty())
        return home + "/.config";
    return std::nullopt;
}

} // namespace

std::optional<QString> SettingsFolder() {
    const auto folder = FolderFromEnvironment();
    if (!folder || folder->size() > 255)
        return std::nullopt;
    return folder;
}

std::optional<QString> SettingsFilePath() {
    const auto folder = SettingsFolder();
    if (!folder)
        return std::nullopt;
    return *folder + "/" + kSettingsFileName;
}

void LoadSettingsFile(const QString& path, AppSettings& settings) {
    const IniDocument doc = IniDocument::Parse(ReadSettingsBytes(path).value_or(std::string()));
    for (const SettingKey& key : kKeys)
        ReadKey(doc, key, settings);
}

bool SaveSettingsFile(const QString& path, const AppSettings& settings) {
    const auto bytes = ReadSettingsBytes(path);
    if (!bytes)
        return false;
    IniDocument doc = IniDocument::Parse(*bytes);
    for (const SettingKey& key : kKeys)
        doc.SetValue(kSettingsSection, key.key, KeyText(key, settings));

    QDir().mkpath(QFileInfo(path).absolutePath());
    // Written to a new file and renamed over the old one, so a full disk
    // leaves the previous settings intact.
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const std::string out = doc.Serialize();
    if (file.write(out.data(), static_cast<qint64>(out.size())) !=
        static_cast<qint64>(out.size())) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

uint32_t ParseColorText(std::string_view text) {
    if (!text.empty())
        text.remove_prefix(1); // the hash sign, whatever the character is
    const std::string_view red = text.substr(0, 2);
    const std::string_view green = text.size() >= 3 ? text.substr(2, 2) : std::string_view();
    const std::string_view blue = text.substr(text.size() > 2 ? text.size() - 2 : 0);
    return HexPiece(red) + HexPiece(green) * 256 + HexPiece(blue) * 65536;
}

std::string FormatColorText(uint32_t color) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", color & 0xFF, (color >> 8) & 0xFF,
                  (color >> 16) & 0xFF);
    return text;
}
