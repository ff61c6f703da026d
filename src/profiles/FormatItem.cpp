#include "profiles/FormatItem.h"

#include "base/AppPaths.h"
#include "widgets/FourStateTracker.h"
#include "widgets/QImageButton.h"
#include "widgets/Theme.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

FormatItem::FormatItem(const QString &category, const QString &id, const QString &title, QWidget *parent)
    : QWidget(parent)
    , m_category(category)
    , m_id(id)
    , m_iconFileName(QStringLiteral("icon_%1.png").arg(id))
{
    m_iconPath = AppPaths::dataPath("/image/Format/") + m_iconFileName;
    m_icon.load(m_iconPath);
    m_background.load(AppPaths::dataPath("/image/Format_Dlg/format_item.png"));
    setFixedSize(tileSize());
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);

    m_labName = new QLabel(title, this);
    m_labName->setObjectName(QStringLiteral("m_labName"));
    m_labName->setGeometry(6, 72, width() - 12, 36);
    m_labName->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_labName->setWordWrap(true);
    QFont font = Theme::font(11);
    m_labName->setFont(font);
    m_labName->setStyleSheet(QStringLiteral("color: rgb(220, 220, 220); background: transparent;"));
    m_labName->setToolTip(title);
    // Presses on the title belong to the tile.
    m_labName->setAttribute(Qt::WA_TransparentForMouseEvents);

    m_btnSet = new QImageButton(this);
    m_btnSet->setObjectName(QStringLiteral("m_btnSet"));
    m_btnSet->loadImage(AppPaths::dataPath("/image/Format_Dlg/btn_settings.png"));
    m_btnSet->setText(QString());
    m_btnSet->setToolTip(tr("Settings"));
    m_btnSet->move(width() - m_btnSet->width() - 5, 5);
    m_btnSet->hide();
    connect(m_btnSet, &QPushButton::clicked, this, &FormatItem::OnBtnSet);
}

void FormatItem::setDescription(const QString &description)
{
    const QString tip = description.isEmpty() ? m_labName->text() : m_labName->text() + QLatin1Char('\n') + description;
    m_labName->setToolTip(tip);
    setToolTip(tip);
}

QString FormatItem::title() const
{
    return m_labName->text();
}

void FormatItem::setState(QFormatItemState state)
{
    m_state = state;
    m_btnSet->setVisible(state == FormatItemSelected);
    update();
}

void FormatItem::BtnPress()
{
    if (m_state == FormatItemSelected)
        return;
    setState(FormatItemSelected);
    emit emitItemPress(m_category, m_id, false);
}

void FormatItem::BtnEnter()
{
    if (m_state != FormatItemSelected)
        setState(FormatItemHover);
}

void FormatItem::BtnLeave()
{
    if (m_state != FormatItemSelected)
        setState(FormatItemNormal);
}

void FormatItem::OnBtnSet()
{
    emit emitOnSet(m_id);
}

void FormatItem::setKeyboardMark(bool on)
{
    if (m_keyboardMark == on)
        return;
    m_keyboardMark = on;
    update();
}

void FormatItem::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    FourStateTracker::drawFrame(p, rect(), m_background, m_state);
    if (!m_icon.isNull()) {
        const QSize shown = m_icon.size().scaled(64, 60, Qt::KeepAspectRatio);
        p.drawPixmap(QRect(QPoint((width() - shown.width()) / 2, 8), shown), m_icon);
    }
    if (m_keyboardMark)
        FourStateTracker::drawFocusRing(p, rect());
}

void FormatItem::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    BtnEnter();
}

void FormatItem::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    BtnLeave();
}

void FormatItem::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        BtnPress();
    // Kept here: the grid reads a press that reaches it as one on its free space.
    event->accept();
}

void FormatItem::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit emitItemDoubleClick();
    event->accept();
}
