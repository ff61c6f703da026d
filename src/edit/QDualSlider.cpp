#include "edit/QDualSlider.h"

#include "base/AppPaths.h"
#include "widgets/QImageButton.h"
#include "widgets/Theme.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

QDualSlider::QDualSlider(QWidget *parent)
    : QWidget(parent)
    , m_btnStart(new QImageButton(this))
    , m_btnEnd(new QImageButton(this))
{
    m_btnStart->setObjectName("m_btnStartSlider");
    m_btnEnd->setObjectName("m_btnEndSlider");
    m_btnStart->loadImage(AppPaths::dataPath("/image/EditDlg/Edit_btn_start_slider.png"));
    m_btnEnd->loadImage(AppPaths::dataPath("/image/EditDlg/Edit_btn_end_slider.png"));
    m_btnStart->setToolTip(tr("Start"));
    m_btnEnd->setToolTip(tr("End"));
    // A missing image leaves a flat button of no particular width.
    if (m_btnStart->width() <= 0 || m_btnStart->width() > 40)
        m_btnStart->setFixedSize(12, 24);
    if (m_btnEnd->size() != m_btnStart->size())
        m_btnEnd->setFixedSize(m_btnStart->size());
    m_handleWidth = m_btnStart->width();
    for (QImageButton *b : {m_btnStart, m_btnEnd}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setCursor(Qt::SizeHorCursor);
        b->installEventFilter(this);
    }
    m_marked.load(AppPaths::dataPath("/image/EditDlg/Edit_TrimDSlider_rste.png"));
    setFixedHeight(m_btnStart->height());
    setMinimumWidth(2 * m_handleWidth + 20);
    setCursor(Qt::PointingHandCursor);
    m_lastT = usableLength();
    m_endOffset = m_lastT;
    placeHandles();
}

double QDualSlider::trackWidth() const
{
    // One column less than the widget, so that the end handle at T still
    // ends inside it.
    return width() - 1;
}

double QDualSlider::usableLength() const
{
    return std::max(1.0, trackWidth() - 2.0 * m_handleWidth + 1.0);
}

double QDualSlider::startValue() const { return m_startOffset / usableLength(); }
double QDualSlider::endValue() const { return m_endOffset / usableLength(); }

void QDualSlider::setStartPercent(double p)
{
    const double t = usableLength();
    if (p <= 0.0)
        m_startOffset = 0.0;
    else if (endValue() * 100.0 > p)
        m_startOffset = p * t / 100.0;
    else
        m_startOffset = (m_handleWidth + m_endOffset) - m_handleWidth; // directly left of the end handle
    placeHandles();
    update();
}

void QDualSlider::setEndPercent(double p)
{
    const double t = usableLength();
    if (p >= 100.0)
        m_endOffset = t;
    else if (startValue() * 100.0 >= p)
        m_endOffset = m_startOffset; // directly right of the start handle
    else
        m_endOffset = p * t / 100.0;
    placeHandles();
    update();
}

void QDualSlider::placeHandles()
{
    const int y = (height() - m_btnStart->height()) / 2;
    m_btnStart->move(int(m_startOffset + 0.5), y);
    m_btnEnd->move(int(m_handleWidth + m_endOffset + 0.5), y);
}

void QDualSlider::moveStartTo(double x)
{
    m_startOffset = std::clamp(x, 0.0, m_endOffset);
    placeHandles();
    update();
    emit sendProgressValue(startValue());
}

void QDualSlider::moveEndTo(double x)
{
    m_endOffset = std::clamp(x - m_handleWidth, m_startOffset, usableLength());
    placeHandles();
    update();
    emit sendEndProgressValue(endValue());
}

void QDualSlider::SetBtnFocus(QMouseEvent *event, int which)
{
    m_focus = which == EndHandle ? EndHandle : StartHandle;
    m_grabX = event ? int(event->position().x()) : m_handleWidth / 2;
}

void QDualSlider::btnMouseMove(QMouseEvent *event, int grabX)
{
    m_focus = StartHandle;
    moveStartTo(mapFromGlobal(event->globalPosition()).x() - grabX);
}

void QDualSlider::btnEndMouseMove(QMouseEvent *event, int grabX)
{
    m_focus = EndHandle;
    moveEndTo(mapFromGlobal(event->globalPosition()).x() - grabX);
}

bool QDualSlider::eventFilter(QObject *watched, QEvent *event)
{
    const int which = watched == m_btnStart ? StartHandle : watched == m_btnEnd ? EndHandle : -1;
    if (which >= 0) {
        auto *me = static_cast<QMouseEvent *>(event);
        if (event->type() == QEvent::MouseButtonPress && me->button() == Qt::LeftButton)
            SetBtnFocus(me, which);
        else if (event->type() == QEvent::MouseMove && (me->buttons() & Qt::LeftButton)) {
            if (which == StartHandle)
                btnMouseMove(me, m_grabX);
            else
                btnEndMouseMove(me, m_grabX);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void QDualSlider::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    mouseMoveEvent(event);
}

void QDualSlider::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    // The focused handle goes to the mouse, centred under it.
    const double left = event->position().x() - m_handleWidth / 2.0;
    if (m_focus == StartHandle)
        moveStartTo(left);
    else
        moveEndTo(left);
}

void QDualSlider::resizeEvent(QResizeEvent *)
{
    // The handles keep their values.
    const double t = usableLength();
    if (m_lastT > 0.0 && t != m_lastT) {
        m_startOffset = m_startOffset / m_lastT * t;
        m_endOffset = m_endOffset / m_lastT * t;
    }
    m_lastT = t;
    placeHandles();
}

void QDualSlider::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double barH = m_marked.isNull() ? 8.0 : m_marked.height();
    const double top = (height() - barH) / 2.0;
    p.setPen(Qt::NoPen);
    p.setBrush(Theme::field());
    p.drawRoundedRect(QRectF(m_handleWidth / 2.0, top, trackWidth() - m_handleWidth, barH), barH / 2, barH / 2);
    // The marked part: from the start handle's right edge to the end handle's left edge.
    const QRectF marked(m_startOffset + m_handleWidth, top, m_endOffset - m_startOffset, barH);
    if (marked.width() <= 0.0)
        return;
    if (m_marked.isNull())
        p.fillRect(marked, Theme::selection());
    else
        p.drawPixmap(marked, m_marked, QRectF(m_marked.rect()));
}
