#include "widgets/NinePatch.h"

#include <QPainter>
#include <qdrawutil.h>

#include <algorithm>

namespace {

// Keeps a pair of opposite margins within `length`, shrinking both in
// proportion when they would overlap.
void fitPair(int &a, int &b, int length)
{
    a = std::max(a, 0);
    b = std::max(b, 0);
    const int sum = a + b;
    if (sum <= length || sum == 0)
        return;
    a = static_cast<int>(static_cast<qint64>(a) * length / sum);
    b = length - a;
}

} // namespace

namespace NinePatch {

void draw(QPainter &painter, const QRect &target, const QPixmap &pixmap, const QMargins &margins)
{
    if (pixmap.isNull() || target.isEmpty())
        return;

    int sl = margins.left(), sr = margins.right(), st = margins.top(), sb = margins.bottom();
    fitPair(sl, sr, pixmap.width());
    fitPair(st, sb, pixmap.height());

    int tl = sl, tr = sr, tt = st, tb = sb;
    fitPair(tl, tr, target.width());
    fitPair(tt, tb, target.height());

    qDrawBorderPixmap(&painter, target, QMargins(tl, tt, tr, tb), pixmap, pixmap.rect(),
                      QMargins(sl, st, sr, sb), QTileRules(Qt::StretchTile));
}

QMargins thirds(const QSize &imageSize)
{
    const int w = imageSize.width() / 3;
    const int h = imageSize.height() / 3;
    return QMargins(w, h, w, h);
}

} // namespace NinePatch
