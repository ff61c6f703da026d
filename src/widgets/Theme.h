#pragma once
// The skin's font and colours, in one place for every window of the kit and
// the program. Style sheets take the colours through sheet().

#include <QColor>
#include <QFont>
#include <QString>

namespace Theme {

// The skin's one font family, sized in pixels so the skinned images and the
// text keep their proportions at any screen resolution.
inline QFont font(int pixelSize, bool bold = false)
{
    QFont f(QStringLiteral("Tahoma"));
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}

inline QColor panel() { return QColor(62, 63, 63); }        // lists, pages, menus
inline QColor field() { return QColor(31, 29, 30); }        // edit fields, empty bars
inline QColor mutedText() { return QColor(172, 170, 171); } // labels beside white text
inline QColor selection() { return QColor(37, 118, 150); }  // selected rows and items, progress
inline QColor disabledText() { return QColor(120, 120, 120); }

// "rgb(r, g, b)" for style sheets.
inline QString css(const QColor &c)
{
    return QStringLiteral("rgb(%1, %2, %3)").arg(c.red()).arg(c.green()).arg(c.blue());
}

// A style sheet with the skin's colours named: "@panel", "@field", "@muted",
// "@selection" and "@disabled" become their rgb() values.
inline QString sheet(QString text)
{
    return text.replace(QLatin1String("@panel"), css(panel()))
        .replace(QLatin1String("@field"), css(field()))
        .replace(QLatin1String("@muted"), css(mutedText()))
        .replace(QLatin1String("@selection"), css(selection()))
        .replace(QLatin1String("@disabled"), css(disabledText()));
}

} // namespace Theme
