#pragma once
// The converted-files list: one row per entry of the history file, with
// "show in folder", and removal from the list or from the disk too.

#include "widgets/QNinePointsImageDialog.h"

#include <QList>

#include <functional>

namespace Ui { class QConvertedDlg; }
class ConvertedItem;

class QConvertedDlg : public QNinePointsImageDialog
{
    Q_OBJECT
public:
    explicit QConvertedDlg(QWidget *parent = nullptr);
    ~QConvertedDlg() override;

    QList<ConvertedItem *> rows() const { return m_rows; }
    ConvertedItem *currentRow() const { return m_current; }

    // How the delete question is asked; tests replace it. Returns the
    // AskMessageDlg answer (0 cancel, 1 move files, 2 delete files).
    using Asker = std::function<int(const QString &question)>;
    static void setAsker(Asker asker);

public slots:
    void OnBtnAllDelete();
    void respondDelete();
    void respondMouseState();

private:
    void loadList();
    void removeRow(ConvertedItem *row);
    void updateEmptyState();
    static int ask(const QString &question);

    Ui::QConvertedDlg *ui;
    QList<ConvertedItem *> m_rows;     // in history order; owned through the layout's widget
    ConvertedItem *m_current = nullptr; // the row pressed last
};
