#pragma once
// The skin's font and colours, in one place for every window of the kit and
// the program. Style sheets take the colours through sheet().

#include <QColor>
#include <QFont>
#include <QPalette>
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

// A palette in the skin's colours for the widgets the skin does not draw
// (standard file dialogs, message boxes, tooltips), so they do not open as
// light windows over the dark ones.
inline QPalette darkPalette()
{
    QPalette p;
    const QColor text(220, 220, 220);
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(g, QPalette::Window, panel());
        p.setColor(g, QPalette::WindowText, text);
        p.setColor(g, QPalette::Base, field());
        p.setColor(g, QPalette::AlternateBase, QColor(45, 45, 46));
        p.setColor(g, QPalette::Text, text);
        p.setColor(g, QPalette::Button, QColor(74, 75, 75));
        p.setColor(g, QPalette::ButtonText, text);
        p.setColor(g, QPalette::BrightText, Qt::white);
        p.setColor(g, QPalette::Highlight, selection());
        p.setColor(g, QPalette::HighlightedText, Qt::white);
        p.setColor(g, QPalette::ToolTipBase, field());
        p.setColor(g, QPalette::ToolTipText, text);
        p.setColor(g, QPalette::PlaceholderText, mutedText());
        p.setColor(g, QPalette::Link, QColor(90, 170, 210));
        p.setColor(g, QPalette::Light, QColor(90, 91, 91));
        p.setColor(g, QPalette::Midlight, QColor(80, 81, 81));
        p.setColor(g, QPalette::Mid, QColor(50, 50, 51));
        p.setColor(g, QPalette::Dark, QColor(35, 35, 36));
        p.setColor(g, QPalette::Shadow, QColor(20, 20, 20));
    }
    p.setColor(QPalette::Disabled, QPalette::Window, panel());
    p.setColor(QPalette::Disabled, QPalette::Base, field());
    p.setColor(QPalette::Disabled, QPalette::Button, QColor(66, 67, 67));
    for (QPalette::ColorRole r : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, r, disabledText());
    p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(60, 80, 90));
    return p;
}

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
