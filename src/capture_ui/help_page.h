#pragma once
// The page "Why Created GIF is Blank" ships inside the program; it is written
// out to a file so the user's web browser can open it.
#include <QString>

namespace help_page {

// Writes the page to the program's cache folder and returns its path; empty
// when it cannot be written.
QString WriteBlankGifHelp();

// Opens the page in the default web browser; failures are not reported.
void OpenBlankGifHelp();

} // namespace help_page
