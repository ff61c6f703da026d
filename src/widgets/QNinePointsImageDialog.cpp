#include "widgets/QNinePointsImageDialog.h"

#include "widgets/NinePatch.h"
#include "widgets/QImageButton.h"

#include <QLabel>

#include <QMouseEvent>
#include <QPainter>

QNinePointsImageDialog::QNinePointsImageDialog(QWidget *parent)
    : QDialog(parent), m_frame(this)
{
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
}

bool QNinePointsImageDialog::setBackgroundImage(const QString &path, bool draggable)
{
    m_frame.setDraggable(draggable);
    if (!m_background.load(path)) {
        m_background = QPixmap();
        m_margins = QMargins();
        applySizeLimits();
        update();
        return false;
    }
    m_margins = NinePatch::thirds(m_background.size());
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    resize(m_background.size());
    applySizeLimits();
    update();
    return true;
}

void QNinePointsImageDialog::setDraggable(bool on)
{
    m_frame.setDraggable(on);
}

void QNinePointsImageDialog::setResizable(bool on)
{
    m_frame.setResizable(on);
    m_frame.watchChildren(on);
    applySizeLimits();
}

void QNinePointsImageDialog::applySizeLimits()
{
    if (m_background.isNull()) {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        return;
    }
    if (m_frame.isResizable()) {
        setMinimumSize(m_margins.left() + m_margins.right(), m_margins.top() + m_margins.bottom());
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    } else {
        setFixedSize(size());
    }
}

void QNinePointsImageDialog::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_background.isNull())
        painter.fillRect(rect(), QColor(45, 45, 48));
    else
        NinePatch::draw(painter, rect(), m_background, m_margins);
}

void QNinePointsImageDialog::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
}

void QNinePointsImageDialog::addLogoAndCloseButton(QImageButton *closeButton, const QString &logoPath,
                                                   const QString &closeImagePath)
{
    auto *logo = new QLabel(this);
    logo->setPixmap(QPixmap(logoPath));
    logo->adjustSize();
    logo->move(12, 8);

    closeButton->loadImage(closeImagePath);
    closeButton->move(width() - closeButton->width() - 10, 8);
}
