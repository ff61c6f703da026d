#pragma once
// The converted-files list: one row per entry of the history file, with
// "show in folder", and removal from the list or from the disk too.
//
// A history may hold thousands of entries, so row widgets exist only for the
// entries in view: spacers above and below them stand for the others, and
// scrolling hands the rows that left the view the entries that came into it.

#include "settings/SettingsRecords.h"
#include "widgets/QNinePointsImageDialog.h"

#include <QHash>
#include <QList>

#include <functional>

namespace Ui { class QConvertedDlg; }
class ConvertedItem;
class QSpacerItem;

class QConvertedDlg : public QNinePointsImageDialog
{
    Q_OBJECT
public:
    explicit QConvertedDlg(QWidget *parent = nullptr);
    ~QConvertedDlg() override;

    // The rows made for the entries in view, in list order.
    QList<ConvertedItem *> rows() const { return m_rows; }
    // The row of the entry pressed last, when that entry is in view.
    ConvertedItem *currentRow() const;
    // Every listed entry's path, in list order.
    QStringList paths() const;

    // How the delete question is asked; tests replace it. Returns the
    // AskMessageDlg answer (0 cancel, 1 move files, 2 delete files).
    using Asker = std::function<int(const QString &question)>;
    static void setAsker(Asker asker);

public slots:
    void OnBtnAllDelete();
    void respondDelete();
    void respondMouseState();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void loadList();
    // Gives the entries in view their rows, and the spacers the height of
    // the entries above and below them.
    void fillView();
    ConvertedItem *takeSpareRow();
    void removeEntry(int index);
    void updateEmptyState();
    static int ask(const QString &question);

    Ui::QConvertedDlg *ui;
    QList<ConvertedFileInfo> m_entries;  // the list, in history order
    QList<ConvertedItem *> m_rows;       // the rows in view, in list order
    QHash<ConvertedItem *, int> m_shown; // row -> index of the entry it shows
    QList<ConvertedItem *> m_spare;      // rows out of view, hidden, for reuse
    QSpacerItem *m_above = nullptr;
    QSpacerItem *m_below = nullptr;
    int m_current = -1;                  // the entry pressed last
    int m_laidOutCount = -1;             // the entries the scroll range was made for
};
