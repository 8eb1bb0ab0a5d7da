// The dialogs through their real widgets: the value prompt, the frame rate
// and size dialog, the audio and compression dialogs, Qt's message boxes and
// file dialog (the movie's save dialog: tst_containers). Messages and file
// dialogs inside them go to ScriptedDialogs.

#include "scripted_dialogs.h"

#include "dialogs/AudioDialog.h"
#include "dialogs/CompressionDialog.h"
#include "dialogs/FrameRateSizeDialog.h"
#include "dialogs/QtUserDialogs.h"
#include "dialogs/ValueInputDialog.h"

#include <QtTest>
#include <QtWidgets>

namespace {

// A value prompt that tells its refusals through the seam instead of a box.
struct RecordingValueDialog : ValueInputDialog {
    UserDialogs& seam;
    explicit RecordingValueDialog(UserDialogs& dialogs) : seam(dialogs) {}
    void showRefusal(const QString& message) override { seam.showMessage(message); }
};

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
    // The value prompt (up to a maximum) and the frame rate dialog (frame
    // rate, width, height, full-width digits too) read whole numbers
    // ("dialog:texts:outcome"). Each opens with its first number selected, so
    // typing replaces it; Enter accepts. OK reads the fields in tab order; the
    // first refused one shows the bounds, takes the focus with its text
    // selected, and nothing is stored, not the fields before it nor the boxes
    // clicked. Stored options are shown and kept; "VGA" after the fields is the
    // preset (the size only), pressed where a file gave a depth outside 0..2,
    // which checks no button and is kept.
    void numberFields_data() {
        QTest::addColumn<QString>("dialog"); // the prompt's maximum, or "fps"
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("outcome"); // what is stored, or "refused" and the field
        const QString rows =
            "1000:0:0;1000:1000:1000;1000:1001:refused 0;99999:99999:99999;1000:  7 :7;"
            "1000:0000000000000000000042:42;1000:+5:refused 0;1000:   :refused 0;"
            "1000:4294967297:refused 0;1000:１２:refused 0;fps:41|640|480:refused 0;"
            "fps:0|640|480:refused 0;fps:7.5|640|480:refused 0;fps:12|19|480:refused 1;"
            "fps:12|4294967936|480:refused 1;fps:12|0x280|480:refused 1;"
            "fps:12|640|1281:refused 2;fps:12|640|:refused 2;fps:40|1280|1280:40 1280 1280;"
            "fps:1|20|20:1 20 20;fps:12|19|1281|VGA:12 640 480;fps:12| 0320\t|６４０:12 320 640";
        for (const QString& row : rows.split(';')) {
            const QStringList f = row.split(':');
            QTest::addRow("%s: %s", qPrintable(f[0]), qPrintable(f[1]))
                << f[0] << f[1].split('|') << f[2];
        }
    }
    void numberFields() {
        QFETCH(QString, dialog);
        QFETCH(QStringList, texts);
        QFETCH(QString, outcome);
        const bool fps = dialog == "fps";
        ScriptedDialogs seam;
        const bool preset = texts.size() > 3;
        const ProjectSettings stored{.depth = ColourDepth(preset ? 3 : 1), .noTrailingBlank = true};
        ProjectSettings settings = stored;
        FrameRateSizeDialog frame(settings, seam);
        RecordingValueDialog prompt(seam);
        prompt.value = 5;
        prompt.maximum = dialog.toUInt();
        prompt.loadFields();
        QDialog* shown = fps ? static_cast<QDialog*>(&frame) : &prompt;
        const QList<QLineEdit*> edits =
            fps ? QList{frame.fpsEdit(), frame.widthEdit(), frame.heightEdit()}
                : QList{prompt.valueEdit()};
        shown->show();
        QVERIFY(QTest::qWaitForWindowExposed(shown));
        shown->activateWindow();
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(edits[0]));
        QCOMPARE(edits[0]->selectedText(), fps ? "8" : "5");
        QVERIFY(frame.depthRadio(1)->isChecked() != preset && !frame.depthRadio(2)->isChecked());
        QVERIFY(!frame.depthRadio(0)->isChecked() && frame.noTrailingBlankCheck()->isChecked());
        for (qsizetype i = 0; i < edits.size(); ++i)
            edits[i]->setText(texts[i]);
        if (preset)
            frame.vgaButton()->click();
        else if (fps)
            frame.depthRadio(2)->click();
        if (fps) {
            frame.trimAviSizeCheck()->click();
            frame.applyOrientationCheck()->click();
        }
        if (!outcome.startsWith("refused")) {
            QTest::keyClick(edits[0], Qt::Key_Return);
            QCOMPARE(shown->result(), int(QDialog::Accepted));
            QCOMPARE(
                fps ? QString::asprintf("%u %u %u", settings.fps, settings.width, settings.height)
                    : QString::number(prompt.value),
                outcome);
            QVERIFY(!fps ||
                    (settings.depth == ColourDepth(preset ? 3 : 2) && settings.trimAviSize &&
                     settings.applyOrientation && settings.noTrailingBlank));
            return;
        }
        (fps ? frame.cancelButton() : prompt.cancelButton())->setFocus(); // must come back
        (fps ? frame.okButton() : prompt.okButton())->click();
        const int field = outcome.section(' ', 1).toInt();
        QVERIFY(shown->isVisible());
        QCOMPARE(seam.log.size(), 1); // one message, naming the bounds
        QVERIFY(seam.log[0].contains(fps ? (field ? "20 から 1280" : "1 から 40")
                                         : "0 から " + dialog));
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(edits[field]));
        QCOMPARE(edits[field]->selectedText(), texts[field]);
        QTest::keyClick(edits[field], Qt::Key_Escape); // leaving after a refusal stores nothing
        QVERIFY(!shown->isVisible() && prompt.value == 5);
        QCOMPARE(settings, stored);
    }
    // Browse stores the chosen path and the box's state at once, even if the
    // dialog is then cancelled; a cancelled Browse stores nothing; OK stores
    // both. Path bytes are kept as they are.
    void audioDialog() {
        const QByteArray old = "/sounds/old.wav", take2 = "/sounds/take 2\xff.wav";
        ScriptedDialogs seam;
        seam.files << std::nullopt << take2;
        ProjectSettings settings{.audioPath = old};
        AudioDialog dialog(settings, seam);
        QVERIFY(dialog.pathEdit()->isReadOnly() && dialog.pathEdit()->text() == old);
        dialog.audioCheck()->click();
        dialog.browseButton()->click(); // cancelled
        QCOMPARE(settings, (ProjectSettings{.audioPath = old}));
        dialog.browseButton()->click();
        QCOMPARE(dialog.pathEdit()->text(), QFile::decodeName(take2));
        dialog.audioCheck()->click();
        dialog.cancelButton()->click();
        QCOMPARE(settings, (ProjectSettings{.audioEnabled = true, .audioPath = take2}));
        AudioDialog again(settings, seam);
        again.audioCheck()->click();
        again.okButton()->click();
        QCOMPARE(settings, (ProjectSettings{.audioPath = take2}));
    }
    // AVI lists uncompressed frames first; another container has none, and
    // the note that the colour depth is AVI's. The first entry is picked; the
    // quality follows the pick; one that cannot write the size: grey, with why.
    void compressionDialog() {
        for (const MovieContainer container : {MovieContainer::Avi, MovieContainer::Mp4}) {
            const bool avi = container == MovieContainer::Avi;
            const std::vector<CodecInfo> codecs = ContainerCodecs(container);
            CompressionDialog dialog(nullptr, codecs, {}, container);
            dialog.show();
            QListWidget* list = dialog.codecList();
            QCOMPARE(dialog.choice().encoder, avi ? "" : "libx264");
            QCOMPARE(list->findItems("Uncompressed", Qt::MatchContains).size(), avi ? 1 : 0);
            const auto* note = dialog.findChild<QLabel*>("depthNote");
            QCOMPARE(note && note->isVisible(), !avi);
            for (int row = 0; row < list->count(); ++row) {
                list->setCurrentRow(row);
                dialog.qualitySpin()->setValue(40 + row);
                const bool quality = codecs[size_t(row)].hasQuality;
                QCOMPARE(dialog.choice().quality, quality ? 40 + row : -1);
                QCOMPARE(dialog.qualitySpin()->isEnabled(), quality);
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
    }
    // A message or question at start-up (window not shown yet) is centred on
    // the screen. A Yes/No question offers exactly Yes and No; Enter takes
    // Yes; Escape and the close box dismiss it, which is told apart from No.
    void messageBoxes() {
        QWidget hidden;
        hidden.resize(400, 480);
        QtUserDialogs dialogs(&hidden);
        for (const QString row :
             {"message", "yes yes", "no no", "enter yes", "escape dismiss", "close dismiss"}) {
            const QString action = row.section(' ', 0, 0);
            QStringList shown;
            QPoint centre;
            WhenOpen<QMessageBox>([&](QMessageBox* box) {
                centre = box->frameGeometry().center();
                shown << box->windowTitle() << box->text();
                for (QAbstractButton* b : box->buttons())
                    if (b->isVisible())
                        shown << b->text();
                if (action == "yes" || action == "no")
                    box->button(action == "yes" ? QMessageBox::Yes : QMessageBox::No)->click();
                else if (action == "enter" || action == "escape")
                    QTest::keyClick(box, action == "enter" ? Qt::Key_Return : Qt::Key_Escape);
                else
                    box->close();
            });
            const QString text = QStringLiteral("未保存のデータを保存しますか?");
            if (action == "message")
                dialogs.showMessage(text);
            else
                QCOMPARE(dialogs.askYesNo(text), ScriptedDialogs::answer(row.section(' ', 1)));
            QCOMPARE(shown.mid(0, 2), (QStringList{"Vistrom", text}));
            QCOMPARE(shown.size(), action == "message" ? 3 : 4); // OK, or Yes and No
            QVERIFY((centre - hidden.screen()->availableGeometry().center()).manhattanLength() <
                    20);
        }
    }
    // A file dialog has its title and opens in the folder asked for, else in
    // the folder of the file last chosen, at first in the home folder; it
    // reports the filter picked; "*.*" lists names without a dot, as ever.
    void fileDialog() {
        QTemporaryDir a, b;
        QtUserDialogs dialogs;
        const QStringList every{"IMAGE.BMP", "README", "list.txt"};
        for (const QString& name : every)
            QVERIFY(QFile(b.filePath(name)).open(QIODevice::WriteOnly));
        // folder asked, folder of the file chosen (empty: Cancel), title, folder opened
        const std::array<QString, 4> steps[] = {{"", "", "", QDir::homePath()},
                                                {a.path(), b.path(), "in a", a.path()},
                                                {"", "", "", b.path()}};
        for (const auto& [folder, chooseIn, title, opened] : steps) {
            QStringList shown, seen;
            WhenOpen<QFileDialog>([&](QFileDialog* dialog) {
                shown << dialog->windowTitle() << dialog->directory().absolutePath()
                      << dialog->nameFilters();
                if (!chooseIn.isEmpty()) {
                    dialog->selectFile(chooseIn + "/chosen.txt");
                    return static_cast<QDialog*>(dialog)->accept();
                }
                auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
                auto* files = dialog->findChild<QTreeView*>("treeView");
                types->setFocus(); // as a user picks a filter: the list box takes the key
                QTest::keyClick(types, Qt::Key_Down);
                (void)QTest::qWaitFor([&] {
                    seen.clear();
                    for (int r = 0; r < files->model()->rowCount(files->rootIndex()); ++r)
                        seen << files->model()->index(r, 0, files->rootIndex()).data().toString();
                    seen.sort();
                    return opened != b.path() || seen == every;
                });
                dialog->reject();
            });
            int chosenFilter = -1;
            QCOMPARE(
                bool(dialogs.askFileName({.title = title,
                                          .startFolder = QFile::encodeName(folder),
                                          .filter = "Text File (*.txt)|*.txt|All Files (*.*)|*.*||",
                                          .chosenFilter = &chosenFilter})),
                !chooseIn.isEmpty());
            QCOMPARE(shown.value(1), opened);
            QCOMPARE(shown.mid(2), (QStringList{"Text File (*.txt)", "All Files (*.*)"}));
            QVERIFY(title.isEmpty() || shown[0] == title);
            QCOMPARE(chosenFilter, chooseIn.isEmpty() ? 1 : 0);
            if (opened == b.path())
                QCOMPARE(seen, every);
        }
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
