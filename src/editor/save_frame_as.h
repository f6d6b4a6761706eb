#pragma once
// "Save this Frame As..." of the thumbnail strip: one recorded frame written
// at full size, without subtitles, as a BMP, JPEG or PNG picture.

#include <QString>

#include <functional>

class CxImage;
class QFileDialog;
class QWidget;

// Writes `frame` to `path` in the format its extension names (the text after
// the last "." of the path, judged by its first three characters, any case).
// False with a one-line reason in `error` when the extension names no format
// that can be written or writing fails. The file is written beside its
// target and renamed over it when complete, so a failed write leaves an
// existing file untouched and no partial file behind.
bool SaveFrameTo(const CxImage& frame, const QString& path, QString& error);

// Sets up the save dialog: "BMP (*.bmp)", "JPG (*.jpg)", "PNG (*.png)" with
// BMP chosen, a confirmation before replacing a file, and the chosen type's
// extension added to a name typed without one.
void ConfigureSaveFrameDialog(QFileDialog& dialog);

// Asks for a path (through `chooser` when given, else the save dialog) and
// writes the frame there; a failure is shown to the user in a message box.
void SaveFrameAs(QWidget* parent, const CxImage& frame,
                 const std::function<QString(QWidget*)>& chooser = {});
