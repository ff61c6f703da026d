#pragma once
// Combo box drawn as a four-state image widget: it shows the current item's
// text in "Tahoma" and, when clicked, emits emitShowItemMenu(), which pops up
// a dark menu of the items under it (ShowItemMenu). Choosing an item makes it
// current (currentIndexChanged() when it changed) and emits activated().
//
// Index rules: the first item added becomes current; clear() leaves no
// current item (-1); setCurrentIndex() ignores indexes out of range.

#include <QMenu>
#include <QPointer>
#include <QStringList>

#include "widgets/QCustomImageWidget.h"

class QCustomComboBox : public QCustomImageWidget
{
    Q_OBJECT
public:
    explicit QCustomComboBox(QWidget *parent = nullptr);

    void addItem(const QString &text);
    void addItems(const QStringList &texts);
    void clear();
    int count() const { return int(m_items.size()); }
    int currentIndex() const { return m_current; }
    void setCurrentIndex(int index);
    QString currentText() const;
    QString itemText(int index) const;

    // The menu of the last ShowItemMenu(), while it exists.
    QMenu *itemMenu() const { return m_menu; }

signals:
    void activated(int index);
    void currentIndexChanged(int index);
    void emitShowItemMenu();

public slots:
    void OnAction();
    void ShowItemMenu();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QStringList m_items;
    int m_current = -1;
    QPointer<QMenu> m_menu;
};
