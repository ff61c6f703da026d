#pragma once
// A category button of the format chooser: the skin's text-image button with
// the category's icon, and a highlight for the category on show.

#include "widgets/QTextImageButton.h"

class FormatCategoryButton : public QTextImageButton
{
    Q_OBJECT
public:
    FormatCategoryButton(const QString &category, QWidget *parent = nullptr);

    QString category() const { return m_category; }
    QString iconPath() const { return m_iconPath; }

    bool isHighlighted() const { return m_highlighted; }
    void setHighlighted(bool on);

    // "/image/Format_Dlg/..." icon of a category key; unknown keys get the
    // generic format icon.
    static QString iconFor(const QString &category);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_category;
    QString m_iconPath;
    bool m_highlighted = false;
};
