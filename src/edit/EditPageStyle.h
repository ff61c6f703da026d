#pragma once
// The look shared by the edit dialog and its pages: muted captions and the
// common text buttons.

#include <QLabel>
#include <QString>

#include "base/AppPaths.h"
#include "widgets/QTextImageButton.h"
#include "widgets/Theme.h"

namespace EditPageStyle {

inline QLabel *caption(const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setFont(Theme::font(12));
    l->setStyleSheet(Theme::sheet("color: @muted;"));
    return l;
}

inline QTextImageButton *button(const QString &text, const char *name, QWidget *parent)
{
    auto *b = new QTextImageButton(parent);
    b->setObjectName(name);
    b->setImage(AppPaths::dataPath("/image/Common_bg/btn_common1.png"), text);
    b->setFont(Theme::font(12));
    b->setTextColors(Qt::white, Qt::white, Qt::white, Theme::disabledText());
    return b;
}

} // namespace EditPageStyle
