#include "framelist/widgets/CVistromView.h"

#include "app/UserDialogs.h"

// The settings dialogs work on the view's settings directly. OK marks the
// project modified even without a change and relabels the rows, whose times
// follow the frame rate. Cancel changes nothing here; the audio dialog's
// Browse may already have stored a path, which then stays without marking the
// project modified.

void CVistromView::OnFrameRateAndSize() {
    if (!dialogs_ || !dialogs_->runFrameRateDialog(settings))
        return;
    modified |= 1;
    RenumberRows();
}

void CVistromView::OnAudioSettings() {
    if (!dialogs_ || !dialogs_->runAudioDialog(settings))
        return;
    modified |= 1;
    RenumberRows();
}
