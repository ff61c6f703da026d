#include "widgets/QCustomComboBox.h"

#include "widgets/DarkMenuStyle.h"
#include "widgets/Theme.h"

#include <QAction>
#include <QMenu>
#include <QPainter>

QCustomComboBox::QCustomComboBox(QWidget *parent) : QCustomImageWidget(parent)
{
    QFont f = Theme::font(12);
    setFont(f);
    connect(this, &QCustomImageWidget::clicked, this, &QCustomComboBox::emitShowItemMenu);
    connect(this, &QCustomComboBox::emitShowItemMenu, this, &QCustomComboBox::ShowItemMenu);
}

void QCustomComboBox::addItem(const QString &text)
{
    m_items.append(text);
    if (m_current < 0)
        setCurrentIndex(0);
}

void QCustomComboBox::addItems(const QStringList &texts)
{
    for (const QString &text : texts)
        addItem(text);
}

void QCustomComboBox::clear()
{
    m_items.clear();
    if (m_menu)
        m_menu->close();
    if (m_current != -1) {
        m_current = -1;
        update();
        emit currentIndexChanged(-1);
    }
}

void QCustomComboBox::setCurrentIndex(int index)
{
    if (index < 0 || index >= count() || index == m_current)
        return;
    m_current = index;
    update();
    emit currentIndexChanged(index);
}

QString QCustomComboBox::currentText() const
{
    return itemText(m_current);
}

QString QCustomComboBox::itemText(int index) const
{
    return index >= 0 && index < count() ? m_items.at(index) : QString();
}

void QCustomComboBox::ShowItemMenu()
{
    if (m_menu)
        m_menu->deleteLater();
    m_menu = new QMenu(this);
    m_menu->setAttribute(Qt::WA_DeleteOnClose);
    m_menu->setStyleSheet(DarkMenuStyle::styleSheet());
    m_menu->setMinimumWidth(width());
    for (int i = 0; i < count(); ++i) {
        QAction *action = m_menu->addAction(m_items.at(i));
        action->setData(i);
        action->setCheckable(true);
        action->setChecked(i == m_current);
        connect(action, &QAction::triggered, this, &QCustomComboBox::OnAction);
    }
    m_menu->popup(mapToGlobal(QPoint(0, height())));
}

void QCustomComboBox::OnAction()
{
    auto *action = qobject_cast<QAction *>(sender());
    if (!action)
        return;
    bool ok = false;
    const int index = action->data().toInt(&ok);
    if (!ok || index < 0 || index >= count())
        return;
    setCurrentIndex(index);
    emit activated(index);
}

void QCustomComboBox::paintEvent(QPaintEvent *event)
{
    QCustomImageWidget::paintEvent(event);
    const QString text = currentText();
    if (text.isEmpty())
        return;
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(state() == 3 ? QColor(128, 128, 128) : QColor(Qt::white));
    const QRect area = rect().adjusted(8, 0, -20, 0);
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                     painter.fontMetrics().elidedText(text, Qt::ElideRight, area.width()));
}
