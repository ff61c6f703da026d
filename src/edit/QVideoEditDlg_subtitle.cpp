// The edit dialog's Subtitle page (audio track, subtitle, subtitle files and
// font) and the snapshots of the output preview.
#include "edit/QVideoEditDlg.h"

#include "edit/QSubtitleOperateDlg.h"

struct QVideoEditDlg::SubtitleState {
};

void QVideoEditDlg::SubtitleStateDeleter::operator()(SubtitleState *state) const { delete state; }

void QVideoEditDlg::wireSubtitlePage() { m_subtitle.reset(new SubtitleState); }
void QVideoEditDlg::openStreamLists() {}
void QVideoEditDlg::OnSelChangeAudio(int) {}
void QVideoEditDlg::OnSelChangeSubtl(int) {}
void QVideoEditDlg::OnShowMenu() {}
void QVideoEditDlg::OpenImgPath() {}
void QVideoEditDlg::OnScreenshots() {}
void QVideoEditDlg::ShowPathSettingDlg() {}
