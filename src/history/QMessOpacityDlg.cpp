#include "history/QMessOpacityDlg.h"

#include "base/AppPaths.h"

#include "ui_QMessOpacityDlg.h"

#include <QDesktopServices>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QUrl>

QMessOpacityDlg::QMessOpacityDlg(QWidget *parent)
    : QNinePointsImageDialog(parent)
    , m_ui(std::make_unique<Ui::QMessOpacityDlg>())
{
    m_ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowTitle(QStringLiteral("Velmora Video Converter"));
    setBackgroundImage(AppPaths::dataPath("/image/mess_opacity.png"));

    m_ui->m_btnClose->loadImage(AppPaths::dataPath("/image/btn_close.png"));
    m_ui->m_btnClose->move(368, 3);
    m_ui->m_btnOk->setImage(AppPaths::dataPath("/image/Common_bg/btn_common1.png"), tr("Ok"));
    m_ui->m_btnOk->move(150, 160);
    m_ui->m_chkNote->move(60, 65);

    // Parts of the general toast this program never uses.
    m_ui->m_chkNote->hide();
    m_ui->m_btnOk->hide();
    m_ui->m_labSuppport->hide();

    connect(m_ui->m_btnClose, &QPushButton::clicked, this, &QMessOpacityDlg::OnClose);
    connect(m_ui->m_labSuppport, &QLabel::linkActivated, this, &QMessOpacityDlg::OpenUrl);
    // A coarse timer may fire 5 % early, cutting the hold short.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &QMessOpacityDlg::OnTimer);
}

QMessOpacityDlg::~QMessOpacityDlg() = default;

QMessOpacityDlg *QMessOpacityDlg::showToast(QWidget *parent, const QString &text, const QString &backgroundPath)
{
    auto *toast = new QMessOpacityDlg(parent);
    toast->setAttribute(Qt::WA_DeleteOnClose);
    toast->setBackgroundImage(backgroundPath);
    toast->setText(text);
    QRect area;
    if (parent)
        area = parent->window()->frameGeometry();
    else if (QScreen *screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    if (area.isValid())
        toast->move(area.center() - QPoint(toast->width() / 2, toast->height() / 2));
    toast->startFading();
    toast->show();
    return toast;
}

bool QMessOpacityDlg::setBackgroundImage(const QString &path, bool draggable)
{
    const bool loaded = QNinePointsImageDialog::setBackgroundImage(path, draggable);
    m_ui->m_btnClose->move(320, 3);
    return loaded;
}

void QMessOpacityDlg::setText(const QString &text)
{
    m_ui->m_labText->setText(text);
    const int maxWidth = qMax(40, width() - 50 - 10);
    const QRect bounds = m_ui->m_labText->fontMetrics().boundingRect(
        QRect(0, 0, maxWidth, 1000), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
    m_ui->m_labText->setWordWrap(true);
    m_ui->m_labText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_ui->m_labText->setGeometry(50, height() / 2 - 5, qMin(maxWidth, bounds.width() + 2), 40);
}

QString QMessOpacityDlg::text() const
{
    return m_ui->m_labText->text();
}

void QMessOpacityDlg::startFading()
{
    setOpacityTenths(10);
    m_timer.start(kHoldMs);
}

void QMessOpacityDlg::OnTimer()
{
    if (m_opacityTenths > 9)
        m_timer.start(kStepMs); // the hold is over: fade from now on
    if (m_opacityTenths >= 1) {
        setOpacityTenths(m_opacityTenths - 1);
    } else {
        m_timer.stop();
        close();
    }
}

void QMessOpacityDlg::OnClose()
{
    setOpacityTenths(10);
    m_timer.stop();
    close();
}

void QMessOpacityDlg::OpenUrl(const QString &url)
{
    const QUrl target(url);
    if (target.scheme() == QLatin1String("http") || target.scheme() == QLatin1String("https"))
        QDesktopServices::openUrl(target);
}

bool QMessOpacityDlg::event(QEvent *event)
{
    if (m_fading && isVisible()) {
        if (event->type() == QEvent::Enter) {
            setOpacityTenths(10);
            m_timer.stop();
        } else if (event->type() == QEvent::Leave) {
            setOpacityTenths(10);
            m_timer.start(kHoldMs);
        }
    }
    return QNinePointsImageDialog::event(event);
}

void QMessOpacityDlg::setOpacityTenths(int tenths)
{
    m_opacityTenths = qBound(0, tenths, 10);
    setWindowOpacity(m_opacityTenths / 10.0);
}
