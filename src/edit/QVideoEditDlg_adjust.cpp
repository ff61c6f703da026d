// The edit dialog's Adjust, Effect and Watermark pages: the crop frame and
// the watermark boxes on the output preview.
#include "edit/QVideoEditDlg.h"

#include "edit/QAdjustOperateDlg.h"
#include "edit/QEffectOperateDlg.h"
#include "edit/QImageBorderWgt.h"
#include "edit/QWatermarkOperateDlg.h"

struct QVideoEditDlg::AdjustState {
};

void QVideoEditDlg::AdjustStateDeleter::operator()(AdjustState *state) const { delete state; }

void QVideoEditDlg::wireAdjustPages() { m_adjust.reset(new AdjustState); }
void QVideoEditDlg::resetAdjustOverlays()
{
    m_cropFrame->hide();
    m_waterFrame->hide();
    if (isOpen())
        PlayerSelectWatermark(m_player.get(), -1);
}
void QVideoEditDlg::showAdjustOverlay(int) {}
void QVideoEditDlg::mouseMoveFormVideo(QMouseEvent *) {}
void QVideoEditDlg::mouseDownFormVideo(QMouseEvent *) {}
void QVideoEditDlg::mouseUpFormVideo(QMouseEvent *) {}
void QVideoEditDlg::OnRefreshWaterRes() {}
void QVideoEditDlg::mouseCropMoveVideo(QMouseEvent *) {}
void QVideoEditDlg::mouseCropDownVideo(QMouseEvent *) {}
void QVideoEditDlg::mouseCropUpVideo(QMouseEvent *) {}
void QVideoEditDlg::ResetCropBorder() {}
void QVideoEditDlg::OnClickeAspectRadio() { radRatioTypeChange(); }
void QVideoEditDlg::radRatioTypeChange() {}
void QVideoEditDlg::FillModeChange() {}
void QVideoEditDlg::CalcCropPanScan() {}
void QVideoEditDlg::MoveCropPanScan() {}
