#include "widgets/QImageDialog.h"

#include <QMouseEvent>
#include <QPainter>

QImageDialog::QImageDialog(QWidget *parent) : QDialog(parent), m_frame(this)
{
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    m_frame.setDragWholeWindow(true);
}

bool QImageDialog::setBackgroundImage(const QString &path)
{
    if (!m_background.load(path)) {
        m_background = QPixmap();
        update();
        return false;
    }
    resize(m_background.size());
    update();
    return true;
}

void QImageDialog::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_background.isNull())
        painter.fillRect(rect(), QColor(45, 45, 48));
    else
        painter.drawPixmap(rect(), m_background);
}

