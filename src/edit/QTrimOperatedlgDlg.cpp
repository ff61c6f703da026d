#include "edit/QTrimOperatedlgDlg.h"

#include "edit/EditPageStyle.h"
#include "base/AppPaths.h"
#include "widgets/QTextImageButton.h"
#include "widgets/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

QTrimOperatedlgDlg::QTrimOperatedlgDlg(QWidget *parent)
    : QWidget(parent)
{
    setObjectName("QTrimOperatedlgDlg");
    auto make = [this](const char *name, const QString &text) {
        auto *b = EditPageStyle::button(text, name, this);
        b->setFocusPolicy(Qt::NoFocus);
        b->setFixedWidth(112); // room for "Previous Frame"
        return b;
    };
    m_btnPrevious = make("m_btnPrevious", tr("Previous Frame"));
    m_btnNext = make("m_btnNext", tr("Next Frame"));
    m_btnPlaySection = make("m_btnPlaySection", tr("Play Section"));
    m_btnTrim = make("m_btnTrim", tr("Trim"));
    m_btnReset = make("m_btnReset", tr("Reset"));

    auto *hint = new QLabel(tr("Drag the two handles above to mark the part to keep, then press Trim."), this);
    hint->setFont(Theme::font(12));
    hint->setStyleSheet(Theme::sheet("color: @muted;"));

    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(0, 8, 0, 0);
    root->setSpacing(10);
    root->addWidget(hint);
    auto *row = new QHBoxLayout;
    row->setSpacing(8);
    row->addWidget(m_btnPrevious);
    row->addWidget(m_btnNext);
    row->addSpacing(16);
    row->addWidget(m_btnPlaySection);
    row->addSpacing(16);
    row->addWidget(m_btnTrim);
    row->addWidget(m_btnReset);
    row->addStretch();
    root->addLayout(row);
    root->addStretch();

    connect(m_btnPrevious, &QPushButton::clicked, this, &QTrimOperatedlgDlg::OnPreviousBtn);
    connect(m_btnNext, &QPushButton::clicked, this, &QTrimOperatedlgDlg::OnNextBtn);
    connect(m_btnPlaySection, &QPushButton::clicked, this, &QTrimOperatedlgDlg::OnPlayBtn);
    connect(m_btnTrim, &QPushButton::clicked, this, &QTrimOperatedlgDlg::OnTrimBtn);
    connect(m_btnReset, &QPushButton::clicked, this, &QTrimOperatedlgDlg::OnResetTrim);
    setPlayState(false);
}

void QTrimOperatedlgDlg::setPlayState(bool enabled)
{
    m_playState = enabled;
    for (QTextImageButton *b : {m_btnPrevious, m_btnNext, m_btnPlaySection, m_btnTrim, m_btnReset})
        b->setEnabled(enabled);
}
