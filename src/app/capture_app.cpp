#include "app/capture_app.h"

#include "app/settings_file.h"

namespace {
CCaptureApp* g_instance = nullptr;
}

CCaptureApp::CCaptureApp() {
    g_instance = this;
}

CCaptureApp::~CCaptureApp() {
    if (g_instance == this)
        g_instance = nullptr;
}

CCaptureApp* CCaptureApp::Instance() {
    return g_instance;
}

void CCaptureApp::LoadSettings() {
    if (const auto path = SettingsFilePath())
        LoadSettingsFile(*path, settings_);
}

void CCaptureApp::SaveSettings() {
    if (const auto path = SettingsFilePath())
        SaveSettingsFile(*path, settings_);
}
