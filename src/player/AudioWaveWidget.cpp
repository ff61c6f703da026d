#include "player/AudioWaveWidget.h"

#include "widgets/Theme.h"

#include <QPainter>

#include <algorithm>

AudioWaveWidget::AudioWaveWidget(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void AudioWaveWidget::setSamples(const int16_t *samples, int count)
{
    if (!samples || count <= 0) {
        clear();
        return;
    }
    m_samples = QVector<int16_t>(samples, samples + count);
    update();
}

void AudioWaveWidget::clear()
{
    m_samples.clear();
    update();
}

void AudioWaveWidget::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    const int mid = height() / 2;
    p.setPen(QColor(255, 255, 255, 30));
    p.drawLine(0, mid, width(), mid);
    const int n = int(m_samples.size());
    if (n == 0 || width() <= 0)
        return;
    p.setPen(Theme::selection().lighter(140));
    const double perColumn = double(n) / width();
    const double scale = (height() / 2.0 - 4) / 32768.0;
    for (int x = 0; x < width(); ++x) {
        const int from = int(x * perColumn);
        const int to = std::max(from + 1, std::min(n, int((x + 1) * perColumn)));
        int lo = 0, hi = 0;
        for (int i = from; i < to && i < n; ++i) {
            lo = std::min<int>(lo, m_samples[i]);
            hi = std::max<int>(hi, m_samples[i]);
        }
        p.drawLine(x, mid - int(hi * scale), x, mid - int(lo * scale));
    }
}
