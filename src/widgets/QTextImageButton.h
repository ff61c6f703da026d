#pragma once
// Four-frame image button (see FourStateTracker) that also draws its text,
// in one colour per state, and an optional icon.

#include <QColor>
#include <QPixmap>
#include <QPushButton>
#include <QRect>

class FourStateTracker;

class QTextImageButton : public QPushButton
{
    Q_OBJECT
public:
    explicit QTextImageButton(QWidget *parent = nullptr);

    // Loads the four-frame image and fixes the button at one frame's size.
    // A non-empty `text` becomes the button's text (QPushButton::text(), which
    // is what gets painted); `textFlags` are Qt::AlignmentFlag / Qt::TextFlag
    // values. A missing image returns false and leaves a flat look.
    bool setImage(const QString &path, const QString &text = QString(), int textFlags = Qt::AlignCenter);

    // Restricts the text to the rectangle from (x1, y1) to (x2, y2), corners
    // included, instead of the whole button.
    void setFixedRect(int x1, int y1, int x2, int y2);
    void setTextOffset(int x, int y);
    void setTextFlags(int flags);

    // A text wider than its area is cut with "…" (Qt::ElideNone, the
    // default, draws it whole and lets it clip). shownText() is what is drawn.
    void setElideMode(Qt::TextElideMode mode);
    QString shownText() const;

    // One colour for every state, or one per state.
    void setTextColor(const QColor &color);
    void setTextColors(const QColor &normal, const QColor &hover, const QColor &pressed,
                       const QColor &disabled);
    QColor textColor(int state) const;

    // The icon is drawn into the icon rectangle; without one, at its own size
    // 5 px from the left edge, centred vertically.
    bool setIconImage(const QString &path);
    void setIconPixmap(const QPixmap &pixmap);
    void setIconRect(int x, int y, int w, int h);

    // 0 normal, 1 hover, 2 pressed, 3 disabled.
    int state() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QRect textArea() const;

    QPixmap m_image;
    QPixmap m_icon;
    QRect m_iconRect;
    QRect m_textRect;
    QPoint m_textOffset;
    int m_textFlags = Qt::AlignCenter;
    Qt::TextElideMode m_elide = Qt::ElideNone;
    QColor m_colors[4];
    FourStateTracker *m_tracker;
};
