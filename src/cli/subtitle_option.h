#pragma once
// The value of make-gif's --subtitle option: FIRST:LAST:X:Y:TEXT. Kept apart
// from the command so it can be exercised without a screen.

#include <QString>

#include <cstdint>
#include <memory>

#include "gif/subtitle.h"

// A subtitle in the default style covering frames FIRST..LAST (1-based), its
// box's bottom-left corner at X,Y, lettered with TEXT (which may hold colons).
// The font height follows `pixelsPerInch`. Null with a one-line reason in
// `error` when the value is malformed or the text does not fit the record.
std::unique_ptr<SubtitleItem> ParseSubtitleOption(const QString& value, int32_t pixelsPerInch,
                                                  QString& error);
