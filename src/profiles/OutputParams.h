#pragma once
// The output half of a conversion job, from the chosen format.

#include "engine/ConvertParams.h"

struct OutputFormat;

// Container, codecs, rates and size (the source's size where the format
// keeps it). Audio-only formats get no video stream. Edit settings and the
// range are left at their defaults.
ConvertParams outputParams(const OutputFormat &format, int sourceWidth, int sourceHeight);
