#include "edit/QAdjustOperateDlg.h"

#include "edit/EditPageStyle.h"
#include "base/AppPaths.h"
#include "edit/AdjustGeometry.h"
#include "widgets/QTextImageButton.h"
#include "widgets/Theme.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

// A quarter-turn arrow: an arc with its head, clockwise or not.
QPixmap turnIcon(bool clockwise)
{
    QPixmap pm(20, 20);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    // Drawn turning left; mirrored for a right turn.
    if (clockwise) {
        p.translate(20, 0);
        p.scale(-1, 1);
    }
    QPen pen(Qt::white, 2);
    pen.setCapStyle(Qt::RoundCap);
    p.setPen(pen);
    const QRectF arc(3, 4, 13, 13);
    p.drawArc(arc, 100 * 16, -250 * 16);
    QPainterPath head;
    head.moveTo(8.5, 0.5);
    head.lineTo(13.5, 4.0);
    head.lineTo(8.5, 7.5);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(head);
    return pm;
}

} // namespace

QAdjustOperateDlg::QAdjustOperateDlg(QWidget *parent)
    : QWidget(parent)
    , m_group(new QButtonGroup(this))
{
    setObjectName("QAdjustOperateDlg");
    auto button = [this](const char *name, const QString &text) { return EditPageStyle::button(text, name, this); };
    m_btnLeftRotate = button("m_btnLeftRotate", QString());
    m_btnLeftRotate->setToolTip(tr("Rotate Left 90°"));
    m_btnLeftRotate->setIconPixmap(turnIcon(false));
    m_btnRightRotate = button("m_btnRightRotate", QString());
    m_btnRightRotate->setToolTip(tr("Rotate Right 90°"));
    m_btnRightRotate->setIconPixmap(turnIcon(true));
    for (QTextImageButton *b : {m_btnLeftRotate, m_btnRightRotate})
        b->setIconRect((b->width() - 20) / 2, (b->height() - 20) / 2, 20, 20);
    m_btnFlipH = button("m_btnFlipH", tr("Horizontal"));
    m_btnFlipV = button("m_btnFlipV", tr("Vertical"));
    m_btnApply = button("m_btnApply", tr("Apply to all"));

    const QString radioSheet = QString("QRadioButton { color: white; spacing: 6px; }"
                                       "QRadioButton::indicator { width: 18px; height: 18px; }"
                                       "QRadioButton::indicator:unchecked { image: url(%1); }"
                                       "QRadioButton::indicator:checked { image: url(%2); }")
                                   .arg(AppPaths::dataPath("/image/EditDlg/Edit_selections_no.png"),
                                        AppPaths::dataPath("/image/EditDlg/Edit_selections_yes.png"));
    auto radio = [&](const char *name, const QString &text, int id) {
        auto *r = new QRadioButton(text, this);
        r->setObjectName(name);
        r->setFont(Theme::font(12));
        r->setStyleSheet(radioSheet);
        m_group->addButton(r, id);
        return r;
    };
    m_radOriginalAspect = radio("m_radOriginalAspect", tr("Original Display"), 0);
    m_radOriginalSize = radio("m_radOriginalSize", tr("Original Resolution"), 1);
    m_radScreen = radio("m_radScreen", tr("Full Screen"), 2);
    m_radPanScan = radio("m_radPanScan", tr("Pan Scan"), 3);
    m_radRatio16_9 = radio("m_radRatio16_9", tr("16:9"), 4);
    m_radRatio4_3 = radio("m_radRatio4_3", tr("4:3"), 5);
    m_group->setExclusive(true);

    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(8, 10, 8, 4);
    root->setSpacing(12);
    auto *turns = new QHBoxLayout;
    turns->setSpacing(8);
    turns->addWidget(EditPageStyle::caption(tr("Rotate:"), this));
    turns->addWidget(m_btnLeftRotate);
    turns->addWidget(m_btnRightRotate);
    turns->addSpacing(20);
    turns->addWidget(EditPageStyle::caption(tr("Flip:"), this));
    turns->addWidget(m_btnFlipH);
    turns->addWidget(m_btnFlipV);
    turns->addStretch();
    root->addLayout(turns);
    auto *ratios = new QHBoxLayout;
    ratios->setSpacing(14);
    ratios->addWidget(EditPageStyle::caption(tr("Aspect Ratio:"), this));
    for (QRadioButton *r : {m_radOriginalAspect, m_radOriginalSize, m_radScreen, m_radPanScan, m_radRatio16_9,
                            m_radRatio4_3})
        ratios->addWidget(r);
    ratios->addStretch();
    root->addLayout(ratios);
    root->addStretch();
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(m_btnApply);
    root->addLayout(bottom);

    connect(m_btnLeftRotate, &QPushButton::clicked, this, &QAdjustOperateDlg::OnLeftRotate);
    connect(m_btnRightRotate, &QPushButton::clicked, this, &QAdjustOperateDlg::OnRightRotate);
    connect(m_btnFlipH, &QPushButton::clicked, this, &QAdjustOperateDlg::OnFlipH);
    connect(m_btnFlipV, &QPushButton::clicked, this, &QAdjustOperateDlg::OnFilpV);
    connect(m_btnApply, &QPushButton::clicked, this, &QAdjustOperateDlg::ApplyToAll);
    // Only the user's clicks: showRecord checks and signals by itself.
    connect(m_group, &QButtonGroup::idClicked, this, [this](int id) {
        if (id == 3)
            emit seedFillModeChange();
        else
            emit radCheckChange();
    });
}

void QAdjustOperateDlg::setRecordAccess(Reader read, Writer write)
{
    m_read = std::move(read);
    m_write = std::move(write);
}

CropSettings QAdjustOperateDlg::record() const { return m_read ? m_read() : m_own; }

void QAdjustOperateDlg::write(const CropSettings &crop)
{
    m_own = crop;
    if (m_write)
        m_write(crop);
}

QRadioButton *QAdjustOperateDlg::radio(int id) const { return qobject_cast<QRadioButton *>(m_group->button(id)); }

int QAdjustOperateDlg::ratioType() const
{
    switch (m_group->checkedId()) {
    case 0: return 0;
    case 1: return 1;
    case 2: return 2;
    case 3: return 0; // pan-scan keeps the picture's own display shape
    case 4: return 3;
    case 5: return 4;
    default: return 6;
    }
}

bool QAdjustOperateDlg::isPanScanChecked() const { return m_radPanScan->isChecked(); }

void QAdjustOperateDlg::showRecord(const CropSettings &crop)
{
    m_own = crop;
    m_group->setExclusive(false);
    for (QAbstractButton *b : m_group->buttons())
        b->setChecked(false);
    m_group->setExclusive(true);
    if (crop.fillMode == 1) {
        m_radPanScan->setChecked(true);
        emit seedFillModeChange();
        return;
    }
    static const int idOfType[5] = {0, 1, 2, 4, 5};
    if (crop.ratioType >= 0 && crop.ratioType <= 4) {
        m_group->button(idOfType[crop.ratioType])->setChecked(true);
        emit radCheckChange();
    }
}

void QAdjustOperateDlg::changeRecord(void (*change)(CropSettings &))
{
    CropSettings c = record();
    change(c);
    write(c);
}

void QAdjustOperateDlg::OnLeftRotate()
{
    changeRecord(AdjustGeometry::rotateLeft);
    // The pan-scan part depends on the frame's shape, which a quarter turn changes.
    if (record().fillMode == 1)
        emit seedFillModeChange();
}

void QAdjustOperateDlg::OnRightRotate()
{
    changeRecord(AdjustGeometry::rotateRight);
    if (record().fillMode == 1)
        emit seedFillModeChange();
}

void QAdjustOperateDlg::OnFlipH() { changeRecord(AdjustGeometry::flipHorizontal); }
void QAdjustOperateDlg::OnFilpV() { changeRecord(AdjustGeometry::flipVertical); }
