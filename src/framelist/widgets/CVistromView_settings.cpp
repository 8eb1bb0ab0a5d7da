#include "framelist/widgets/CVistromView.h"

void CVistromView::OnFrameRateAndSize() {}
void CVistromView::OnAudioSettings() {}
