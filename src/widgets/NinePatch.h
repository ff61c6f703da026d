#pragma once
// Nine-patch painting shared by the frameless windows, the skinned dialogs and
// the message dialog.
//
//   NinePatch::draw(painter, target, pixmap, margins)
//
// splits `pixmap` by `margins` (left, top, right, bottom, in source pixels)
// into nine parts and paints them over `target`: the four corners keep their
// size, the top and bottom edges stretch horizontally, the left and right edges
// vertically, and the centre both ways. When `target` is smaller than two
// corners together, the corners shrink in proportion so they never overlap.

#include <QMargins>
#include <QPixmap>
#include <QRect>

class QPainter;

namespace NinePatch {

// Paints nothing when `pixmap` is null or `target` is empty.
void draw(QPainter &painter, const QRect &target, const QPixmap &pixmap, const QMargins &margins);

// Margins of a third of the width and of the height on each side, the split the
// skinned dialogs use for their backgrounds.
QMargins thirds(const QSize &imageSize);

} // namespace NinePatch
