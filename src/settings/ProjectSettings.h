#pragma once

// The movie and audio settings of a project. A project file may bring in any
// value; the dialogs' limits hold only for values a user confirms.

#include <QByteArray>
#include <QtGlobal>

struct ProjectSettings {
    quint32 fps = 8;            // frames per second (dialog: 1 to 40)
    quint32 width = 320;        // movie width in pixels (dialog: 20 to 1280)
    quint32 height = 240;       // movie height in pixels (dialog: 20 to 1280)
    qint32 depthIndex = 0;      // 0, 1, 2 for 8, 16, 24 bits per pixel
    qint32 noTrailingBlank = 0; // 1: no closing blank frame
    qint32 scaleImages = 0;     // 1: stretch images to the frame; 0: centre them
    qint32 trimAviSize = 0;     // 1: no hold lines at the end of blank runs
    qint32 audioEnabled = 0;    // 1: copy the sound of audioPath into the movie
    QByteArray audioPath;       // path bytes of the sound file

    bool operator==(const ProjectSettings&) const = default;
};

// Back to the defaults above.
inline void ResetSettings(ProjectSettings& settings) {
    settings = ProjectSettings{};
}
