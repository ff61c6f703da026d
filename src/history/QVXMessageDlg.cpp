#include "history/QVXMessageDlg.h"

#include "history/VXMessage.h"
#include "base/AppPaths.h"
#include "widgets/NinePatch.h"

#include "ui_QVXMessageDlg.h"
#include "widgets/Theme.h"

#include <QCursor>
#include <QDebug>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include <algorithm>

namespace {

const QColor kTextColor(255, 255, 224);
const QColor kFallbackFill(45, 45, 48); // when bg_msg.png is missing the box must still be visible

constexpr int kTitleBand = 31;      // height of the drag band
constexpr int kTextTop = 50;
constexpr int kIconLeft = 40;
constexpr int kIconSize = 32;
constexpr int kTextLeftWithIcon = 82;
constexpr int kTextLeftPlain = 40;
constexpr int kExtraWidthWithIcon = 113; // 82 left + 31 right
constexpr int kExtraWidthPlain = 80;     // 40 left + 40 right
constexpr int kMinTextHeight = 32;
constexpr int kMaxTextWidth = 560;       // longer lines wrap
constexpr int kTextToButtons = 20;
constexpr int kButtonBottom = 20;
constexpr int kCancelRight = 20;
constexpr int kOkCancelGap = 11;
constexpr int kOkMinLeft = 15;
constexpr int kOkAloneRight = 25;
constexpr int kCloseRight = 8;
constexpr int kCloseTop = 8;

QScreen *screenForBox()
{
    if (QScreen *s = QGuiApplication::screenAt(QCursor::pos()))
        return s;
    return QGuiApplication::primaryScreen();
}

} // namespace

QVXMessageDlg::QVXMessageDlg(const QString &text, const QString &title, unsigned kind, QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::QVXMessageDlg>())
    , m_title(title.isEmpty() ? QStringLiteral("Video Converter") : title)
    , m_message(text)
    , m_kind(kind)
{
    m_ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);

    m_titleFont = Theme::font(11);
    m_textFont = Theme::font(12);

    if (!m_background.load(imageFolder() + "/bg_msg.png"))
        qWarning("QVXMessageDlg::LoadBackgroundImg fail");
    if (!m_titleIcon.load(imageFolder() + "/msg_title_icon.png"))
        qWarning("QVXMessageDlg::LoadTitleIconImg fail");
    initButtons();
    loadKindIcon();

    connect(m_ui->m_btnOk, &QPushButton::clicked, this, &QVXMessageDlg::OnBtnOk);
    m_ui->m_btnOk->setDefault(true); // Return answers "Ok" / "Yes"
    connect(m_ui->m_btnCancel, &QPushButton::clicked, this, &QVXMessageDlg::OnBtnCancel);
    connect(m_ui->m_btnClose, &QPushButton::clicked, this, &QVXMessageDlg::OnBtnCancel);
}

QVXMessageDlg::~QVXMessageDlg() = default;

QString QVXMessageDlg::imageFolder()
{
    return AppPaths::applicationDir() + "/pic";
}

QVXMessageDlg::KindIcon QVXMessageDlg::kindIcon() const
{
    // Tested in this order with the last match winning: 0x32 holds the bits of
    // all three and must show the error icon.
    KindIcon icon = KindIcon::None;
    if ((m_kind & VXMsg::KindWarning) == VXMsg::KindWarning)
        icon = KindIcon::Warning;
    if ((m_kind & VXMsg::KindSuccess) == VXMsg::KindSuccess)
        icon = KindIcon::Success;
    if ((m_kind & VXMsg::KindError) == VXMsg::KindError)
        icon = KindIcon::Error;
    return icon;
}

bool QVXMessageDlg::drawsKindIcon() const
{
    return (m_kind & VXMsg::KindIcon) && kindIcon() != KindIcon::None;
}

void QVXMessageDlg::initButtons()
{
    if (!m_ui->m_btnClose->loadImage(imageFolder() + "/btn_close.png"))
        qWarning("QVXMessageDlg::InitButton fail");

    QString okText, cancelText;
    const char *failure;
    if (m_kind & VXMsg::KindRestart) {
        okText = QStringLiteral("Restart");
        cancelText = QStringLiteral("Restart Later");
        failure = "QVXMessageDlg::InitButton Load Restart Image fail";
    } else if (m_kind & VXMsg::KindQuestion) {
        okText = tr("Yes");
        cancelText = tr("No");
        failure = "QVXMessageDlg::InitButton Load Yes Image fail";
    } else {
        okText = tr("Ok");
        cancelText = tr("Cancel");
        failure = "QVXMessageDlg::InitButton Load Cancel Image fail";
    }
    const QString image = imageFolder() + "/btn_common.png";
    const bool okLoaded = m_ui->m_btnOk->setImage(image, okText);
    const bool cancelLoaded = m_ui->m_btnCancel->setImage(image, cancelText);
    if (!okLoaded || !cancelLoaded) {
        qWarning("%s", failure);
        m_ui->m_btnOk->setText(okText);
        m_ui->m_btnCancel->setText(cancelText);
    }
    for (QTextImageButton *b : {m_ui->m_btnOk, m_ui->m_btnCancel}) {
        b->setTextColor(Qt::white);
        b->setFont(m_textFont);
    }
    m_ui->m_btnCancel->setVisible(m_kind & VXMsg::KindButtonsMask);
}

void QVXMessageDlg::loadKindIcon()
{
    const char *file = nullptr;
    switch (kindIcon()) {
    case KindIcon::Warning: file = "/warning.png"; break;
    case KindIcon::Success: file = "/Success.png"; break;
    case KindIcon::Error: file = "/error.png"; break;
    case KindIcon::None: return;
    }
    if (!drawsKindIcon())
        return;
    if (!m_kindIcon.load(imageFolder() + file)) {
        qWarning("QVXMessageDlg::LoadKindIconImg fail");
        return;
    }
    if (m_kindIcon.width() > kIconSize || m_kindIcon.height() > kIconSize)
        m_kindIcon = m_kindIcon.scaled(kIconSize, kIconSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

void QVXMessageDlg::layoutForShow()
{
    const bool icon = drawsKindIcon();
    const QRect available = screenForBox()->availableGeometry();

    // Explicit line breaks and wrapping of over-long lines both count.
    const int maxWidth = qMax(100, qMin(kMaxTextWidth, available.width() - 2 * kExtraWidthWithIcon));
    const QFontMetrics fm(m_textFont);
    const QRect bounds = fm.boundingRect(QRect(0, 0, maxWidth, 1 << 20),
                                         Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, m_message);
    const int textWidth = bounds.width();
    const int textHeight = qMax(kMinTextHeight, bounds.height());
    m_textRect = QRect(icon ? kTextLeftWithIcon : kTextLeftPlain, kTextTop, textWidth, textHeight);

    const bool both = m_ui->m_btnCancel->isVisibleTo(this);
    // The buttons always fit side by side, however short the text...
    const int buttonsWidth = both ? kOkMinLeft + m_ui->m_btnOk->width() + kOkCancelGap + m_ui->m_btnCancel->width() + kCancelRight
                                  : kOkMinLeft + m_ui->m_btnOk->width() + kOkAloneRight;
    // Nor does the title wrap beside the close button.
    const int titleWidth = titleRect().left() + QFontMetrics(m_titleFont).horizontalAdvance(m_title)
                           + 4 + m_ui->m_btnClose->width() + kCloseRight + 4;
    const int w = std::max({textWidth + (icon ? kExtraWidthWithIcon : kExtraWidthPlain), buttonsWidth,
                        qMin(titleWidth, titleRect().right() + kCloseRight)});
    const int buttonHeight = qMax(m_ui->m_btnOk->height(), m_ui->m_btnCancel->height());
    const int h = kTextTop + textHeight + kTextToButtons + buttonHeight + kButtonBottom;
    setFixedSize(w, h);

    const int y = h - kButtonBottom - m_ui->m_btnOk->height();
    if (both) {
        m_ui->m_btnCancel->move(w - kCancelRight - m_ui->m_btnCancel->width(), h - kButtonBottom - m_ui->m_btnCancel->height());
        m_ui->m_btnOk->move(qMax(kOkMinLeft, m_ui->m_btnCancel->x() - kOkCancelGap - m_ui->m_btnOk->width()), y);
    } else {
        m_ui->m_btnOk->move(w - kOkAloneRight - m_ui->m_btnOk->width(), y);
    }
    m_ui->m_btnClose->move(w - kCloseRight - m_ui->m_btnClose->width(), kCloseTop);

    move(available.center() - QPoint(w / 2, h / 2));
}

void QVXMessageDlg::showEvent(QShowEvent *event)
{
    layoutForShow();
    QDialog::showEvent(event);
}

void QVXMessageDlg::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (m_background.isNull())
        p.fillRect(rect(), kFallbackFill);
    else
        NinePatch::draw(p, rect(), m_background, NinePatch::thirds(m_background.size()));
    if (!m_titleIcon.isNull())
        p.drawPixmap(8, 9, m_titleIcon);
    if (drawsKindIcon() && !m_kindIcon.isNull())
        p.drawPixmap(kIconLeft, m_textRect.top(), m_kindIcon);

    p.setPen(kTextColor);
    QRect title = titleRect();
    title.setRight(qMin(title.right(), m_ui->m_btnClose->x() - 4));
    p.setFont(m_titleFont);
    p.drawText(title, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, m_title);
    p.setFont(m_textFont);
    p.drawText(m_textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, m_message);
}

void QVXMessageDlg::mousePressEvent(QMouseEvent *event)
{
    m_dragOffset = event->position().toPoint();
    m_dragging = event->button() == Qt::LeftButton && m_dragOffset.y() < kTitleBand;
    QDialog::mousePressEvent(event);
}

void QVXMessageDlg::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - m_dragOffset);
    QDialog::mouseMoveEvent(event);
}

void QVXMessageDlg::mouseReleaseEvent(QMouseEvent *event)
{
    m_dragging = false;
    QDialog::mouseReleaseEvent(event);
}

void QVXMessageDlg::OnBtnOk()
{
    if (m_kind & VXMsg::KindRestart) {
        emit emitRestart();
        return;
    }
    done((m_kind & VXMsg::KindQuestion) ? VXMsg::Yes : VXMsg::Ok);
}

void QVXMessageDlg::OnBtnCancel()
{
    const bool question = (m_kind & VXMsg::KindQuestion) && !(m_kind & VXMsg::KindRestart);
    done(question ? VXMsg::No : VXMsg::Cancel);
}

void QVXMessageDlg::reject()
{
    OnBtnCancel();
}

int VXMessageBox(const QString &text, const QString &title, unsigned kind)
{
    QVXMessageDlg dlg(text, title, kind);
    return dlg.exec();
}

int VXMessageBox(const char *text, const char *title, unsigned kind)
{
    return VXMessageBox(QString::fromUtf8(text), QString::fromUtf8(title), kind);
}
