#include "framelist/widgets/ClipboardSelfTest.h"

#include "app/UserDialogs.h"
#include "framelist/CVistromDoc.h"
#include "framelist/widgets/CVistromView.h"

#include <QApplication>
#include <QClipboard>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace {

// The copy and paste commands ask nothing; anything else is refused.
class NoDialogs : public CancellingDialogs {
public:
    void showMessage(const QString& text, bool) override {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    }
    void showPlainMessage(const QString& text, const QString&) override {
        showMessage(text, false);
    }
};

constexpr char Option[] = "--selftest-clipboard";

} // namespace

bool IsClipboardSelfTest(int argc, char** argv) {
    return argc >= 3 && std::strcmp(argv[1], Option) == 0 &&
           (std::strcmp(argv[2], "copy") == 0 || std::strcmp(argv[2], "paste") == 0);
}

int RunClipboardSelfTest(int argc, char** argv) {
    const bool copy = std::strcmp(argv[2], "copy") == 0;
    QList<QByteArray> rows;
    for (int i = 3; i < argc; ++i)
        rows.append(QByteArray(argv[i]));

    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    CVistromDoc document;
    NoDialogs dialogs;
    CVistromView view(&document, &dialogs);

    if (copy) {
        view.frameList()->resetRows(rows);
        QList<int> all;
        for (int i = 0; i < rows.size(); ++i)
            all.append(i);
        SelectRows(view.selectionModel(), all);
        view.OnCopyRows();
        std::printf("copied\n");
        std::fflush(stdout);
        // Serve the clipboard until another program owns it.
        QObject::connect(
            QGuiApplication::clipboard(), &QClipboard::changed, &app, [](QClipboard::Mode mode) {
                if (mode == QClipboard::Clipboard && !QGuiApplication::clipboard()->ownsClipboard())
                    QCoreApplication::quit();
            });
        QTimer::singleShot(60000, &app, &QCoreApplication::quit);
        return app.exec();
    }

    view.OnPasteRowsInserting();
    if (!view.modified)
        return 2;
    for (const QByteArray& path : view.frameList()->paths()) {
        std::fwrite(path.constData(), 1, size_t(path.size()), stdout);
        std::fputc('\n', stdout);
    }
    std::fflush(stdout);
    return 0;
}
