#pragma once
// The three ways a finished GIF leaves the program: an external uploader, the
// clipboard and a file the user picks. None of them touches the temporary GIF.
#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <memory>

class QFileDialog;
class QMenu;
class QMimeData;
class QWidget;

namespace sharing {

// Command ids of the "SaveMore" menu.
inline constexpr int kCmdUpload = 32859;
inline constexpr int kCmdCopy = 32858;
inline constexpr int kCmdSave = 32860;

inline constexpr char kUploaderProgram[] = "ImgurUploader";

// Fills `menu` with "Upload to Imgur", "Copy to Clipboard" and "Save to Disk",
// each action carrying its command id as data; the menu's accessible name is
// "Save or Upload", after the button that opens it.
void BuildSaveMenu(QMenu& menu);

// Where a menu of `menuSize` goes so that its bottom-left corner sits on the
// top-left corner of `button` (it opens upwards). When the screen has no room
// above, it moves down only as far as needed to stay on `screen`.
QPoint SaveMenuPosition(const QRect& button, const QSize& menuSize, const QRect& screen);

// Starts the uploader found on PATH with `gifPath` as its single argument.
// Returns false (and starts nothing) when the uploader is missing.
bool StartUploader(const QString& gifPath);

// The save dialog: one filter for GIF files, ".gif" added to a bare name,
// overwriting asks first.
std::unique_ptr<QFileDialog> MakeSaveDialog(QWidget* parent);

// Copies `source` to `target`, replacing it. The target is written to a
// temporary file and renamed at the end, so a failed copy leaves an existing
// target as it was.
bool CopyFileReplacing(const QString& source, const QString& target);

// Folder that keeps the clipboard's copy of the GIF alive after the temporary
// file is gone.
QString ClipboardFolder();

// Writes `gifBytes` as `fileName` into the clipboard folder (removing the
// copies of earlier clipboard contents) and returns its path, or an empty
// string on failure.
QString WriteClipboardCopy(const QByteArray& gifBytes, const QString& fileName);

// The clipboard contents for a GIF: the bytes as "image/gif", the first frame
// as an image and, when `copyPath` is not empty, the copy as a file URL.
std::unique_ptr<QMimeData> MakeGifMimeData(const QByteArray& gifBytes, const QImage& firstFrame,
                                           const QString& copyPath);

} // namespace sharing
