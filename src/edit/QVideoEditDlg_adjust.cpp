// The edit dialog's Adjust, Effect and Watermark pages: the crop frame and
// the watermark boxes on the previews, the aspect choices, and the records
// shown on the pages.
//
// The crop frame lies over the untouched picture ("Original Preview"): the
// crop is a part of the source, and the output pane shows only what is left
// of it, turned, mirrored and fitted into the output frame, so the frame
// could not be drawn there. The output pane shows the result of every drag
// at once. The watermark frame lies over the output pane, where the engine
// draws the watermarks; its boxes are the ones the engine reports as drawn.
#include "edit/QVideoEditDlg.h"

#include "edit/AdjustGeometry.h"
#include "edit/QAdjustOperateDlg.h"
#include "edit/QEffectOperateDlg.h"
#include "edit/QImageBorderWgt.h"
#include "edit/QWatermarkOperateDlg.h"
#include "player/VideoImageWindow.h"

#include <QMouseEvent>
#include <QTimer>

using namespace AdjustGeometry;

struct QVideoEditDlg::AdjustState {
    // Crop frame.
    bool cropEditing = false;    // only while the Adjust page is shown
    bool cropPressed = false;
    int cropHandle = NoHandle;
    QPoint cropPressPos;
    FractionRect cropPressRect;
    // Watermark being dragged: 0 the text, 1 the image.
    bool waterPressed = false;
    int waterWhich = -1;
    int waterHandle = NoHandle;
    QPoint waterPressPos;
    FractionRect waterPressRect;
    int scaleX0 = 100;
    int scaleY0 = 100;
};

void QVideoEditDlg::AdjustStateDeleter::operator()(AdjustState *state) const { delete state; }

namespace {

// Where the engine draws a watermark (0 text, 1 image), fractions of the output frame.
FractionRect drawnBox(ZxPlayer *player, int which)
{
    double x = 0, y = 0, w = 0, h = 0;
    if (which == 0)
        PlayerWatermarkTextBox(player, &x, &y, &w, &h);
    else
        PlayerWatermarkImageBox(player, &x, &y, &w, &h);
    return FractionRect{x, y, w, h};
}

QPoint posOf(const QMouseEvent *e) { return e->position().toPoint(); }

} // namespace

void QVideoEditDlg::wireAdjustPages()
{
    m_adjust.reset(new AdjustState);

    m_cropFrame->setParent(m_videoOrignalWidget);
    m_cropFrame->hide();
    // The watermark frame only shows the box; the pane under it takes the mouse.
    m_waterFrame->setPassMouse(true);

    m_adjustPage->setRecordAccess([this] { return m_crop; },
                                  [this](const CropSettings &c) {
                                      m_crop = c;
                                      applyEdits();
                                      placeCropFrame();
                                  });
    m_effectPage->setRecordAccess([this] { return m_effects; },
                                  [this](const EffectSettings &e) {
                                      m_effects = e;
                                      applyEdits();
                                  });
    m_watermarkPage->setRecordAccess([this] { return m_textWatermark; },
                                     [this](const WatermarkTextSettings &t) {
                                         m_textWatermark = t;
                                         sendWatermarks();
                                     },
                                     [this] { return m_imageWatermark; },
                                     [this](const WatermarkImageSettings &i) {
                                         m_imageWatermark = i;
                                         sendWatermarks();
                                     });

    connect(m_adjustPage, &QAdjustOperateDlg::radCheckChange, this, &QVideoEditDlg::radRatioTypeChange);
    connect(m_adjustPage, &QAdjustOperateDlg::seedFillModeChange, this, &QVideoEditDlg::FillModeChange);
    connect(m_adjustPage, &QAdjustOperateDlg::ApplyToAll, this, &QVideoEditDlg::ApplyEditSettingToAll);
    connect(m_watermarkPage, &QWatermarkOperateDlg::ApplyToAll, this, &QVideoEditDlg::ApplyWaterSettingToAll);
    connect(m_watermarkPage, &QWatermarkOperateDlg::modeChanged, this, [this](int mode) {
        if (isOpen() && m_page == WatermarkPage)
            PlayerSelectWatermark(m_player.get(), mode);
        OnRefreshWaterRes();
    });

    connect(m_cropFrame, &QImageBorderWgt::emitMouseMove, this, &QVideoEditDlg::mouseCropMoveVideo);
    connect(m_cropFrame, &QImageBorderWgt::emitMouseDown, this, &QVideoEditDlg::mouseCropDownVideo);
    connect(m_cropFrame, &QImageBorderWgt::emitMouseUp, this, &QVideoEditDlg::mouseCropUpVideo);
    connect(m_videoPreviewWidget, &VideoImageWindow::emitMouseMove, this, &QVideoEditDlg::mouseMoveFormVideo);
    connect(m_videoPreviewWidget, &VideoImageWindow::emitMouseDown, this, &QVideoEditDlg::mouseDownFormVideo);
    connect(m_videoPreviewWidget, &VideoImageWindow::emitMouseUp, this, &QVideoEditDlg::mouseUpFormVideo);
    connect(this, &QVideoEditDlg::emitResetCropBorder, this, &QVideoEditDlg::ResetCropBorder);
    // The panes change size with the picture's shape; the frames follow.
    connect(m_cropTimer, &QTimer::timeout, this, &QVideoEditDlg::placeCropFrame);
    connect(m_waterTimer, &QTimer::timeout, this, &QVideoEditDlg::OnRefreshWaterRes);
}

// ---- Pages and overlays ----------------------------------------------------------

void QVideoEditDlg::fillAdjustPage() { m_adjustPage->showRecord(m_crop); }
void QVideoEditDlg::fillEffectPage() { m_effectPage->showRecord(m_effects); }
void QVideoEditDlg::fillWatermarkPage()
{
    m_watermarkPage->showRecords(m_textWatermark, m_imageWatermark);
    OnRefreshWaterRes();
}

void QVideoEditDlg::resetAdjustOverlays()
{
    m_cropFrame->hide();
    m_waterFrame->hide();
    m_adjust->cropEditing = false;
    m_adjust->cropPressed = false;
    m_adjust->cropHandle = NoHandle;
    m_adjust->waterPressed = false;
    m_adjust->waterHandle = NoHandle;
    if (isOpen())
        PlayerSelectWatermark(m_player.get(), -1);
}

void QVideoEditDlg::showAdjustOverlay(int page)
{
    if (page == AdjustPage) {
        if (!isOpen() || m_noVideo)
            return; // nothing to crop
        m_adjust->cropEditing = true;
        placeCropFrame();
        m_cropFrame->show();
        m_cropFrame->raise();
        m_cropTimer->start(50);
    } else if (page == WatermarkPage) {
        if (isOpen())
            PlayerSelectWatermark(m_player.get(), m_watermarkPage->mode());
        OnRefreshWaterRes();
        m_waterTimer->start(50);
    }
}

// ---- Aspect ----------------------------------------------------------------------

void QVideoEditDlg::recomputeRatio()
{
    const int W = PlayerSourceWidth(m_player.get());
    const int H = PlayerSourceHeight(m_player.get());
    const QSize r = ratioFor(m_crop.ratioType, m_crop.cropRect, W, H, m_frameWidth > 0 ? m_frameWidth : W,
                             m_frameHeight > 0 ? m_frameHeight : H);
    m_crop.ratioWidth = r.width();
    m_crop.ratioHeight = r.height();
}

void QVideoEditDlg::OnClickeAspectRadio() { radRatioTypeChange(); }

void QVideoEditDlg::radRatioTypeChange()
{
    if (!isOpen() || m_noVideo)
        return;
    int t = m_adjustPage->ratioType();
    if (t <= 4)
        m_crop.fillMode = 0;
    else
        t = 0;
    m_crop.ratioType = t;
    recomputeRatio();
    if (isPanScan(m_crop))
        CalcCropPanScan();
    applyEdits();
    placeCropFrame();
}

void QVideoEditDlg::FillModeChange()
{
    if (!isOpen() || m_noVideo)
        return;
    // Pan-scan imposes the output frame's shape on the crop; "Original
    // Display" is the ratio it starts from.
    m_crop.fillMode = 1;
    m_crop.aspectLocked = 1;
    m_crop.ratioType = 0;
    m_crop.ratioWidth = 0;
    m_crop.ratioHeight = 0;
    CalcCropPanScan();
    applyEdits();
    placeCropFrame();
}

void QVideoEditDlg::CalcCropPanScan()
{
    if (!isOpen())
        return;
    ZxPlayer *p = m_player.get();
    const int W = PlayerSourceWidth(p);
    const int H = PlayerSourceHeight(p);
    int num = 0, den = 0;
    PlayerDisplayAspect(p, &num, &den);
    m_crop.panScanRect = clampInside(panScanRect(m_crop, W, H, num, den, m_frameWidth > 0 ? m_frameWidth : W,
                                                 m_frameHeight > 0 ? m_frameHeight : H));
}

void QVideoEditDlg::MoveCropPanScan()
{
    m_crop.cropRect = clampInside(holdShape(m_adjust->cropHandle, m_adjust->cropPressRect, m_crop.cropRect));
}

// ---- Crop frame ------------------------------------------------------------------

void QVideoEditDlg::placeCropFrame()
{
    m_cropFrame->setBorderRect(toPixels(effectiveRect(m_crop), m_videoOrignalWidget->size()));
}

void QVideoEditDlg::ResetCropBorder()
{
    // In pan-scan mode the frame always shows the part used; otherwise it
    // follows a drag.
    if (isPanScan(m_crop) || m_adjust->cropPressed)
        placeCropFrame();
}

void QVideoEditDlg::mouseCropDownVideo(QMouseEvent *event)
{
    if (!isOpen() || !m_adjust->cropEditing || event->button() != Qt::LeftButton)
        return;
    const FractionRect r = effectiveRect(m_crop);
    if (isTiny(r))
        return;
    const int handle = hitTest(r, m_videoOrignalWidget->size(), posOf(event));
    if (handle == NoHandle)
        return;
    m_adjust->cropPressed = true;
    m_adjust->cropHandle = handle;
    m_adjust->cropPressPos = posOf(event);
    m_adjust->cropPressRect = r;
}

void QVideoEditDlg::mouseCropMoveVideo(QMouseEvent *event)
{
    if (!isOpen() || !m_adjust->cropEditing || isTiny(effectiveRect(m_crop)))
        return;
    const QSize pane = m_videoOrignalWidget->size();
    if (!m_adjust->cropPressed) {
        m_cropFrame->setCursor(cursorFor(hitTest(effectiveRect(m_crop), pane, posOf(event))));
        return;
    }
    const QPoint d = posOf(event) - m_adjust->cropPressPos;
    m_crop.cropRect = clampInside(dragRect(m_adjust->cropHandle, m_adjust->cropPressRect,
                                           double(d.x()) / qMax(1, pane.width()),
                                           double(d.y()) / qMax(1, pane.height()), pane, kMinCropPixels));
    if (isPanScan(m_crop) && (m_crop.ratioType == 0 || m_crop.ratioType == 1))
        MoveCropPanScan();
    m_crop.panScanRect = m_crop.cropRect;
    if (m_crop.ratioType == 1 || (m_crop.ratioType == 0 && m_crop.aspectLocked == 0))
        recomputeRatio();
    applyEdits();
    emit emitResetCropBorder();
}

void QVideoEditDlg::mouseCropUpVideo(QMouseEvent *)
{
    m_adjust->cropPressed = false;
    m_adjust->cropHandle = NoHandle;
}

// ---- Watermarks ------------------------------------------------------------------

void QVideoEditDlg::sendWatermarks()
{
    applyEdits();
    OnRefreshWaterRes();
}

int QVideoEditDlg::watermarkUnder(QPoint pos, int *handle) const
{
    *handle = NoHandle;
    if (!isOpen())
        return -1;
    const int order[2][2] = {{1, 0}, {0, 1}};
    for (int which : order[m_textWatermark.activeLayer != 0 ? 1 : 0]) {
        const bool present = which == 0 ? !m_textWatermark.text.empty() && m_textWatermark.enabled != 0
                                        : !m_imageWatermark.imagePath.empty() && m_imageWatermark.enabled != 0;
        if (!present)
            continue;
        const FractionRect box = drawnBox(m_player.get(), which);
        if (isTiny(box))
            continue;
        const int h = hitTest(box, m_videoPreviewWidget->size(), pos);
        if (h != NoHandle) {
            *handle = h;
            return which;
        }
    }
    return -1;
}

void QVideoEditDlg::mouseDownFormVideo(QMouseEvent *event)
{
    if (!isOpen() || m_page != WatermarkPage || event->button() != Qt::LeftButton)
        return;
    int handle = NoHandle;
    const int which = watermarkUnder(posOf(event), &handle);
    if (which < 0)
        return;
    AdjustState &st = *m_adjust;
    st.waterPressed = true;
    st.waterWhich = which;
    st.waterHandle = handle;
    st.waterPressPos = posOf(event);
    st.waterPressRect = drawnBox(m_player.get(), which);
    st.scaleX0 = which == 0 ? m_textWatermark.scaleX : m_imageWatermark.scaleX;
    st.scaleY0 = which == 0 ? m_textWatermark.scaleY : m_imageWatermark.scaleY;
    // The grabbed watermark becomes the one the page edits, drawn on top.
    if (m_watermarkPage->mode() != which)
        m_watermarkPage->setMode(which);
    PlayerSelectWatermark(m_player.get(), which);
    const int layer = which == 0 ? 1 : 0;
    if (m_textWatermark.activeLayer != layer) {
        m_textWatermark.activeLayer = layer;
        sendWatermarks();
    }
}

void QVideoEditDlg::mouseMoveFormVideo(QMouseEvent *event)
{
    if (!isOpen() || m_page != WatermarkPage)
        return;
    AdjustState &st = *m_adjust;
    const QSize pane = m_videoPreviewWidget->size();
    if (!st.waterPressed) {
        int handle = NoHandle;
        watermarkUnder(posOf(event), &handle);
        m_videoPreviewWidget->setCursor(cursorFor(handle));
        return;
    }
    const QPoint d = posOf(event) - st.waterPressPos;
    const FractionRect r0 = st.waterPressRect;
    const FractionRect r = dragRect(st.waterHandle, r0, double(d.x()) / qMax(1, pane.width()),
                                    double(d.y()) / qMax(1, pane.height()), pane, 0);
    auto place = [&](auto &record) {
        record.posX = thousandths(r.x);
        record.posY = thousandths(r.y);
        if (changesWidth(st.waterHandle))
            record.scaleX = scaledPercent(st.scaleX0, r0.width, r.width);
        if (changesHeight(st.waterHandle))
            record.scaleY = scaledPercent(st.scaleY0, r0.height, r.height);
    };
    if (st.waterWhich == 0)
        place(m_textWatermark);
    else
        place(m_imageWatermark);
    sendWatermarks();
}

void QVideoEditDlg::mouseUpFormVideo(QMouseEvent *)
{
    m_adjust->waterPressed = false;
    m_adjust->waterHandle = NoHandle;
}

void QVideoEditDlg::OnRefreshWaterRes()
{
    if (!isOpen() || m_page != WatermarkPage) {
        m_waterFrame->hide();
        return;
    }
    const int which = m_watermarkPage->mode();
    const bool present = which == 0 ? !m_textWatermark.text.empty() : !m_imageWatermark.imagePath.empty();
    const FractionRect box = present ? drawnBox(m_player.get(), which) : FractionRect{0, 0, 0, 0};
    if (isTiny(box)) {
        m_waterFrame->hide();
        return;
    }
    m_waterFrame->setBorderRect(toPixels(box, m_videoPreviewWidget->size()));
    m_waterFrame->show();
    m_waterFrame->raise();
}
