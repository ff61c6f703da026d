// The edit dialog's Trim page: the range, the dual slider, frame steps.
//
// The slider always spans the working range (the whole file, or the range of
// the last "Trim"), so every handle fraction f stands for trimStart + L x f.
#include "edit/QVideoEditDlg.h"

#include "edit/QDualSlider.h"
#include "edit/QTrimOperatedlgDlg.h"
#include "history/VXMessage.h"
#include "widgets/qSliderCtrl.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QThread>

#include <cmath>

void QVideoEditDlg::wireTrimPage()
{
    m_seekTimer = new QTimer(this);
    m_seekTimer->setInterval(10);
    connect(m_seekTimer, &QTimer::timeout, this, &QVideoEditDlg::sendPendingSeek);
    connect(m_trimPage, &QTrimOperatedlgDlg::OnPreviousBtn, this, &QVideoEditDlg::OnPreviousStep);
    connect(m_trimPage, &QTrimOperatedlgDlg::OnNextBtn, this, &QVideoEditDlg::OnNextStep);
    connect(m_trimPage, &QTrimOperatedlgDlg::OnPlayBtn, this, &QVideoEditDlg::PlaySection);
    connect(m_trimPage, &QTrimOperatedlgDlg::OnTrimBtn, this, &QVideoEditDlg::OnTrimVideo);
    connect(m_trimPage, &QTrimOperatedlgDlg::OnResetTrim, this, &QVideoEditDlg::ResetTrimTime);
    connect(m_TrimDSlider, &QDualSlider::sendProgressValue, this, &QVideoEditDlg::setTrimStartValue);
    connect(m_TrimDSlider, &QDualSlider::sendEndProgressValue, this, &QVideoEditDlg::setTrimEndValue);
}

qint64 QVideoEditDlg::rangePoint(double fraction) const
{
    return m_trimStart + std::llround(double(workingLength()) * fraction);
}

void QVideoEditDlg::seekPreview(qint64 us, bool coalesce)
{
    if (!isOpen())
        return;
    if (coalesce && PlayerIsBusy(m_player.get()) == 1) {
        m_pendingSeekUs = us;
        if (!m_seekTimer->isActive())
            m_seekTimer->start();
        return;
    }
    m_pendingSeekUs = -1;
    m_seekTimer->stop();
    PlayerSeek(m_player.get(), us);
}

void QVideoEditDlg::sendPendingSeek()
{
    if (!isOpen() || m_pendingSeekUs < 0) {
        m_seekTimer->stop();
        return;
    }
    if (PlayerIsBusy(m_player.get()) == 1)
        return;
    seekPreview(m_pendingSeekUs);
}

bool QVideoEditDlg::waitForPicture(int timeoutMs) const
{
    // Seeks and steps are carried out by the player's threads; the frame
    // steps need the position of the picture they end on.
    QElapsedTimer clock;
    clock.start();
    while (PlayerIsBusy(m_player.get()) == 1) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QThread::msleep(2);
    }
    return true;
}

void QVideoEditDlg::refreshTrimPage()
{
    ShowTime(0);
    m_TrimDSlider->setStartPercent(0);
    m_TrimDSlider->setEndPercent(100);
    setProgress(0);
    seekPreview(m_trimStart);
}

void QVideoEditDlg::setTrimStartValue(double value)
{
    if (!isOpen())
        return;
    const qint64 length = workingLength();
    seekPreview(rangePoint(value), true);
    setProgress(value * 100.0);
    ShowTime(uint64_t(qMax<qint64>(0, std::llround(double(length) * value) / 1000)));
}

void QVideoEditDlg::setTrimEndValue(double value) { setTrimStartValue(value); }

void QVideoEditDlg::stepFrame(int direction)
{
    if (!isOpen())
        return;
    ZxPlayer *p = m_player.get();
    OnBtnPause();
    const qint64 length = workingLength();
    if (length <= 0)
        return;
    const int progress = int(progressValue() + 0.5);
    const bool startFocus = m_TrimDSlider->focusHandle() == QDualSlider::StartHandle;
    const double start = m_TrimDSlider->startValue();
    const double end = m_TrimDSlider->endValue();
    if (startFocus) {
        if (progress != int(start * 100.0 + 0.5))
            seekPreview(rangePoint(start));
    } else {
        // Both handles on one point: the end handle has nowhere to go.
        if (end == start)
            return;
        if (progress != int(end * 100.0 + 0.5))
            seekPreview(rangePoint(end));
    }
    waitForPicture();
    if (direction < 0)
        PlayerStepBackward(p);
    else
        PlayerStepForward(p);
    waitForPicture();

    const qint64 pos = PlayerPosition(p);
    if (pos == 0)
        return;
    const double percent = double(pos - m_trimStart) * 100.0 / double(length);
    setProgress(percent);
    if (startFocus)
        m_TrimDSlider->setStartPercent(percent);
    else
        m_TrimDSlider->setEndPercent(percent);
    ShowTime(uint64_t(qMax<qint64>(0, (pos - m_trimStart) / 1000)));
}

void QVideoEditDlg::OnPreviousStep() { stepFrame(-1); }
void QVideoEditDlg::OnNextStep() { stepFrame(+1); }

void QVideoEditDlg::PlaySection()
{
    if (!isOpen())
        return;
    seekPreview(rangePoint(m_TrimDSlider->startValue()));
    // Playing starts inside the range only once the seek has landed; before
    // that the old position would send it back to the range's start.
    waitForPicture();
    OnBtnPlay();
}

void QVideoEditDlg::OnTrimVideo()
{
    if (!isOpen() || duration() <= 0)
        return;
    const qint64 newStart = rangePoint(m_TrimDSlider->startValue());
    const qint64 newEnd = rangePoint(m_TrimDSlider->endValue());
    if ((newEnd - newStart) / 1000 <= 1) {
        VXMessageBox(tr("Trim too short"), QString(), VXMsg::KindPlain);
        return;
    }
    OnBtnStop();
    m_trimStart = newStart;
    m_trimEnd = newEnd;
    refreshTrimPage();
}

void QVideoEditDlg::ResetTrimTime()
{
    if (!isOpen())
        return;
    OnBtnStop();
    m_trimStart = 0;
    m_trimEnd = 0;
    refreshTrimPage();
}
