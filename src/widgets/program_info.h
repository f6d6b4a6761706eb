#pragma once
// What the program says about itself: its title, the version it was built as
// and its legal line. Kept in one place so the window title, the About dialog
// and the help page agree.
#include <QString>

#include <array>

namespace program_info {

// The application title ("Frameloop").
QString ApplicationTitle();

// The four parts of the program's version (major, minor, patch, tweak).
std::array<unsigned, 4> VersionParts();

// "Frameloop Version 0.1.0.0".
QString VersionLine();

// The compiled-in legal notice.
QString LegalLine();

// Addresses shown by the About dialog and the help menu.
QString WebsiteText();
QString WebsiteAddress();
QString SupportText();
QString SupportAddress();

} // namespace program_info
