#include "profiles/FormatCategoryButton.h"

#include "base/AppPaths.h"
#include "widgets/Theme.h"

#include <QPainter>

FormatCategoryButton::FormatCategoryButton(const QString &category, QWidget *parent)
    : QTextImageButton(parent)
    , m_category(category)
    , m_iconPath(AppPaths::dataPath(iconFor(category)))
{
    setImage(AppPaths::dataPath("/image/Format_Dlg/btn_Devices.png"), category,
             Qt::AlignLeft | Qt::AlignVCenter);
    setFixedHeight(45);
    QFont f = Theme::font(13);
    setFont(f);
    setTextColor(Theme::mutedText());
    setTextOffset(50, 0);
    setIconImage(m_iconPath);
    setIconRect(10, 8, 32, 29);
}

QString FormatCategoryButton::iconFor(const QString &category)
{
    if (category == QLatin1String("Devices"))
        return QStringLiteral("/image/Format_Dlg/profile_icon_devices@2x.png");
    if (category == QLatin1String("HD Video"))
        return QStringLiteral("/image/Format_Dlg/profile_icon_hdvideo@2x.png");
    if (category == QLatin1String("Web Video"))
        return QStringLiteral("/image/Format_Dlg/profile_icon_webvideo@2x.png");
    if (category == QLatin1String("General Video"))
        return QStringLiteral("/image/Format_Dlg/profile_icon_video@2x.png");
    if (category == QLatin1String("General Audio"))
        return QStringLiteral("/image/Format_Dlg/profile_icon_audio@2x.png");
    return QStringLiteral("/image/Format_Dlg/main_icon_format@2x.png");
}

void FormatCategoryButton::setHighlighted(bool on)
{
    m_highlighted = on;
    setTextColor(on ? QColor(Qt::white) : Theme::mutedText());
    update();
}

void FormatCategoryButton::paintEvent(QPaintEvent *event)
{
    QTextImageButton::paintEvent(event);
    if (!m_highlighted)
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(37, 118, 150, 90));
    p.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 3, 3);
    p.setBrush(QColor(56, 148, 184));
    p.drawRoundedRect(QRectF(1, 6, 3, height() - 12), 1.5, 1.5);
}
