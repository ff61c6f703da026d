#include "profiles/FormatItemWidget.h"
#include "ui_FormatItemWidget.h"

#include "profiles/FormatItem.h"
#include "profiles/ProfileCatalog.h"
#include "base/AppPaths.h"
#include "widgets/StyleScrollBar.h"

#include "widgets/FourStateTracker.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

FormatItemWidget::FormatItemWidget(const ProfileCatalog &catalog, QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::FormatItemWidget)
    , m_catalog(catalog)
{
    ui->setupUi(this);
    m_columns[0] = ui->m_layColumn1;
    m_columns[1] = ui->m_layColumn2;
    m_columns[2] = ui->m_layColumn3;
    m_columns[3] = ui->m_layColumn4;
    m_columns[4] = ui->m_layColumn5;
    for (QVBoxLayout *column : m_columns)
        column->addStretch(1);

    setAttribute(Qt::WA_TranslucentBackground);
    ui->m_scrollArea->setStyleSheet(QStringLiteral("QScrollArea { background: transparent; }"));
    ui->m_scrollArea->viewport()->setAutoFillBackground(false);
    ui->m_wgtItems->setAutoFillBackground(false);
    ui->m_wgtItems->setStyleSheet(QStringLiteral("#m_wgtItems { background: transparent; }"));

    auto *bar = new StyleScrollBar(Qt::Vertical, ui->m_scrollArea);
    bar->setArrowImages(AppPaths::dataPath("/image/ScrollBar/btn_up2.png"),
                        AppPaths::dataPath("/image/ScrollBar/btn_up.png"),
                        AppPaths::dataPath("/image/ScrollBar/btn_down2.png"),
                        AppPaths::dataPath("/image/ScrollBar/btn_down.png"));
    ui->m_scrollArea->setVerticalScrollBar(bar);

    // A press on the grid's free space means "not this panel any more".
    ui->m_wgtItems->installEventFilter(this);

    // The grid itself takes the focus (a click on a tile puts it here), so the
    // arrow keys move between tiles rather than scroll.
    setFocusPolicy(Qt::StrongFocus);
    ui->m_scrollArea->setFocusPolicy(Qt::NoFocus);
}

FormatItemWidget::~FormatItemWidget()
{
    delete ui;
}

void FormatItemWidget::clearItems()
{
    for (FormatItem *item : std::as_const(m_items)) {
        for (QVBoxLayout *column : m_columns)
            column->removeWidget(item);
        item->hide();
        // Later: the removal may run inside a signal that a tile emitted.
        item->deleteLater();
    }
    m_items.clear();
    m_current = nullptr;
}

void FormatItemWidget::fill(const QString &category)
{
    clearItems();
    m_category = category;
    const QList<FormatRecord> records = m_catalog.formats(category);
    for (const FormatRecord &record : records) {
        auto *item = new FormatItem(record.category, record.id, record.title, ui->m_wgtItems);
        item->setObjectName(QStringLiteral("FormatItem_%1").arg(record.id));
        item->setDescription(m_catalog.baseInfo(category, record.id, QStringLiteral("description")));
        const int n = int(m_items.size()) + 1;
        QVBoxLayout *column = m_columns[(n - 1) % 5];
        // Before the column's closing stretch.
        column->insertWidget(column->count() - 1, item);
        connect(item, &FormatItem::emitItemPress, this, &FormatItemWidget::ItemPress);
        connect(item, &FormatItem::emitOnSet, this, &FormatItemWidget::emitClickBtnSet);
        connect(item, &FormatItem::emitItemDoubleClick, this, &FormatItemWidget::emitDoubleClick);
        m_items.append(item);
        item->show();
    }
    ui->m_scrollArea->verticalScrollBar()->setValue(0);
}

FormatItem *FormatItemWidget::itemById(const QString &id) const
{
    for (FormatItem *item : m_items)
        if (item->id() == id)
            return item;
    return nullptr;
}

void FormatItemWidget::selectById(const QString &id)
{
    for (FormatItem *item : std::as_const(m_items)) {
        const bool chosen = item->id() == id;
        item->setState(chosen ? FormatItemSelected : FormatItemNormal);
        if (chosen) {
            m_current = item;
            ui->m_scrollArea->ensureWidgetVisible(item, 0, 8);
        }
    }
}

void FormatItemWidget::ensureCurrentVisible()
{
    if (m_current)
        ui->m_scrollArea->ensureWidgetVisible(m_current, 0, 8);
}

int FormatItemWidget::columnOf(const FormatItem *item) const
{
    for (int c = 0; c < 5; ++c)
        if (m_columns[c]->indexOf(const_cast<FormatItem *>(item)) >= 0)
            return c + 1;
    return 0;
}

void FormatItemWidget::ItemPress(QString categories, QString itemID, bool all)
{
    if (!all)
        emit emitItemPress(categories, itemID);
    auto *pressing = qobject_cast<FormatItem *>(sender());
    for (FormatItem *item : std::as_const(m_items))
        if (item != pressing)
            item->setState(FormatItemNormal);
    if (pressing)
        m_current = pressing;
    markKeyboardTile();
}

void FormatItemWidget::markKeyboardTile()
{
    const bool keyboard = FourStateTracker::showsFocusRing(this);
    for (FormatItem *item : std::as_const(m_items))
        item->setKeyboardMark(keyboard && item == m_current);
}

void FormatItemWidget::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    markKeyboardTile();
}

void FormatItemWidget::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    markKeyboardTile();
}

void FormatItemWidget::keyPressEvent(QKeyEvent *event)
{
    if (m_items.isEmpty()) {
        QWidget::keyPressEvent(event);
        return;
    }
    const int count = int(m_items.size());
    const int at = m_current ? int(m_items.indexOf(m_current.data())) : -1;
    int to = at;
    switch (event->key()) {
    case Qt::Key_Left: to = at - 1; break;
    case Qt::Key_Right: to = at + 1; break;
    case Qt::Key_Up: to = at - 5; break;
    case Qt::Key_Down: to = at < 0 ? 0 : at + 5; break;
    case Qt::Key_Home: to = 0; break;
    case Qt::Key_End: to = count - 1; break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    if (at < 0)
        to = 0;
    if (to < 0 || to >= count || to == at)
        return;
    // Moving by keyboard shows the ring even after a click put the focus here.
    window()->setAttribute(Qt::WA_KeyboardFocusChange);
    m_items[to]->BtnPress();
    ensureCurrentVisible();
    markKeyboardTile();
}

bool FormatItemWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
        emit emitClickFormatWgt();
    return QWidget::eventFilter(watched, event);
}
