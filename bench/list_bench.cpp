// Times the project file and the frame list at scale: building and parsing
// the text of a 100,000-row project, saving and loading it through a project
// shown in the real list pane (model reset, labels and a repaint included),
// and relabelling after an edit. Each should take well under a second.
//
//   QT_QPA_PLATFORM=offscreen ./list_bench [rows]

#include "dialogs/UserDialogs.h"
#include "project/FrameList.h"
#include "project/Project.h"
#include "project/ProjectFile.h"
#include "ui/FrameListView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>

namespace {

double Time(const char* what, const std::function<void()>& step) {
    QElapsedTimer timer;
    timer.start();
    step();
    const double ms = timer.nsecsElapsed() / 1e6;
    std::printf("%-44s %9.1f ms\n", what, ms);
    return ms;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath("bench.fsq"));

    QList<QByteArray> paths(rows);
    for (int r = 0; r < rows; ++r)
        if (r % 3 != 2)
            paths[r] = "/home/user/pictures/animation/take 12/frame_" +
                       QByteArray::number(r).rightJustified(6, '0') + ".png";
    std::printf("list_bench: %d rows\n", rows);

    QByteArray text;
    Time("project text, build", [&] { text = ProjectFileText(ProjectSettings{}, paths); });
    ProjectData data;
    Time("project text, parse", [&] { ParseProjectText(text, data); });
    Time("project file, write (QSaveFile)",
         [&] { WriteProjectData(path, ProjectSettings{}, paths); });
    Time("project file, read", [&] { ReadProjectData(path, data); });

    CancellingDialogs dialogs;
    Project project;
    FrameListView view(&project, &dialogs);
    view.resize(420, 600);
    view.show();
    QApplication::processEvents();

    Time("view: load + paint", [&] {
        if (project.load(path) != ProjectResult::Done)
            std::fprintf(stderr, "the project did not load\n");
        view.repaint();
    });
    Time("view: save", [&] { project.saveAs(path); });
    Time("view: insert at row 0, relabel, paint", [&] {
        project.insertBlanks(0, 1);
        view.repaint();
    });
    view.scrollToBottom();
    Time("view: remove row 0, relabel, paint (bottom)", [&] {
        SelectRows(project.marks(), {0});
        project.deleteSelection();
        view.repaint();
    });
    ProjectSettings faster = project.settings();
    faster.fps = 25;
    Time("view: new frame rate, relabel, paint", [&] {
        project.changeSettings(faster);
        view.repaint();
    });
    Time("view: new project", [&] {
        project.newProject();
        view.repaint();
    });
    return 0;
}
