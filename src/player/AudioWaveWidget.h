#pragma once
// Stands in for the picture while a file without picture plays: the latest
// block of sound as a waveform, one peak pair per pixel column.

#include <QVector>
#include <QWidget>

#include <cstdint>

class AudioWaveWidget : public QWidget
{
    Q_OBJECT
public:
    explicit AudioWaveWidget(QWidget *parent = nullptr);

    // Interleaved 16-bit samples; channels are drawn mixed. Copied.
    void setSamples(const int16_t *samples, int count);
    void clear();
    int sampleCount() const { return int(m_samples.size()); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QVector<int16_t> m_samples;
};
