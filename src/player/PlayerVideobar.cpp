#include "player/PlayerVideobar.h"

#include "base/AppPaths.h"
#include "widgets/QImageButton.h"
#include "widgets/Theme.h"

#include <zentrix.hpp>

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr int kRowHeight = 52;
const QRect kThumbRect(8, 6, 64, 40);

} // namespace

PlayerVideobar::PlayerVideobar(const QString &path, QWidget *parent)
    : QWidget(parent)
    , m_path(path)
    , m_btnDelete(new QImageButton(this))
{
    m_name = path.mid(path.lastIndexOf('/') + 1);
    setFixedHeight(kRowHeight);
    setMouseTracking(true);
    setToolTip(path);
    m_btnDelete->loadImage(AppPaths::dataPath("/image/btn_close.png"));
    m_btnDelete->setToolTip(tr("Delete"));
    m_btnDelete->hide();
    connect(m_btnDelete, &QPushButton::clicked, this, &PlayerVideobar::emitDelete);
    readFile();
}

void PlayerVideobar::readFile()
{
    zxh::SourcePtr src(SourceCreate(-1));
    if (!src || SourceOpenFile(src.get(), m_path.toUtf8().constData()) != 1)
        return;
    m_duration = SourceDuration(src.get());
    if (SourceHasVideo(src.get())) {
        const unsigned char *bmp = SourceThumbnail(src.get(), m_duration / 10, 1, kThumbRect.width() * 2,
                                                   kThumbRect.height() * 2, 0);
        if (bmp && bmp[0] == 'B' && bmp[1] == 'M') {
            const quint32 bytes = quint32(bmp[2]) | quint32(bmp[3]) << 8 | quint32(bmp[4]) << 16
                | quint32(bmp[5]) << 24;
            m_thumbnail = QImage::fromData(bmp, int(bytes), "BMP");
        }
    }
}

QString PlayerVideobar::lengthText(qint64 microseconds)
{
    const qint64 s = qMax<qint64>(0, microseconds / 1000000);
    const qint64 h = s / 3600, m = s / 60 % 60, sec = s % 60;
    if (h == 0)
        return QString::asprintf("%02lld:%02lld", m, sec);
    return QString::asprintf("%02lld:%02lld:%02lld", h, m, sec);
}

void PlayerVideobar::setCurrent(bool on)
{
    m_current = on;
    update();
}

void PlayerVideobar::setSelected(bool on)
{
    m_selected = on;
    update();
}

void PlayerVideobar::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (m_selected || m_current)
        p.fillRect(rect(), m_selected ? Theme::selection() : QColor(255, 255, 255, 22));
    else if (m_hover)
        p.fillRect(rect(), QColor(255, 255, 255, 12));
    p.setPen(QColor(0, 0, 0, 90));
    p.drawLine(0, height() - 1, width(), height() - 1);

    p.fillRect(kThumbRect, Theme::field());
    if (!m_thumbnail.isNull()) {
        const QSize s = m_thumbnail.size().scaled(kThumbRect.size(), Qt::KeepAspectRatio);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(QRect(kThumbRect.center().x() - s.width() / 2 + 1, kThumbRect.center().y() - s.height() / 2 + 1,
                          s.width(), s.height()),
                    m_thumbnail);
    } else {
        p.setPen(Theme::mutedText());
        p.setFont(Theme::font(18));
        p.drawText(kThumbRect, Qt::AlignCenter, QStringLiteral("\u266B"));
    }

    const int textLeft = kThumbRect.right() + 8;
    const int textRight = width() - 8 - (m_btnDelete->isVisible() ? m_btnDelete->width() + 4 : 0);
    const QRect nameRect(textLeft, 6, textRight - textLeft, 20);
    p.setFont(Theme::font(12, m_current));
    p.setPen(m_current ? QColor(Qt::white) : QColor(220, 220, 220));
    p.drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter,
               QFontMetrics(p.font()).elidedText(m_name, Qt::ElideMiddle, nameRect.width()));
    p.setFont(Theme::font(11));
    p.setPen(Theme::mutedText());
    p.drawText(QRect(textLeft, 26, textRight - textLeft, 18), Qt::AlignLeft | Qt::AlignVCenter, lengthShown());
}

void PlayerVideobar::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton)
        emit emitPressEvent();
    else if (event->button() == Qt::LeftButton)
        setSelected(true);
}

void PlayerVideobar::mouseReleaseEvent(QMouseEvent *)
{
    emit emitReleseEvent();
}

void PlayerVideobar::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit emitDoublePressEvent();
}

void PlayerVideobar::enterEvent(QEnterEvent *)
{
    m_hover = true;
    m_btnDelete->show();
    update();
    emit emitEnterEvent();
}

void PlayerVideobar::leaveEvent(QEvent *)
{
    m_hover = false;
    m_btnDelete->hide();
    update();
    emit emitLeaveEvent();
}

void PlayerVideobar::resizeEvent(QResizeEvent *)
{
    m_btnDelete->move(width() - m_btnDelete->width() - 8, (height() - m_btnDelete->height()) / 2);
}
