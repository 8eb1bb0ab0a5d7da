// The frame rate and size dialog, the audio dialog and the list view's two
// settings commands, driven through their real widgets on the offscreen
// platform. Messages and file dialogs are answered by FakeDialogs.

#include "app/UserDialogs.h"
#include "framelist/CVistromDoc.h"
#include "framelist/FrameList.h"
#include "framelist/widgets/CVistromView.h"
#include "movie/widgets/CAudioDialog.h"
#include "settings/widgets/CFrameRateSizeDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

#include <functional>

using U32s = QList<quint32>;

namespace {

class FakeDialogs : public CancellingDialogs {
public:
    QStringList messages;
    QList<FileRequest> fileRequests;
    QList<QByteArray> fileAnswers; // answered in turn, then Cancel
    // Drives the real dialog the view runs; it must end the dialog.
    std::function<void(CFrameRateSizeDialog&)> frameRateScript;
    std::function<void(CAudioDialog&)> audioScript;

    void showMessage(const QString& text, bool) override { messages << text; }
    void showPlainMessage(const QString& text, const QString&) override { messages << text; }
    std::optional<QByteArray> askFileName(const FileRequest& request) override {
        fileRequests << request;
        if (fileAnswers.isEmpty())
            return std::nullopt; // the user cancels
        return fileAnswers.takeFirst();
    }
    bool runFrameRateDialog(ProjectSettings& settings) override {
        CFrameRateSizeDialog dialog(settings, this);
        dialog.show();
        frameRateScript(dialog);
        return dialog.result() == QDialog::Accepted;
    }
    bool runAudioDialog(ProjectSettings& settings) override {
        CAudioDialog dialog(settings, this);
        dialog.show();
        audioScript(dialog);
        return dialog.result() == QDialog::Accepted;
    }
};

// Check boxes and radio buttons take clicks only on their box and text, which
// may not reach the middle of a stretched button: click on the box.
void Click(QAbstractButton* button) {
    const bool boxed = qobject_cast<QCheckBox*>(button) || qobject_cast<QRadioButton*>(button);
    const QPoint at = boxed ? QPoint(6, button->height() / 2) : button->rect().center();
    QTest::mouseClick(button, Qt::LeftButton, {}, at);
}

// The texts of the tab stops from the OK button on, once round the focus
// chain: an edit's value, a button's text with "*" when checked.
QStringList TabTexts(QWidget* dialog, QWidget* first) {
    QStringList texts;
    QWidget* w = first;
    do {
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(dialog)) {
            if (auto* edit = qobject_cast<QLineEdit*>(w))
                texts << edit->text();
            else if (auto* button = qobject_cast<QAbstractButton*>(w))
                texts << button->text() + (button->isChecked() ? "*" : "");
        }
        w = w->nextInFocusChain();
    } while (w != first && texts.size() < 50);
    return texts;
}

QStringList Sorted(QStringList texts) {
    texts.sort();
    return texts;
}

} // namespace

class TestSettingsDialogs : public QObject {
    Q_OBJECT

private slots:
    void frameRateTexts();
    void fields_data();
    void fields();
    void depthAndOptions_data();
    void depthAndOptions();
    void depthOutsideRange();
    void messageBoxWithoutSeam();
    void runsModally();
    void viewFrameRate_data();
    void viewFrameRate();
    void viewRelabelsRows();
    void audioTexts();
    void audioDialog_data();
    void audioDialog();
};

void TestSettingsDialogs::frameRateTexts() {
    // Every control text in tab order, on the defaults.
    ProjectSettings settings;
    CFrameRateSizeDialog dialog(settings);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Vistrom (FPS,Size等の設定)"));
    QVERIFY(dialog.okButton()->isDefault());
    // The texts in tab order also name the controls (the edits by their values).
    QCOMPARE(TabTexts(&dialog, dialog.okButton()),
             (QStringList{"OK", "CANCEL", "8", "320", "240", "画像の拡大縮小を行う",
                          "最後に空白コマ挿入しない", "AVIサイズを削る", "8 bpp (256色)*",
                          "16 bpp (3万色)", "24 bpp (1700万色)", "VGA", "QVGA", "SVGA"}));
    QStringList groups, labels;
    for (QGroupBox* box : dialog.findChildren<QGroupBox*>())
        groups << box->title();
    for (QLabel* label : dialog.findChildren<QLabel*>())
        labels << label->text();
    QCOMPARE(Sorted(groups), Sorted({"画像解像度", "AVI作成オプション", "画像サイズ", "再生速度"}));
    QCOMPARE(Sorted(labels), Sorted({"FRAMEs per sec", "横 :", "縦 :", "pixels", "pixels"}));
}

void TestSettingsDialogs::fields_data() {
    // A refused field ("refused" names it: 0 fps, 1 width, 2 height) stores
    // nothing, not even the fields checked before it or the boxes clicked.
    QTest::addColumn<QStringList>("texts"); // fps, width, height
    QTest::addColumn<int>("refused");       // -1: accepted
    QTest::addColumn<U32s>("stored");
    const char* names[] = {"fps", "width", "height"};
    for (auto [field, text] : std::initializer_list<std::pair<int, const char*>>{{0, "41"},
                                                                                 {0, "0"},
                                                                                 {0, "-5"},
                                                                                 {0, "abc"},
                                                                                 {0, "12fps"},
                                                                                 {0, "7.5"},
                                                                                 {0, ""},
                                                                                 {0, "4294967297"},
                                                                                 {1, "19"},
                                                                                 {1, "1281"},
                                                                                 {1, "0x280"},
                                                                                 {2, "19"},
                                                                                 {2, "1281"},
                                                                                 {2, "   "}}) {
        QStringList texts{"12", "640", "480"};
        texts[field] = QString::fromLatin1(text);
        QTest::addRow("%s '%s'", names[field], text) << texts << field << U32s{};
    }
    auto accept = [](const char* name, const QString& fps, const QString& width,
                     const QString& height, U32s stored) {
        QTest::newRow(name) << QStringList{fps, width, height} << -1 << stored;
    };
    accept("lower bounds", "1", "20", "20", {1, 20, 20});
    accept("upper bounds", "40", "1280", "1280", {40, 1280, 1280});
    accept("blanks around", " 10\t", " 640", "480 ", {10, 640, 480});
    accept("leading zeros", "008", "0320", "0240", {8, 320, 240});
    accept("full-width digits", "１２", "６４０", "480", {12, 640, 480});
}

void TestSettingsDialogs::fields() {
    QFETCH(QStringList, texts);
    QFETCH(int, refused);
    QFETCH(U32s, stored);
    FakeDialogs fake;
    ProjectSettings settings;
    const ProjectSettings before = settings;
    CFrameRateSizeDialog dialog(settings, &fake);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QLineEdit* edits[] = {dialog.fpsEdit(), dialog.widthEdit(), dialog.heightEdit()};
    for (int i = 0; i < 3; ++i)
        edits[i]->setText(texts[i]);
    if (refused >= 0) {
        Click(dialog.depthRadio(2));
        Click(dialog.trimAviSizeCheck());
    }
    dialog.cancelButton()->setFocus(); // a refusal must move the focus back
    Click(dialog.okButton());
    if (refused < 0) {
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(fake.messages.isEmpty());
        QCOMPARE((U32s{settings.fps, settings.width, settings.height}), stored);
        return;
    }
    QVERIFY(dialog.isVisible());
    QCOMPARE(fake.messages.size(), 1);
    const QString bounds = refused == 0 ? "1 から 40" : "20 から 1280";
    QVERIFY2(fake.messages.first().contains(bounds), qPrintable(fake.messages.first()));
    QCOMPARE(dialog.focusWidget(), edits[refused]);
    QCOMPARE(edits[refused]->selectedText(), texts[refused]);
    QCOMPARE(settings, before);
    Click(dialog.cancelButton()); // Cancel after the refusal still stores nothing
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(settings, before);
}

void TestSettingsDialogs::depthAndOptions_data() {
    QTest::addColumn<int>("depth");
    QTest::addColumn<int>("noTrailingBlank");
    QTest::addColumn<int>("scaleImages");
    QTest::addColumn<int>("trimAviSize");
    QTest::newRow("16 bpp, no trailing blank") << 1 << 1 << 0 << 0;
    QTest::newRow("24 bpp, scale") << 2 << 0 << 1 << 0;
    QTest::newRow("8 bpp, trim") << 0 << 0 << 0 << 1;
}

void TestSettingsDialogs::depthAndOptions() {
    QFETCH(int, depth);
    QFETCH(int, noTrailingBlank);
    QFETCH(int, scaleImages);
    QFETCH(int, trimAviSize);
    ProjectSettings chosen;
    chosen.depth = ColourDepth(depth);
    chosen.noTrailingBlank = noTrailingBlank != 0;
    chosen.scaleImages = scaleImages != 0;
    chosen.trimAviSize = trimAviSize != 0;
    // Pass 0: shown as stored, kept by OK. Passes 1 and 2: clicked on the
    // defaults, then Cancel stores nothing and OK stores them.
    for (int pass : {0, 1, 2}) {
        ProjectSettings settings = pass == 0 ? chosen : ProjectSettings{};
        CFrameRateSizeDialog dialog(settings);
        dialog.show();
        if (pass == 0) {
            for (int i = 0; i < 3; ++i)
                QCOMPARE(dialog.depthRadio(i)->isChecked(), i == depth);
            QCOMPARE(dialog.noTrailingBlankCheck()->isChecked(), noTrailingBlank != 0);
            QCOMPARE(dialog.scaleImagesCheck()->isChecked(), scaleImages != 0);
            QCOMPARE(dialog.trimAviSizeCheck()->isChecked(), trimAviSize != 0);
        } else {
            Click(dialog.depthRadio(depth));
            for (auto [on, box] : {std::pair(noTrailingBlank, dialog.noTrailingBlankCheck()),
                                   std::pair(scaleImages, dialog.scaleImagesCheck()),
                                   std::pair(trimAviSize, dialog.trimAviSizeCheck())})
                if (on)
                    Click(box);
        }
        Click(pass == 1 ? dialog.cancelButton() : dialog.okButton());
        QCOMPARE(settings, pass == 1 ? ProjectSettings{} : chosen);
    }
}

void TestSettingsDialogs::depthOutsideRange() {
    // A depth from a file outside 0..2 checks no button; OK keeps it unless
    // one is picked.
    for (int depth : {3, -1}) {
        for (int pick : {-1, 1}) {
            ProjectSettings settings;
            settings.depth = ColourDepth(depth);
            CFrameRateSizeDialog dialog(settings);
            for (int i = 0; i < 3; ++i)
                QVERIFY(!dialog.depthRadio(i)->isChecked());
            dialog.show();
            if (pick >= 0)
                Click(dialog.depthRadio(pick));
            Click(dialog.okButton());
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            QCOMPARE(int(settings.depth), pick < 0 ? depth : pick);
        }
    }
}

void TestSettingsDialogs::messageBoxWithoutSeam() {
    // Without a UserDialogs the refusal shows a message box of its own, owned
    // by the dialog; it must be answerable and must keep the dialog open.
    ProjectSettings settings;
    CFrameRateSizeDialog dialog(settings);
    dialog.show();
    dialog.widthEdit()->setText(QStringLiteral("1281"));
    QString seen;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            seen = box->text();
            box->accept();
        }
    });
    Click(dialog.okButton());
    QVERIFY2(seen.contains(QStringLiteral("20 から 1280")), qPrintable(seen));
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.focusWidget(), dialog.widthEdit());
    QCOMPARE(settings.width, 320u);
}

void TestSettingsDialogs::runsModally() {
    ProjectSettings settings;
    FakeDialogs fake;
    QTimer::singleShot(0, [] {
        if (auto* d = qobject_cast<CFrameRateSizeDialog*>(QApplication::activeModalWidget())) {
            d->fpsEdit()->setText(QStringLiteral("25"));
            d->okButton()->click();
        }
    });
    QVERIFY(CFrameRateSizeDialog::Run(nullptr, settings, &fake));
    QCOMPARE(settings.fps, 25u);
    QTimer::singleShot(0, [] {
        if (auto* dialog = qobject_cast<CAudioDialog*>(QApplication::activeModalWidget()))
            dialog->cancelButton()->click();
    });
    QVERIFY(!CAudioDialog::Run(nullptr, settings, &fake));
}

void TestSettingsDialogs::viewFrameRate_data() {
    // The project starts at 15 fps, 1024x768, with a sound.
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("modified");
    QTest::addColumn<U32s>("size");
    QTest::newRow("OK without change") << "ok" << 1 << U32s{1024, 768};
    QTest::newRow("Cancel") << "cancel" << 0 << U32s{1024, 768};
    QTest::newRow("VGA then OK") << "vga ok" << 1 << U32s{640, 480};
    QTest::newRow("QVGA then OK") << "qvga ok" << 1 << U32s{320, 240};
    QTest::newRow("SVGA then OK") << "svga ok" << 1 << U32s{800, 600};
    QTest::newRow("SVGA then Cancel") << "svga cancel" << 0 << U32s{1024, 768};
    QTest::newRow("refused then Cancel") << "bad cancel" << 0 << U32s{1024, 768};
    QTest::newRow("window closed") << "close" << 0 << U32s{1024, 768};
}

void TestSettingsDialogs::viewFrameRate() {
    QFETCH(QString, action);
    FakeDialogs fake;
    CVistromDoc document;
    CVistromView view(&document, &fake);
    view.settings = {
        .fps = 15, .width = 1024, .height = 768, .audioEnabled = true, .audioPath = "/music/a.wav"};
    const ProjectSettings before = view.settings;
    fake.frameRateScript = [&](CFrameRateSizeDialog& dialog) {
        const QString preset = action.section(' ', 0, 0);
        if (auto* button = preset == "vga"    ? dialog.vgaButton()
                           : preset == "qvga" ? dialog.qvgaButton()
                           : preset == "svga" ? dialog.svgaButton()
                                              : nullptr) {
            Click(button); // sets only the two size edits and stores nothing by itself
            QCOMPARE(dialog.fpsEdit()->text(), QStringLiteral("15"));
            QCOMPARE(view.settings, before);
            QVERIFY(dialog.isVisible());
        }
        if (preset == "bad") {
            dialog.widthEdit()->setText(QStringLiteral("1281"));
            Click(dialog.okButton());
        }
        if (action == QLatin1String("close"))
            dialog.close();
        else
            Click(action.endsWith(QLatin1String("ok")) ? dialog.okButton() : dialog.cancelButton());
    };
    view.OnFrameRateAndSize();
    QTEST(view.modified, "modified");
    QTEST((U32s{view.settings.width, view.settings.height}), "size");
    ProjectSettings others = view.settings; // the audio fields are not this dialog's
    others.width = before.width, others.height = before.height;
    QCOMPARE(others, before);
}

void TestSettingsDialogs::viewRelabelsRows() {
    FakeDialogs fake;
    CVistromDoc document;
    CVistromView view(&document, &fake);
    FrameList* rows = view.frameList();
    for (int i = 0; i < 10; ++i)
        rows->insertRow(FrameList::AppendPosition);
    view.RenumberRows();
    const QModelIndex row4 = rows->index(4, FrameList::LabelColumn);
    QCOMPARE(rows->data(row4).toString(), QStringLiteral("4 ( 0.50)"));
    QSignalSpy changed(rows, &QAbstractItemModel::dataChanged);
    fake.frameRateScript = [](CFrameRateSizeDialog& dialog) {
        dialog.fpsEdit()->setText(QStringLiteral("10"));
        Click(dialog.okButton());
    };
    view.OnFrameRateAndSize();
    QCOMPARE(view.settings.fps, 10u);
    QCOMPARE(view.modified, 1);
    QVERIFY(!changed.isEmpty()); // the view is told to repaint the labels
    QCOMPARE(rows->data(row4).toString(), QStringLiteral("4 ( 0.40)"));
}

void TestSettingsDialogs::audioTexts() {
    ProjectSettings settings;
    FakeDialogs fake;
    CAudioDialog dialog(settings, &fake);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Vistrom (Audioの設定)"));
    QVERIFY(dialog.okButton()->isDefault());
    QCOMPARE(TabTexts(&dialog, dialog.okButton()),
             (QStringList{"OK", "CANCEL", "Audio のトラックを挿入する", "Browse"}));
    const QList<QLabel*> labels = dialog.findChildren<QLabel*>();
    QCOMPARE(labels.size(), 1);
    QCOMPARE(labels.first()->text(),
             QStringLiteral("チェックを入れると，作成したAVI "
                            "ファイルにAudioトラックとして下記のwavファイルを追加します．"));
    QVERIFY(dialog.pathEdit()->isReadOnly());
    QVERIFY(dialog.pathEdit()->text().isEmpty());
    QVERIFY(!dialog.audioCheck()->isChecked());
}

void TestSettingsDialogs::audioDialog_data() {
    // Starting from the stored state, the script clicks "tick" (the check
    // box), "browse" (answered with the chosen file, or cancelled when none)
    // and ends on "ok" or "cancel". Browse stores the path and the box's state
    // at once, even if the dialog is cancelled; only OK sets modified.
    QTest::addColumn<int>("enabled");
    QTest::addColumn<QByteArray>("chosen");
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<int>("storedEnabled");
    QTest::addColumn<QByteArray>("storedPath");
    const QByteArray take2 = "/sounds/take 2.wav", old = "/sounds/old.wav";
    QTest::newRow("ticked at Browse, cleared, Cancel")
        << 0 << take2 << QStringList{"tick", "browse", "tick", "cancel"} << 1 << take2;
    QTest::newRow("clear at Browse, ticked, Cancel")
        << 1 << take2 << QStringList{"tick", "browse", "tick", "cancel"} << 0 << take2;
    QTest::newRow("Browse cancelled, Cancel")
        << 0 << QByteArray() << QStringList{"tick", "browse", "cancel"} << 0 << old;
    QTest::newRow("OK without change") << 0 << QByteArray() << QStringList{"ok"} << 0 << old;
    QTest::newRow("ticked, OK") << 0 << QByteArray() << QStringList{"tick", "ok"} << 1 << old;
    QTest::newRow("browsed and ticked, OK")
        << 0 << take2 << QStringList{"tick", "browse", "ok"} << 1 << take2;
    // A name that is not valid UTF-8 reaches the settings byte for byte.
    QTest::newRow("path bytes kept")
        << 0 << QByteArray("/sounds/\xff\xfe take.wav") << QStringList{"browse", "ok"} << 0
        << QByteArray("/sounds/\xff\xfe take.wav");
}

void TestSettingsDialogs::audioDialog() {
    QFETCH(int, enabled);
    QFETCH(QByteArray, chosen);
    QFETCH(QStringList, script);
    FakeDialogs fake;
    if (!chosen.isEmpty())
        fake.fileAnswers.append(chosen);
    CVistromDoc document;
    CVistromView view(&document, &fake);
    view.settings.audioEnabled = enabled != 0;
    view.settings.audioPath = "/sounds/old.wav";
    fake.audioScript = [&](CAudioDialog& dialog) {
        QCOMPARE(dialog.pathEdit()->text(), QStringLiteral("/sounds/old.wav"));
        QCOMPARE(dialog.audioCheck()->isChecked(), enabled != 0);
        for (const QString& step : script) {
            if (step == "tick")
                Click(dialog.audioCheck());
            else if (step == "browse")
                Click(dialog.browseButton());
            else
                Click(step == "ok" ? dialog.okButton() : dialog.cancelButton());
        }
        if (chosen.isEmpty()) // a cancelled Browse leaves the field
            QCOMPARE(dialog.pathEdit()->text(), QStringLiteral("/sounds/old.wav"));
        else
            QCOMPARE(dialog.pathEdit()->text(), QFile::decodeName(chosen));
    };
    view.OnAudioSettings();
    QCOMPARE(fake.fileRequests.size(), int(script.contains("browse")));
    for (const UserDialogs::FileRequest& request : fake.fileRequests) {
        QVERIFY(!request.save);
        QCOMPARE(request.initialName, QStringLiteral("*.wav"));
        QCOMPARE(request.filter, QStringLiteral("WAV-type file (*.wav)| *.wav ||"));
        QVERIFY(request.defaultExtension.isEmpty());
        QVERIFY(!request.overwritePrompt);
    }
    QTEST(int(view.settings.audioEnabled), "storedEnabled");
    QTEST(view.settings.audioPath, "storedPath");
    QCOMPARE(view.modified, int(script.last() == "ok"));
    QCOMPARE(view.settings.fps, 8u);
}

QTEST_MAIN(TestSettingsDialogs)
#include "tst_settingsdialogs.moc"
