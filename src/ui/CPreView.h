#pragma once

// The preview pane: a white 1280 x 1280 scroll page showing one image file at
// its natural size in the top-left corner. It changes only on hint 16.

#include <QByteArray>
#include <QScrollArea>

class CVistromDoc;

class CPreView : public QScrollArea {
    Q_OBJECT

public:
    explicit CPreView(CVistromDoc* document, QWidget* parent = nullptr);

    // Hint 16 shows the image at payload (an empty path clears the preview).
    void OnUpdate(QObject* sender, int hint, const QByteArray& payload);
    const QByteArray& path() const { return path_; }

private:
    QByteArray path_;
};
