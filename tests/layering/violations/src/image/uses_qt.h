#pragma once
// Breaks two rules: Qt in the image layer, and a higher layer included.
#include <QString>

#include "engine/gif_maker.h"
#include "image/cximage.h"
