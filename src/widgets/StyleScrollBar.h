#pragma once
// Vertical scroll bar in the dark skin: an 8 px wide transparent bar with 9 px
// kept free at both ends for the arrows, a rounded dark handle and image
// arrows (normal and hover).

#include <QScrollBar>

class StyleScrollBar : public QScrollBar
{
    Q_OBJECT
public:
    explicit StyleScrollBar(QWidget *parent = nullptr);
    explicit StyleScrollBar(Qt::Orientation orientation, QWidget *parent = nullptr);

    void setArrowImages(const QString &upNormal, const QString &upHover, const QString &downNormal,
                        const QString &downHover);

    // The style sheet of the skin. Empty image paths give plain arrow areas of
    // the page colour.
    static QString styleSheetFor(const QString &upNormal, const QString &upHover, const QString &downNormal,
                                 const QString &downHover);
};
