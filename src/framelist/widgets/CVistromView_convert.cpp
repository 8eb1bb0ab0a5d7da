#include "framelist/widgets/CVistromView.h"

void CVistromView::OnConvertToAvi() {}
int CVistromView::AskAviFileName(QByteArray&) { return 1; }
