#include "ui/CPreView.h"

#include "framelist/CVistromDoc.h"

CPreView::CPreView(CVistromDoc* document, QWidget* parent) : QScrollArea(parent) {
    connect(document, &CVistromDoc::updated, this,
            [this](QObject* sender, int hint, const QByteArray& payload) {
                if (sender != this)
                    OnUpdate(sender, hint, payload);
            });
}

void CPreView::OnUpdate(QObject*, int hint, const QByteArray& payload) {
    if (hint != 16)
        return;
    path_ = payload;
}
