// Times the project file and the frame list at scale: building and parsing
// the text of a 100,000-row project, saving and loading it through the real
// list view (model reset, labels and a repaint included), and relabelling
// after an edit. Each should take well under a second.
//
//   QT_QPA_PLATFORM=offscreen ./list_bench [rows]

#include "app/UserDialogs.h"
#include "framelist/CVistromDoc.h"
#include "framelist/FrameList.h"
#include "framelist/ProjectFile.h"
#include "framelist/widgets/CVistromView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>

namespace {

class SilentDialogs : public CancellingDialogs {
public:
    void showMessage(const QString& text, bool) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
};

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

    SilentDialogs dialogs;
    CVistromDoc document;
    CVistromView view(&document, &dialogs);
    view.resize(420, 600);
    view.OnInitialUpdate();
    view.show();
    QApplication::processEvents();

    view.projectPath = path;
    Time("view: ReadProjectFile + paint", [&] {
        view.ReadProjectFile();
        view.repaint();
    });
    Time("view: WriteProjectFile", [&] { view.WriteProjectFile(); });
    Time("view: insert at row 0, relabel, paint", [&] {
        view.frameList()->insertRow(0);
        view.RenumberRows();
        view.repaint();
    });
    view.scrollToBottom();
    Time("view: remove row 0, relabel, paint (bottom)", [&] {
        view.frameList()->removeRow(0);
        view.RenumberRows();
        view.repaint();
    });
    view.settings.fps = 25;
    Time("view: new frame rate, relabel, paint", [&] {
        view.RenumberRows();
        view.repaint();
    });
    Time("view: new project", [&] {
        view.untitled = 1;
        view.OnInitialUpdate();
        view.repaint();
    });
    return 0;
}
