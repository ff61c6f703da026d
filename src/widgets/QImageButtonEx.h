#pragma once
// Text-image button with a counter badge near its top right corner (the
// Converted button counts finished conversions with it).
//
// While the count is above 0 the badge image its owner sets (or a flat round
// badge when there is none or it cannot be read) is drawn at the top
// right corner and the count is written in its middle in "Tahoma": the decimal
// count in 11 px up to 99, else "99+" in 10 px, filled white with an outline
// of rgb(255, 120, 0).

#include "widgets/QTextImageButton.h"

class QImageButtonEx : public QTextImageButton
{
    Q_OBJECT
public:
    explicit QImageButtonEx(QWidget *parent = nullptr);

    int count() const { return m_count; }
    void resetCount();

    // The badge image (the program passes its skin's "btn_count.png"); an
    // empty path draws the flat badge.
    void setBadgeImage(const QString &path);
    // Where the badge is painted, in button coordinates.
    QRect badgeRect() const;

    // The text the badge shows for `count`: "" for 0 and below, the decimal
    // count up to 99, else "99+".
    static QString badgeText(int count);

public slots:
    void addItemCount();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const QPixmap &badge() const;

    int m_count = 0;
    QString m_badgePath;
    mutable QPixmap m_badge;
    mutable bool m_badgeLoaded = false;
};
