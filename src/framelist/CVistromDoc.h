#pragma once

// The document: holds nothing of its own. It hands a project path that the
// program opens (command line, a file dropped on the main window outside the
// list) to the list view with hint 1, and image paths from the list view to the
// preview pane with hint 16. Payloads are values: no view frees anything.

#include <QByteArray>
#include <QObject>

class CVistromDoc : public QObject {
    Q_OBJECT

public:
    enum Hint { HintLoadProject = 1, HintShowImage = 16 };

    using QObject::QObject;

    // Sends hint 1 with the path to every view.
    bool OnOpenDocument(const QByteArray& path) {
        UpdateAllViews(nullptr, HintLoadProject, path);
        return true;
    }

    // Calls OnUpdate on every view but the sender, synchronously.
    void UpdateAllViews(QObject* sender, int hint, const QByteArray& payload) {
        emit updated(sender, hint, payload);
    }

signals:
    // Views connect here and ignore their own updates (sender == this view).
    void updated(QObject* sender, int hint, const QByteArray& payload);
};
