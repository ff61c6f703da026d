#include "profiles/PresetComboBox.h"

#include "base/AppPaths.h"
#include "widgets/FourStateTracker.h"
#include "widgets/Theme.h"

#include <QAbstractItemView>
#include <QPainter>

PresetComboBox::PresetComboBox(QWidget *parent)
    : QComboBox(parent)
    , m_tracker(new FourStateTracker(this))
{
    m_frame.load(AppPaths::dataPath("/image/Common_bg/bg_combobox2.png"));
    m_button.load(AppPaths::dataPath("/image/Format_Dlg/btn_quality.png"));
    QFont f = Theme::font(12);
    setFont(f);
    setFocusPolicy(Qt::NoFocus);
    view()->setStyleSheet(Theme::sheet(QStringLiteral(
        "QAbstractItemView { background: @panel; color: white; border: 1px solid rgb(74, 75, 76);"
        " selection-background-color: @selection; selection-color: white; outline: none; }")));
    connect(this, QOverload<int>::of(&QComboBox::activated), this, &PresetComboBox::clearShownText);
}

void PresetComboBox::setShownText(const QString &text)
{
    m_shownText = text;
    update();
}

void PresetComboBox::clearShownText()
{
    m_shownText.clear();
    update();
}

QString PresetComboBox::shownText() const
{
    return m_shownText.isEmpty() ? currentText() : m_shownText;
}

void PresetComboBox::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const int state = isEnabled() ? m_tracker->state() : FourStateTracker::Disabled;
    FourStateTracker::drawFrame(p, rect(), m_frame, state);
    const int bw = FourStateTracker::frameWidth(m_button);
    if (bw > 0) {
        const QRect button(width() - bw - 2, (height() - m_button.height()) / 2, bw, m_button.height());
        FourStateTracker::drawFrame(p, button, m_button, state);
    }
    p.setFont(font());
    p.setPen(isEnabled() ? QColor(Qt::white) : QColor(128, 128, 128));
    const QRect area = rect().adjusted(8, 0, -(bw + 6), 0);
    p.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
               p.fontMetrics().elidedText(shownText(), Qt::ElideRight, area.width()));
}
