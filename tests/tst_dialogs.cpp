// The dialogs through their real widgets: the value prompt, the frame rate
// and size dialog, the audio and compression dialogs, the file dialogs'
// filters and the movie's name. Messages and file dialogs inside them go to
// ScriptedDialogs.

#include "scripted_dialogs.h"

#include "dialogs/AudioDialog.h"
#include "dialogs/CompressionDialog.h"
#include "dialogs/FrameRateSizeDialog.h"
#include "dialogs/QtUserDialogs.h"
#include "dialogs/ValueInputDialog.h"
#include "ui/ConversionCommand.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

// Requests name only the fields they need.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

Q_DECLARE_METATYPE(UserDialogs::Answer)
Q_DECLARE_METATYPE(MovieContainer)

namespace {

// A value prompt that records its refusals instead of showing a box.
class RecordingValueDialog : public ValueInputDialog {
public:
    QStringList refusals;

protected:
    void showRefusal(const QString& message) override { refusals << message; }
};

// Check boxes and radio buttons take clicks only on their box and text, which
// may not reach the middle of a stretched button: click on the box.
void Click(QAbstractButton* button) {
    const bool boxed = qobject_cast<QCheckBox*>(button) || qobject_cast<QRadioButton*>(button);
    QTest::mouseClick(button, Qt::LeftButton, {},
                      boxed ? QPoint(6, button->height() / 2) : button->rect().center());
}

// Runs answer on the modal dialog of type D that the next call opens.
template <typename D> void WhenOpen(const std::function<void(D*)>& answer) {
    QTimer::singleShot(0, [answer] {
        if (auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget()))
            answer(dialog);
    });
}

} // namespace

class TestDialogs : public QObject {
    Q_OBJECT

private slots:
    // The value prompt's numbers ("text:maximum:expected", -1 refused; each
    // refusal names the bounds) and the frame rate dialog's (no maximum).
    void parseNumbers_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("maximum");
        QTest::addColumn<qint64>("expected");
        const QString rows =
            "0:1000:0;1000:1000:1000;1001:1000:-1;99999:99999:99999;100000:99999:-1;1:0:-1;"
            "  7 :1000:7;0042:1000:42;+5:1000:-1;   :1000:-1;1e3:1000:-1;4294967297:1000:-1;"
            "0000000000000000000042:1000:42;100000000000000000000000001:1000:-1;"
            "１２:1000:-1; 10\t::10;0320::320;６４０::640;4294967297::4294967295;-5::-1;"
            "7.5::-1;::-1;0x280::-1";
        for (const QString& row : rows.split(';')) {
            const QStringList f = row.split(':');
            QTest::addRow("'%s' up to %s", qPrintable(f[0]), qPrintable(f[1]))
                << f[0] << f[1] << f[2].toLongLong();
        }
    }
    void parseNumbers() {
        QFETCH(QString, text);
        QFETCH(QString, maximum);
        QString message;
        const std::optional<quint32> value =
            maximum.isEmpty() ? FrameRateSizeDialog::parseUnsignedText(text)
                              : ValueInputDialog::parseValue(text, maximum.toUInt(), &message);
        QTEST(value ? qint64(*value) : qint64(-1), "expected");
        if (!value && !maximum.isEmpty())
            QVERIFY2(message.contains("0 から " + maximum), qPrintable(message));
    }
    // A refusal keeps the dialog open with nothing stored and the focus on the
    // number; Enter accepts, Escape cancels.
    void valueDialog() {
        for (const bool enter : {true, false}) {
            RecordingValueDialog dialog;
            dialog.prompt = QStringLiteral("?");
            dialog.value = 5;
            dialog.show();
            dialog.loadFields();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            dialog.activateWindow();
            QCOMPARE(dialog.promptEdit()->text(), dialog.prompt);
            QVERIFY(dialog.promptEdit()->isReadOnly() && !dialog.promptEdit()->isEnabled());
            QCOMPARE(dialog.valueEdit()->text(), QStringLiteral("5"));
            QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(dialog.valueEdit()));
            dialog.valueEdit()->setText(QStringLiteral("1001"));
            dialog.okButton()->setFocus();
            QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
            QCOMPARE(dialog.refusals.size(), 1);
            QVERIFY(dialog.isVisible());
            QCOMPARE(dialog.value, quint32(5));
            QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(dialog.valueEdit()));
            dialog.valueEdit()->setText(QStringLiteral("1000"));
            QTest::keyClick(dialog.valueEdit(), enter ? Qt::Key_Return : Qt::Key_Escape);
            QVERIFY(!dialog.isVisible());
            QCOMPARE(dialog.result(), enter ? int(QDialog::Accepted) : int(QDialog::Rejected));
            QCOMPARE(dialog.value, enter ? quint32(1000) : quint32(5));
        }
    }
    // The frame rate is typed over its selected text. OK reads the fields in tab
    // order; the first refused one ("refused": 0 fps, 1 width, 2 height) shows the
    // bounds, takes the focus with its text selected, and nothing is stored, not
    // the fields before it nor the boxes clicked.
    void frameRateFields_data() {
        QTest::addColumn<QStringList>("texts"); // fps, width, height
        QTest::addColumn<int>("refused");       // -1: accepted
        for (const char* row : {"41 640 480 0", "0 640 480 0", "12 19 480 1", "12 640 1281 2",
                                "40 1280 1280 -1", "1 20 20 -1"}) {
            const QStringList f = QString(row).split(' ');
            QTest::newRow(row) << f.mid(0, 3) << f[3].toInt();
        }
    }
    void frameRateFields() {
        QFETCH(QStringList, texts);
        QFETCH(int, refused);
        ScriptedDialogs seam;
        ProjectSettings settings;
        FrameRateSizeDialog dialog(settings, seam);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QLineEdit* edits[] = {dialog.fpsEdit(), dialog.widthEdit(), dialog.heightEdit()};
        // The frame rate opens focused and selected: typing replaces it.
        QCOMPARE(dialog.focusWidget(), dialog.fpsEdit());
        QCOMPARE(dialog.fpsEdit()->selectedText(), QStringLiteral("8"));
        QTest::keyClicks(dialog.fpsEdit(), texts[0]);
        for (int i = 1; i < 3; ++i)
            edits[i]->setText(texts[i]);
        Click(dialog.depthRadio(2));
        Click(dialog.trimAviSizeCheck());
        Click(dialog.applyOrientationCheck());
        dialog.cancelButton()->setFocus(); // a refusal must move the focus back
        Click(dialog.okButton());
        if (refused < 0) {
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            QCOMPARE(QStringList({QString::number(settings.fps), QString::number(settings.width),
                                  QString::number(settings.height)}),
                     texts);
            QVERIFY(settings.depth == ColourDepth::Bits24 && settings.trimAviSize &&
                    settings.applyOrientation);
            return;
        }
        QVERIFY(dialog.isVisible());
        const QStringList messages = seam.logged("message: ");
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages[0].contains(refused == 0 ? "1 から 40" : "20 から 1280"));
        QCOMPARE(dialog.focusWidget(), edits[refused]);
        QCOMPARE(edits[refused]->selectedText(), texts[refused]);
        QCOMPARE(settings, ProjectSettings{});
        Click(dialog.cancelButton()); // Cancel after the refusal still stores nothing
        QCOMPARE(settings, ProjectSettings{});
    }
    // The depth and the options as stored are shown and kept by OK, a preset
    // sets only the size; a depth from a file outside 0..2 checks no button
    // and stays unless one is picked.
    void depthAndOptions() {
        ScriptedDialogs seam;
        ProjectSettings settings{.depth = ColourDepth::Bits16, .noTrailingBlank = true};
        ProjectSettings vga = settings;
        vga.width = 640, vga.height = 480;
        FrameRateSizeDialog dialog(settings, seam);
        QVERIFY(dialog.depthRadio(1)->isChecked() && dialog.noTrailingBlankCheck()->isChecked());
        QVERIFY(!dialog.scaleImagesCheck()->isChecked() && !dialog.trimAviSizeCheck()->isChecked());
        dialog.show();
        Click(dialog.vgaButton());
        Click(dialog.okButton());
        QCOMPARE(settings, vga);
        for (int pick : {-1, 0}) {
            settings.depth = ColourDepth(3);
            FrameRateSizeDialog unknown(settings, seam);
            for (int i = 0; i < 3; ++i)
                QVERIFY(!unknown.depthRadio(i)->isChecked());
            unknown.show();
            if (pick >= 0)
                Click(unknown.depthRadio(pick));
            Click(unknown.okButton());
            QCOMPARE(int(settings.depth), pick < 0 ? 3 : pick);
        }
    }
    // Browse stores the chosen path and the box's state at once, even if the
    // dialog is then cancelled; OK stores both. Path bytes are kept as they are.
    void audioDialog_data() {
        QTest::addColumn<QByteArray>("chosen"); // null: Browse is cancelled
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<bool>("storedEnabled");
        QTest::addColumn<QByteArray>("storedPath");
        const QByteArray take2 = "/sounds/take 2\xff.wav", old = "/sounds/old.wav";
        QTest::newRow("ticked at Browse, cleared, Cancel")
            << take2 << QStringList{"tick", "browse", "tick", "cancel"} << true << take2;
        QTest::newRow("Browse cancelled, Cancel")
            << QByteArray() << QStringList{"tick", "browse", "cancel"} << false << old;
        QTest::newRow("ticked, OK") << QByteArray() << QStringList{"tick", "ok"} << true << old;
        QTest::newRow("browsed, OK") << take2 << QStringList{"browse", "ok"} << false << take2;
    }
    void audioDialog() {
        QFETCH(QByteArray, chosen);
        QFETCH(QStringList, script);
        ScriptedDialogs seam;
        seam.files << (chosen.isNull() ? std::nullopt : std::optional(chosen));
        ProjectSettings settings;
        settings.audioPath = "/sounds/old.wav";
        AudioDialog dialog(settings, seam);
        QVERIFY(dialog.pathEdit()->isReadOnly());
        dialog.show();
        QCOMPARE(dialog.pathEdit()->text(), QStringLiteral("/sounds/old.wav"));
        for (const QString& step : script)
            Click(step == "tick"     ? static_cast<QAbstractButton*>(dialog.audioCheck())
                  : step == "browse" ? dialog.browseButton()
                  : step == "ok"     ? dialog.okButton()
                                     : dialog.cancelButton());
        QCOMPARE(dialog.pathEdit()->text(),
                 QFile::decodeName(chosen.isNull() ? settings.audioPath : chosen));
        QTEST(settings.audioEnabled, "storedEnabled");
        QTEST(settings.audioPath, "storedPath");
        QCOMPARE(seam.fileRequests.size(), qsizetype(script.contains("browse")));
    }
    // AVI lists uncompressed frames first; another container its default
    // first, no uncompressed frames, and the note that the colour depth is
    // AVI's. The first entry is picked; the quality follows the pick; a
    // compressor that cannot write the movie's size is greyed out with why.
    void compressionDialog_data() {
        QTest::addColumn<MovieContainer>("container");
        QTest::addColumn<QString>("first"); // its encoder
        QTest::newRow("avi") << MovieContainer::Avi << "";
        QTest::newRow("mp4") << MovieContainer::Mp4 << "libx264";
        QTest::newRow("webm") << MovieContainer::WebM << "libvpx-vp9";
        QTest::newRow("gif") << MovieContainer::Gif << "gif";
    }
    void compressionDialog() {
        QFETCH(MovieContainer, container);
        const bool avi = container == MovieContainer::Avi;
        const std::vector<CodecInfo> codecs = ContainerCodecs(container);
        CompressionDialog dialog(nullptr, codecs, {}, container);
        dialog.show();
        QListWidget* list = dialog.codecList();
        QCOMPARE(list->currentRow(), 0);
        QTEST(QString::fromStdString(dialog.choice().encoder), "first");
        QCOMPARE(list->count(), int(codecs.size()));
        QCOMPARE(list->findItems("Uncompressed", Qt::MatchContains).size(), avi ? 1 : 0);
        const auto* note = dialog.findChild<QLabel*>("depthNote");
        QCOMPARE(note && note->isVisible(), !avi);
        for (int row = 0; row < list->count(); ++row) {
            list->setCurrentRow(row);
            dialog.qualitySpin()->setValue(40 + row);
            QCOMPARE(dialog.choice().quality, codecs[size_t(row)].hasQuality ? 40 + row : -1);
            QCOMPARE(dialog.qualitySpin()->isEnabled(), codecs[size_t(row)].hasQuality);
        }
        for (const QSize size : {QSize(322, 242), QSize(320, 240)}) {
            const CompressionDialog sized(nullptr, {{"cinepak", "Cinepak", false, 4}}, size,
                                          container);
            const QListWidgetItem* item = sized.codecList()->item(avi ? 1 : 0);
            QCOMPARE(item->flags().testFlag(Qt::ItemIsEnabled), size.width() == 320);
            QCOMPARE(item->text().contains("322x242では使えません(幅と高さは4の倍数)"),
                     size.width() == 322);
        }
    }
    // The filters the program builds as Qt shows them; in Qt's own dialog
    // "*.*" lists names without a dot as well, as it always did.
    void fileDialogFilters() {
        const QString rows[][2] = {
            {"Text File (*.txt)|*.txt|All Files (*.*)|*.*||", "Text File (*.txt);All Files (*.*)"},
            {"Bitmap file (*.bmp)|*.bmp|HEIF/AVIF file (*.heic *.avif)|*.heic;*.avif|All Files "
             "(*.*) |*.*||",
             "Bitmap file (*.bmp);HEIF/AVIF file (*.heic *.avif);All Files (*.*)"},
            {"Bitmap file|*.bmp|", "Bitmap file (*.bmp)"},
            {"Vistrom-type file (*.fsq)| *.fsq ||", "Vistrom-type file (*.fsq)"}};
        for (const auto& [filter, shown] : rows)
            QCOMPARE(QtUserDialogs::nameFilters(filter), shown.split(';'));
        QTemporaryDir dir;
        const QStringList every{"IMAGE.BMP", "README", "list.txt"};
        for (const QString& name : every)
            QVERIFY(QFile(dir.filePath(name)).open(QIODevice::WriteOnly));
        QStringList seen;
        WhenOpen<QFileDialog>([&](QFileDialog* dialog) {
            auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
            auto* files = dialog->findChild<QTreeView*>("treeView");
            if (!types || !files)
                return dialog->reject();
            dialog->setDirectory(dir.path());
            types->setFocus(); // as a user picks a filter: the list box takes the key
            QTest::keyClick(types, Qt::Key_Down);
            (void)QTest::qWaitFor([&] {
                seen.clear();
                for (int r = 0; r < files->model()->rowCount(files->rootIndex()); ++r)
                    seen << files->model()->index(r, 0, files->rootIndex()).data().toString();
                seen.sort();
                return seen == every;
            });
            dialog->reject();
        });
        QtUserDialogs dialogs;
        int chosenFilter = -1; // the second, picked above
        QVERIFY(!dialogs.askFileName({.filter = rows[0][0], .chosenFilter = &chosenFilter}));
        QCOMPARE(seen, every);
        QCOMPARE(chosenFilter, 1);
    }
    // The movie's save dialog: one filter per container, AVI's first. A name
    // with a container's extension is kept, any other takes the filter's.
    void movieName_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("filter");
        QTest::addColumn<QString>("name");
        QTest::newRow("AVI filter") << "clip" << 0 << "clip.avi";
        QTest::newRow("MP4 filter") << "clip" << 1 << "clip.mp4";
        QTest::newRow("other extension, WebM filter") << "clip.v2" << 4 << "clip.v2.webm";
        QTest::newRow("GIF typed, MP4 filter") << "clip.GIF" << 1 << "clip.GIF";
        QTest::newRow("MKV typed, AVI filter") << "clip.mkv" << 0 << "clip.mkv";
    }
    void movieName() {
        QFETCH(QString, typed);
        QFETCH(int, filter);
        ScriptedDialogs seam;
        seam.filter = filter;
        seam.files << QFile::encodeName("/nonexistent-folder/" + typed);
        QTEST(QFile::decodeName(AskMovieFileName(seam).value_or("")).section('/', -1), "name");
        const QStringList shown = QtUserDialogs::nameFilters(seam.fileRequests[0].filter);
        QCOMPARE(shown.size(), qsizetype(MovieContainers().size()));
        for (qsizetype i = 0; i < shown.size(); ++i)
            QVERIFY(shown[i].endsWith(
                QStringLiteral("(*.%1)").arg(ContainerExtension(MovieContainers()[size_t(i)]))));
        QCOMPARE(shown[0], "AVI-type file (*.avi)");
    }
    // A Yes/No question offers exactly Yes and No; Escape and the close box
    // dismiss it, which is told apart from No.
    void yesNoQuestion_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<UserDialogs::Answer>("answer");
        QTest::newRow("Yes") << "yes" << UserDialogs::Answer::Yes;
        QTest::newRow("No") << "no" << UserDialogs::Answer::No;
        QTest::newRow("Enter takes Yes") << "enter" << UserDialogs::Answer::Yes;
        QTest::newRow("Escape") << "escape" << UserDialogs::Answer::Dismissed;
        QTest::newRow("close box") << "close" << UserDialogs::Answer::Dismissed;
    }
    void yesNoQuestion() {
        QFETCH(QString, action);
        QStringList shown;
        WhenOpen<QMessageBox>([&](QMessageBox* box) {
            shown << box->windowTitle() << box->text();
            for (QAbstractButton* b : box->buttons())
                if (b->isVisible())
                    shown << b->text();
            if (action == "yes" || action == "no")
                box->button(action == "yes" ? QMessageBox::Yes : QMessageBox::No)->click();
            else if (action == "close")
                box->close();
            else
                QTest::keyClick(box, action == "enter" ? Qt::Key_Return : Qt::Key_Escape);
        });
        QtUserDialogs dialogs;
        QTEST(dialogs.askYesNo(QStringLiteral("未保存のデータを保存しますか?")), "answer");
        QCOMPARE(shown.mid(0, 2), (QStringList{"Vistrom", "未保存のデータを保存しますか?"}));
        QCOMPARE(shown.size(), 4); // Yes and No, nothing else
    }
    // A message at start-up (window not shown yet) is centred on the screen; a
    // file dialog has its title and opens in the folder asked for, else in the
    // folder of the file last chosen, at first in the home folder.
    void placement() {
        QTemporaryDir a, b;
        QWidget hidden;
        hidden.resize(400, 480);
        QtUserDialogs dialogs(&hidden);
        QPoint centre;
        WhenOpen<QWidget>([&](QWidget* box) {
            centre = box->frameGeometry().center();
            box->close();
        });
        dialogs.showMessage(QStringLiteral("?"));
        QVERIFY((centre - hidden.screen()->availableGeometry().center()).manhattanLength() < 20);
        // folder asked, folder of the file chosen (empty: Cancel), title, folder opened
        const std::array<QString, 4> steps[] = {{"", "", "", QDir::homePath()},
                                                {a.path(), b.path(), "in a", a.path()},
                                                {"", "", "", b.path()}};
        for (const auto& [folder, chooseIn, title, opened] : steps) {
            QStringList shown;
            WhenOpen<QFileDialog>([&](QFileDialog* dialog) {
                shown << dialog->windowTitle() << dialog->directory().absolutePath();
                if (chooseIn.isEmpty())
                    return dialog->reject();
                dialog->selectFile(chooseIn + "/chosen.txt");
                static_cast<QDialog*>(dialog)->accept();
            });
            QCOMPARE(bool(dialogs.askFileName(
                         {.title = title, .startFolder = QFile::encodeName(folder)})),
                     !chooseIn.isEmpty());
            QCOMPARE(shown.value(1), opened);
            QVERIFY(title.isEmpty() || shown[0] == title);
        }
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
