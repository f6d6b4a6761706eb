#pragma once
// The settings file "didoro.ini": section "Param", one key per setting.

#include <QString>

#include <cstdint>
#include <optional>
#include <string_view>

#include "app/app_settings.h"

inline constexpr char kSettingsFileName[] = "didoro.ini";
inline constexpr char kSettingsSection[] = "Param";

// Files larger than this are not settings files this program wrote; they are
// neither read nor overwritten.
inline constexpr qint64 kMaxSettingsFileBytes = 1 << 20;

// The folder that holds the settings file: $APPDATA when set, otherwise
// $XDG_CONFIG_HOME, otherwise $HOME/.config. Nothing when none is set or the
// folder name does not fit in 255 characters (the file is then never used).
std::optional<QString> SettingsFolder();
// SettingsFolder() + "/didoro.ini".
std::optional<QString> SettingsFilePath();

// Fills every field from the file at `path`. Absent keys (and a missing or
// unreadable file) take the key defaults; values the program could not have
// written are corrected to the nearest allowed value.
void LoadSettingsFile(const QString& path, AppSettings& settings);

// Writes all thirteen keys into the file at `path`, keeping every other line
// of it. False when nothing could be written (the failure is not reported to
// the user).
bool SaveSettingsFile(const QString& path, const AppSettings& settings);

// "#RRGGBB" (red first) to 0x00BBGGRR. Never fails: any text yields the colour
// that the piece rules give (see the definition).
uint32_t ParseColorText(std::string_view text);
// 0x00BBGGRR to "#RRGGBB", upper-case.
std::string FormatColorText(uint32_t color);
