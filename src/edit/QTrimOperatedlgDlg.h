#pragma once
// The Trim page of the edit dialog: frame steps of the handle touched last,
// playing the marked section, "Trim" and "Reset". The page only re-emits its
// buttons; the dialog does the work (its dual slider marks the range).

#include <QWidget>

class QTextImageButton;

class QTrimOperatedlgDlg : public QWidget
{
    Q_OBJECT
public:
    explicit QTrimOperatedlgDlg(QWidget *parent = nullptr);

    // The buttons work once the preview has played (the dialog enables them
    // when its player starts); before that, or without a player, they are off.
    void setPlayState(bool enabled);
    bool playState() const { return m_playState; }

signals:
    void OnPreviousBtn();
    void OnNextBtn();
    void OnPlayBtn();
    void OnTrimBtn();
    void OnResetTrim();

private:
    QTextImageButton *m_btnPrevious;
    QTextImageButton *m_btnNext;
    QTextImageButton *m_btnPlaySection;
    QTextImageButton *m_btnTrim;
    QTextImageButton *m_btnReset;
    bool m_playState = false;
};
