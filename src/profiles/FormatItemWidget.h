#pragma once
// The scrollable grid of the format tiles of one category, five to a row.

#include <QList>
#include <QPointer>
#include <QWidget>

class FormatItem;
class ProfileCatalog;
class QVBoxLayout;
namespace Ui { class FormatItemWidget; }

class FormatItemWidget : public QWidget
{
    Q_OBJECT
public:
    explicit FormatItemWidget(const ProfileCatalog &catalog, QWidget *parent = nullptr);
    ~FormatItemWidget() override;

    // Replaces the tiles with those of the catalogue's category.
    void fill(const QString &category);
    QString category() const { return m_category; }

    // Selects the tile with the id and returns the others to normal.
    void selectById(const QString &id);

    // The tiles in insertion order, and the tile last pressed or selected.
    QList<FormatItem *> items() const { return m_items; }
    FormatItem *currentItem() const { return m_current; }
    FormatItem *itemById(const QString &id) const;

    // Scrolls the current tile into view (after the grid changed height).
    void ensureCurrentVisible();

    // Column 1..5 the tile sits in, or 0 when it is not in the grid.
    int columnOf(const FormatItem *item) const;

signals:
    void emitItemPress(QString categories, QString itemName);
    void emitClickBtnSet(QString itemID);
    void emitClickFormatWgt();
    void emitDoubleClick();

public slots:
    void ItemPress(QString categories, QString itemID, bool all);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    // The arrow keys move the selection from tile to tile as the grid shows
    // them (left and right along a row, up and down a column), Home and End
    // to the first and the last tile.
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void clearItems();
    void markKeyboardTile();

    Ui::FormatItemWidget *ui;
    const ProfileCatalog &m_catalog;
    QString m_category;
    QList<FormatItem *> m_items;
    QPointer<FormatItem> m_current;
    QVBoxLayout *m_columns[5] = {};
};
