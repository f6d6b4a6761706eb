#pragma once
// CCaptureApp: the application object. It holds the settings record for the
// whole run and reads and writes the settings file. The windows are built on
// top of it by the program's entry point.

#include "app/app_settings.h"

class CCaptureApp {
public:
    // Starts with the values of construction (15, 15, 70, ...), which stay in
    // force when no settings folder can be determined.
    CCaptureApp();
    ~CCaptureApp();
    CCaptureApp(const CCaptureApp&) = delete;
    CCaptureApp& operator=(const CCaptureApp&) = delete;

    // The application object of this run, for windows that reach the settings
    // without being handed them (the editor). Null when none exists.
    static CCaptureApp* Instance();

    AppSettings& Settings() { return settings_; }
    const AppSettings& Settings() const { return settings_; }

    // Reads the settings file once at start-up; absent keys take the key
    // defaults. Nothing happens without a settings folder.
    void LoadSettings();
    // Writes all thirteen keys at exit. Failures are silent.
    void SaveSettings();

private:
    AppSettings settings_;
};
