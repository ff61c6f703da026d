#pragma once
// The preset box of the format chooser: a combo box drawn from the skin's
// combo image with the quality drop-down button, which can show a text other
// than its current entry's (the preset the parameters now match).

#include <QComboBox>
#include <QPixmap>

class FourStateTracker;

class PresetComboBox : public QComboBox
{
    Q_OBJECT
public:
    explicit PresetComboBox(QWidget *parent = nullptr);

    // Shows text in place of the current entry until clearShownText() or the
    // user picks an entry.
    void setShownText(const QString &text);
    void clearShownText();
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap m_frame;
    QPixmap m_button;
    QString m_shownText;
    FourStateTracker *m_tracker;
};
