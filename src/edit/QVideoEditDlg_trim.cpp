// The edit dialog's Trim page: the range, the dual slider, frame steps.
#include "edit/QVideoEditDlg.h"

#include "edit/QDualSlider.h"
#include "edit/QTrimOperatedlgDlg.h"

void QVideoEditDlg::wireTrimPage() {}
void QVideoEditDlg::refreshTrimPage() {}
void QVideoEditDlg::stepFrame(int) {}
void QVideoEditDlg::setTrimStartValue(double) {}
void QVideoEditDlg::setTrimEndValue(double) {}
void QVideoEditDlg::OnPreviousStep() {}
void QVideoEditDlg::OnNextStep() {}
void QVideoEditDlg::PlaySection() {}
void QVideoEditDlg::OnTrimVideo() {}
void QVideoEditDlg::ResetTrimTime() {}
