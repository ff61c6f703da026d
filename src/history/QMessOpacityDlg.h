#pragma once
// Non-modal toast: a short text on a nine-patch background that stays fully
// visible for one second, then fades out in steps of 0.1 every 50 ms and
// closes. While the mouse is over it, it stays fully visible; leaving starts
// the one-second countdown again.
//
// Typical use (or QMessOpacityDlg::showToast for all of it):
//   auto *toast = new QMessOpacityDlg(parent);
//   toast->setAttribute(Qt::WA_DeleteOnClose);
//   toast->setBackgroundImage(AppPaths::dataPath("/image/msg_small_opacity.png"));
//   toast->setText(tr("Snapshot successfully!"));
//   toast->move(...);
//   toast->startFading();
//   toast->show();

#include "widgets/QNinePointsImageDialog.h"

#include <QTimer>

#include <memory>

namespace Ui { class QMessOpacityDlg; }

class QMessOpacityDlg : public QNinePointsImageDialog
{
    Q_OBJECT
public:
    static constexpr int kHoldMs = 1000;
    static constexpr int kStepMs = 50;

    explicit QMessOpacityDlg(QWidget *parent = nullptr);
    ~QMessOpacityDlg() override;

    // Creates a self-deleting toast with `text` on `backgroundPath`, centred over
    // `parent` (or the screen), and shows it fading.
    static QMessOpacityDlg *showToast(QWidget *parent, const QString &text, const QString &backgroundPath);

    // A full image path; the dialog takes the image's size and its close button
    // moves to (320, 3).
    bool setBackgroundImage(const QString &path, bool draggable = true);

    // Places the text at x 50, 5 px above the vertical middle, 40 px high.
    void setText(const QString &text);
    QString text() const;

    // Full opacity and the one-second countdown.
    void startFading();

    // The opacity the toast is at, in steps of 0.1 (windowOpacity() is quantised).
    double opacity() const { return m_opacityTenths / 10.0; }
    bool isCountingDown() const { return m_timer.isActive(); }

signals:
    void NoShowMsgDlg();

public slots:
    void OnTimer();
    void OnClose();
    void OpenUrl(const QString &url);

protected:
    bool event(QEvent *event) override;

private:
    void setOpacityTenths(int tenths);

    std::unique_ptr<Ui::QMessOpacityDlg> m_ui;
    QTimer m_timer;
    bool m_fading = true;      // hovering holds the toast
    int m_opacityTenths = 10;  // 0..10; integer steps so ten fades reach exactly 0
};
