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

namespace {

class FakeDialogs : public UserDialogs {
public:
    QStringList messages;
    QList<FileRequest> fileRequests;
    QList<QByteArray> fileAnswers; // answered in turn, then Cancel
    // Drives the real dialog the view runs; it must end the dialog.
    std::function<void(CFrameRateSizeDialog&)> frameRateScript;
    std::function<void(CAudioDialog&)> audioScript;

    void showMessage(const QString& text, bool) override { messages << text; }
    bool askYesNo(const QString&) override { return false; }
    void showPlainMessage(const QString& text, const QString&) override { messages << text; }
    std::optional<QByteArray> askFileName(const FileRequest& request) override {
        fileRequests << request;
        if (fileAnswers.isEmpty())
            return std::nullopt; // the user cancels
        return fileAnswers.takeFirst();
    }
    std::optional<quint32> askValue(const QString&, quint32) override { return std::nullopt; }
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
    std::optional<CompressionChoice> askCompression() override { return std::nullopt; }
};

// Check boxes and radio buttons take clicks only on their box and text, which
// may not reach the middle of a stretched button: click on the box.
void Click(QAbstractButton* button) {
    const bool boxed = qobject_cast<QCheckBox*>(button) || qobject_cast<QRadioButton*>(button);
    const QPoint at = boxed ? QPoint(6, button->height() / 2) : button->rect().center();
    QTest::mouseClick(button, Qt::LeftButton, {}, at);
}

void SetFields(CFrameRateSizeDialog& dialog, const QString& fps, const QString& width,
               const QString& height) {
    dialog.fpsEdit()->setText(fps);
    dialog.widthEdit()->setText(width);
    dialog.heightEdit()->setText(height);
}

// The tab stops from the first one on, following the focus chain once round.
QList<QWidget*> TabStops(QWidget* dialog, QWidget* first) {
    QList<QWidget*> stops;
    QWidget* w = first;
    do {
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(dialog))
            stops << w;
        w = w->nextInFocusChain();
    } while (w != first && stops.size() < 50);
    return stops;
}

enum Field { Fps, Width, Height };

QLineEdit* EditOf(CFrameRateSizeDialog& dialog, int field) {
    return field == Fps     ? dialog.fpsEdit()
           : field == Width ? dialog.widthEdit()
                            : dialog.heightEdit();
}

} // namespace

class TestSettingsDialogs : public QObject {
    Q_OBJECT

private slots:
    void opensOnDefaults();
    void frameRateTexts();
    void frameRateTabOrder();
    void refusedField_data();
    void refusedField();
    void acceptedFields_data();
    void acceptedFields();
    void refusalStoresNothing_data();
    void refusalStoresNothing();
    void presets_data();
    void presets();
    void depthAndOptionsRoundTrip_data();
    void depthAndOptionsRoundTrip();
    void depthOutsideRange_data();
    void depthOutsideRange();
    void audioFieldsUntouched();
    void messageBoxWithoutSeam();
    void runsModally();

    void viewFrameRate_data();
    void viewFrameRate();
    void viewRelabelsRows();

    void audioTexts();
    void audioBrowseThenCancel_data();
    void audioBrowseThenCancel();
    void audioBrowseCancelled();
    void audioOk_data();
    void audioOk();
    void audioKeepsPathBytes();
};

void TestSettingsDialogs::opensOnDefaults() {
    ProjectSettings settings;
    CFrameRateSizeDialog dialog(settings);
    QCOMPARE(dialog.fpsEdit()->text(), QStringLiteral("8"));
    QCOMPARE(dialog.widthEdit()->text(), QStringLiteral("320"));
    QCOMPARE(dialog.heightEdit()->text(), QStringLiteral("240"));
    QVERIFY(dialog.depthRadio(0)->isChecked());
    QVERIFY(!dialog.depthRadio(1)->isChecked());
    QVERIFY(!dialog.depthRadio(2)->isChecked());
    QVERIFY(!dialog.scaleImagesCheck()->isChecked());
    QVERIFY(!dialog.noTrailingBlankCheck()->isChecked());
    QVERIFY(!dialog.trimAviSizeCheck()->isChecked());
}

void TestSettingsDialogs::frameRateTexts() {
    ProjectSettings settings;
    CFrameRateSizeDialog dialog(settings);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Vistrom (FPS,Size等の設定)"));
    QCOMPARE(dialog.okButton()->text(), QStringLiteral("OK"));
    QVERIFY(dialog.okButton()->isDefault());
    QCOMPARE(dialog.cancelButton()->text(), QStringLiteral("CANCEL"));
    QCOMPARE(dialog.scaleImagesCheck()->text(), QStringLiteral("画像の拡大縮小を行う"));
    QCOMPARE(dialog.noTrailingBlankCheck()->text(), QStringLiteral("最後に空白コマ挿入しない"));
    QCOMPARE(dialog.trimAviSizeCheck()->text(), QStringLiteral("AVIサイズを削る"));
    QCOMPARE(dialog.depthRadio(0)->text(), QStringLiteral("8 bpp (256色)"));
    QCOMPARE(dialog.depthRadio(1)->text(), QStringLiteral("16 bpp (3万色)"));
    QCOMPARE(dialog.depthRadio(2)->text(), QStringLiteral("24 bpp (1700万色)"));
    QCOMPARE(dialog.vgaButton()->text(), QStringLiteral("VGA"));
    QCOMPARE(dialog.qvgaButton()->text(), QStringLiteral("QVGA"));
    QCOMPARE(dialog.svgaButton()->text(), QStringLiteral("SVGA"));

    QStringList groups;
    for (QGroupBox* box : dialog.findChildren<QGroupBox*>())
        groups << box->title();
    groups.sort();
    QStringList expectedGroups{QStringLiteral("画像解像度"), QStringLiteral("AVI作成オプション"),
                               QStringLiteral("画像サイズ"), QStringLiteral("再生速度")};
    expectedGroups.sort();
    QCOMPARE(groups, expectedGroups);

    QStringList statics;
    for (QLabel* label : dialog.findChildren<QLabel*>())
        statics << label->text();
    statics.sort();
    QStringList expectedStatics{QStringLiteral("FRAMEs per sec"), QStringLiteral("横 :"),
                                QStringLiteral("縦 :"), QStringLiteral("pixels"),
                                QStringLiteral("pixels")};
    expectedStatics.sort();
    QCOMPARE(statics, expectedStatics);
}

void TestSettingsDialogs::frameRateTabOrder() {
    ProjectSettings settings;
    settings.depthIndex = 1;
    CFrameRateSizeDialog dialog(settings);
    const QList<QWidget*> stops = TabStops(&dialog, dialog.okButton());
    const QList<QWidget*> expected{dialog.okButton(),
                                   dialog.cancelButton(),
                                   dialog.fpsEdit(),
                                   dialog.widthEdit(),
                                   dialog.heightEdit(),
                                   dialog.scaleImagesCheck(),
                                   dialog.noTrailingBlankCheck(),
                                   dialog.trimAviSizeCheck(),
                                   dialog.depthRadio(0),
                                   dialog.depthRadio(1),
                                   dialog.depthRadio(2),
                                   dialog.vgaButton(),
                                   dialog.qvgaButton(),
                                   dialog.svgaButton()};
    QCOMPARE(stops, expected);
}

void TestSettingsDialogs::refusedField_data() {
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("bounds");

    const QString fpsBounds = QStringLiteral("1 から 40");
    const QString sizeBounds = QStringLiteral("20 から 1280");
    QTest::newRow("fps 41") << int(Fps) << "41" << fpsBounds;
    QTest::newRow("fps 0") << int(Fps) << "0" << fpsBounds;
    QTest::newRow("fps -5") << int(Fps) << "-5" << fpsBounds;
    QTest::newRow("fps letters") << int(Fps) << "abc" << fpsBounds;
    QTest::newRow("fps digits then letters") << int(Fps) << "12fps" << fpsBounds;
    QTest::newRow("fps decimal") << int(Fps) << "7.5" << fpsBounds;
    QTest::newRow("fps empty") << int(Fps) << "" << fpsBounds;
    QTest::newRow("fps beyond 32 bits") << int(Fps) << "4294967297" << fpsBounds;
    QTest::newRow("width 19") << int(Width) << "19" << sizeBounds;
    QTest::newRow("width 1281") << int(Width) << "1281" << sizeBounds;
    QTest::newRow("width -5") << int(Width) << "-5" << sizeBounds;
    QTest::newRow("width hex") << int(Width) << "0x280" << sizeBounds;
    QTest::newRow("height 19") << int(Height) << "19" << sizeBounds;
    QTest::newRow("height 1281") << int(Height) << "1281" << sizeBounds;
    QTest::newRow("height blank") << int(Height) << "   " << sizeBounds;
}

void TestSettingsDialogs::refusedField() {
    QFETCH(int, field);
    QFETCH(QString, text);
    QFETCH(QString, bounds);

    FakeDialogs fake;
    ProjectSettings settings;
    const ProjectSettings before = settings;
    CFrameRateSizeDialog dialog(settings, &fake);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QLineEdit* edit = EditOf(dialog, field);
    edit->setText(text);
    dialog.cancelButton()->setFocus(); // the refusal must move the focus back
    Click(dialog.okButton());

    QVERIFY(dialog.isVisible());
    QVERIFY(dialog.result() != QDialog::Accepted);
    QCOMPARE(fake.messages.size(), 1);
    QVERIFY2(fake.messages.first().contains(bounds), qPrintable(fake.messages.first()));
    QCOMPARE(dialog.focusWidget(), edit);
    QCOMPARE(edit->selectedText(), text);
    QCOMPARE(settings, before);
}

void TestSettingsDialogs::acceptedFields_data() {
    QTest::addColumn<QString>("fps");
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");
    QTest::addColumn<quint32>("expectedFps");
    QTest::addColumn<quint32>("expectedWidth");
    QTest::addColumn<quint32>("expectedHeight");

    QTest::newRow("lower bounds") << "1"
                                  << "20"
                                  << "20" << 1u << 20u << 20u;
    QTest::newRow("upper bounds") << "40"
                                  << "1280"
                                  << "1280" << 40u << 1280u << 1280u;
    QTest::newRow("blanks around") << " 10\t"
                                   << " 640"
                                   << "480 " << 10u << 640u << 480u;
    QTest::newRow("leading zeros") << "008"
                                   << "0320"
                                   << "0240" << 8u << 320u << 240u;
    QTest::newRow("full-width digits")
        << QStringLiteral("１２") << QStringLiteral("６４０") << "480" << 12u << 640u << 480u;
}

void TestSettingsDialogs::acceptedFields() {
    QFETCH(QString, fps);
    QFETCH(QString, width);
    QFETCH(QString, height);
    QFETCH(quint32, expectedFps);
    QFETCH(quint32, expectedWidth);
    QFETCH(quint32, expectedHeight);

    FakeDialogs fake;
    ProjectSettings settings;
    CFrameRateSizeDialog dialog(settings, &fake);
    dialog.show();
    SetFields(dialog, fps, width, height);
    Click(dialog.okButton());

    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(fake.messages.isEmpty());
    QCOMPARE(settings.fps, expectedFps);
    QCOMPARE(settings.width, expectedWidth);
    QCOMPARE(settings.height, expectedHeight);
}

void TestSettingsDialogs::refusalStoresNothing_data() {
    QTest::addColumn<int>("failing");
    QTest::newRow("width refused after a good fps") << int(Width);
    QTest::newRow("height refused after good fps and width") << int(Height);
}

void TestSettingsDialogs::refusalStoresNothing() {
    QFETCH(int, failing);

    FakeDialogs fake;
    ProjectSettings settings;
    const ProjectSettings before = settings;
    CFrameRateSizeDialog dialog(settings, &fake);
    dialog.show();
    SetFields(dialog, QStringLiteral("12"), QStringLiteral("640"), QStringLiteral("480"));
    EditOf(dialog, failing)->setText(QStringLiteral("1281"));
    Click(dialog.depthRadio(2));
    Click(dialog.trimAviSizeCheck());
    Click(dialog.okButton());
    QVERIFY(dialog.isVisible());
    QCOMPARE(settings, before);

    // Cancel after the refusal still stores nothing.
    Click(dialog.cancelButton());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(settings, before);
}

void TestSettingsDialogs::presets_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<quint32>("width");
    QTest::addColumn<quint32>("height");

    QTest::newRow("VGA, OK") << "VGA" << true << 640u << 480u;
    QTest::newRow("QVGA, OK") << "QVGA" << true << 320u << 240u;
    QTest::newRow("SVGA, OK") << "SVGA" << true << 800u << 600u;
    QTest::newRow("SVGA, Cancel") << "SVGA" << false << 1024u << 768u;
    QTest::newRow("VGA, Cancel") << "VGA" << false << 1024u << 768u;
}

void TestSettingsDialogs::presets() {
    QFETCH(QString, button);
    QFETCH(bool, ok);
    QFETCH(quint32, width);
    QFETCH(quint32, height);

    FakeDialogs fake;
    ProjectSettings settings;
    settings.width = 1024;
    settings.height = 768;
    settings.fps = 15;
    CFrameRateSizeDialog dialog(settings, &fake);
    dialog.show();
    QPushButton* preset = button == QLatin1String("VGA")    ? dialog.vgaButton()
                          : button == QLatin1String("QVGA") ? dialog.qvgaButton()
                                                            : dialog.svgaButton();
    Click(preset);
    // A preset sets only the two size edits and stores nothing by itself.
    QCOMPARE(dialog.fpsEdit()->text(), QStringLiteral("15"));
    QCOMPARE(settings.width, 1024u);
    QVERIFY(dialog.isVisible());
    Click(ok ? dialog.okButton() : dialog.cancelButton());
    QVERIFY(!dialog.isVisible());
    QCOMPARE(settings.width, width);
    QCOMPARE(settings.height, height);
    QCOMPARE(settings.fps, 15u);
}

void TestSettingsDialogs::depthAndOptionsRoundTrip_data() {
    QTest::addColumn<int>("depth");
    QTest::addColumn<int>("noTrailingBlank");
    QTest::addColumn<int>("scaleImages");
    QTest::addColumn<int>("trimAviSize");

    QTest::newRow("8 bpp, none") << 0 << 0 << 0 << 0;
    QTest::newRow("16 bpp, no trailing blank") << 1 << 1 << 0 << 0;
    QTest::newRow("24 bpp, scale") << 2 << 0 << 1 << 0;
    QTest::newRow("8 bpp, trim") << 0 << 0 << 0 << 1;
    QTest::newRow("24 bpp, all") << 2 << 1 << 1 << 1;
}

void TestSettingsDialogs::depthAndOptionsRoundTrip() {
    QFETCH(int, depth);
    QFETCH(int, noTrailingBlank);
    QFETCH(int, scaleImages);
    QFETCH(int, trimAviSize);

    // Shown as stored, then stored unchanged by OK.
    {
        ProjectSettings settings;
        settings.depthIndex = depth;
        settings.noTrailingBlank = noTrailingBlank;
        settings.scaleImages = scaleImages;
        settings.trimAviSize = trimAviSize;
        const ProjectSettings before = settings;
        CFrameRateSizeDialog dialog(settings);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(dialog.depthRadio(i)->isChecked(), i == depth);
        QCOMPARE(dialog.noTrailingBlankCheck()->isChecked(), noTrailingBlank != 0);
        QCOMPARE(dialog.scaleImagesCheck()->isChecked(), scaleImages != 0);
        QCOMPARE(dialog.trimAviSizeCheck()->isChecked(), trimAviSize != 0);
        dialog.show();
        Click(dialog.okButton());
        QCOMPARE(settings, before);
    }
    // Chosen by clicking on defaults, then stored by OK; Cancel stores nothing.
    for (bool ok : {false, true}) {
        ProjectSettings settings;
        CFrameRateSizeDialog dialog(settings);
        dialog.show();
        Click(dialog.depthRadio(depth));
        if (noTrailingBlank)
            Click(dialog.noTrailingBlankCheck());
        if (scaleImages)
            Click(dialog.scaleImagesCheck());
        if (trimAviSize)
            Click(dialog.trimAviSizeCheck());
        Click(ok ? dialog.okButton() : dialog.cancelButton());
        const ProjectSettings expected = [&] {
            ProjectSettings s;
            if (ok) {
                s.depthIndex = depth;
                s.noTrailingBlank = noTrailingBlank;
                s.scaleImages = scaleImages;
                s.trimAviSize = trimAviSize;
            }
            return s;
        }();
        QCOMPARE(settings, expected);
    }
}

void TestSettingsDialogs::depthOutsideRange_data() {
    QTest::addColumn<int>("depth");
    QTest::newRow("3") << 3;
    QTest::newRow("-1") << -1;
    QTest::newRow("large") << 1000000;
}

void TestSettingsDialogs::depthOutsideRange() {
    QFETCH(int, depth);

    // No button checked; OK keeps the stored value unless one is picked.
    ProjectSettings settings;
    settings.depthIndex = depth;
    {
        CFrameRateSizeDialog dialog(settings);
        for (int i = 0; i < 3; ++i)
            QVERIFY(!dialog.depthRadio(i)->isChecked());
        dialog.show();
        Click(dialog.okButton());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(settings.depthIndex, depth);
    }
    {
        CFrameRateSizeDialog dialog(settings);
        dialog.show();
        Click(dialog.depthRadio(1));
        Click(dialog.okButton());
        QCOMPARE(settings.depthIndex, 1);
    }
}

void TestSettingsDialogs::audioFieldsUntouched() {
    ProjectSettings settings;
    settings.audioEnabled = 1;
    settings.audioPath = "/music/a.wav";
    CFrameRateSizeDialog dialog(settings);
    dialog.show();
    Click(dialog.svgaButton());
    Click(dialog.okButton());
    QCOMPARE(settings.width, 800u);
    QCOMPARE(settings.audioEnabled, 1);
    QCOMPARE(settings.audioPath, QByteArray("/music/a.wav"));
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
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen = box->text();
        box->accept();
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
        auto* dialog = qobject_cast<CFrameRateSizeDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        dialog->fpsEdit()->setText(QStringLiteral("25"));
        dialog->okButton()->click();
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
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("modified");
    QTest::addColumn<quint32>("width");
    QTest::addColumn<quint32>("height");

    QTest::newRow("OK without change") << "ok" << 1 << 320u << 240u;
    QTest::newRow("Cancel") << "cancel" << 0 << 320u << 240u;
    QTest::newRow("SVGA then OK") << "svga ok" << 1 << 800u << 600u;
    QTest::newRow("SVGA then Cancel") << "svga cancel" << 0 << 320u << 240u;
    QTest::newRow("refused then Cancel") << "bad cancel" << 0 << 320u << 240u;
    QTest::newRow("window closed") << "close" << 0 << 320u << 240u;
}

void TestSettingsDialogs::viewFrameRate() {
    QFETCH(QString, action);
    QFETCH(int, modified);
    QFETCH(quint32, width);
    QFETCH(quint32, height);

    FakeDialogs fake;
    CVistromDoc document;
    CVistromView view(&document, &fake);
    fake.frameRateScript = [&](CFrameRateSizeDialog& dialog) {
        if (action.startsWith(QLatin1String("svga")))
            Click(dialog.svgaButton());
        if (action.startsWith(QLatin1String("bad"))) {
            dialog.widthEdit()->setText(QStringLiteral("1281"));
            Click(dialog.okButton());
        }
        if (action == QLatin1String("close"))
            dialog.close();
        else
            Click(action.endsWith(QLatin1String("ok")) ? dialog.okButton() : dialog.cancelButton());
    };
    view.OnFrameRateAndSize();
    QCOMPARE(view.modified, modified);
    QCOMPARE(view.settings.width, width);
    QCOMPARE(view.settings.height, height);
    QCOMPARE(view.settings.fps, 8u);
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
    QCOMPARE(dialog.okButton()->text(), QStringLiteral("OK"));
    QVERIFY(dialog.okButton()->isDefault());
    QCOMPARE(dialog.cancelButton()->text(), QStringLiteral("CANCEL"));
    QCOMPARE(dialog.audioCheck()->text(), QStringLiteral("Audio のトラックを挿入する"));
    QCOMPARE(dialog.browseButton()->text(), QStringLiteral("Browse"));
    const QList<QLabel*> labels = dialog.findChildren<QLabel*>();
    QCOMPARE(labels.size(), 1);
    QCOMPARE(labels.first()->text(),
             QStringLiteral("チェックを入れると，作成したAVI "
                            "ファイルにAudioトラックとして下記のwavファイルを追加します．"));
    QVERIFY(dialog.pathEdit()->isReadOnly());
    QVERIFY(dialog.pathEdit()->text().isEmpty());
    QVERIFY(!dialog.audioCheck()->isChecked());

    const QList<QWidget*> expected{dialog.okButton(), dialog.cancelButton(), dialog.audioCheck(),
                                   dialog.browseButton()};
    QCOMPARE(TabStops(&dialog, dialog.okButton()), expected);
}

void TestSettingsDialogs::audioBrowseThenCancel_data() {
    QTest::addColumn<bool>("tickedAtBrowse");
    QTest::newRow("box ticked at Browse, cleared after") << true;
    QTest::newRow("box clear at Browse, ticked after") << false;
}

void TestSettingsDialogs::audioBrowseThenCancel() {
    QFETCH(bool, tickedAtBrowse);

    FakeDialogs fake;
    fake.fileAnswers.append(QByteArray("/sounds/take 2.wav"));
    CVistromDoc document;
    CVistromView view(&document, &fake);
    view.settings.audioEnabled = tickedAtBrowse ? 0 : 1;
    view.settings.audioPath = "/sounds/old.wav";
    fake.audioScript = [&](CAudioDialog& dialog) {
        QCOMPARE(dialog.pathEdit()->text(), QStringLiteral("/sounds/old.wav"));
        if (dialog.audioCheck()->isChecked() != tickedAtBrowse)
            Click(dialog.audioCheck());
        Click(dialog.browseButton());
        QCOMPARE(dialog.pathEdit()->text(), QStringLiteral("/sounds/take 2.wav"));
        Click(dialog.audioCheck()); // changed after Browse: not stored
        Click(dialog.cancelButton());
    };
    view.OnAudioSettings();

    QCOMPARE(fake.fileRequests.size(), 1);
    const UserDialogs::FileRequest& request = fake.fileRequests.first();
    QVERIFY(!request.save);
    QCOMPARE(request.initialName, QStringLiteral("*.wav"));
    QCOMPARE(request.filter, QStringLiteral("WAV-type file (*.wav)| *.wav ||"));
    QVERIFY(request.defaultExtension.isEmpty());
    QVERIFY(!request.overwritePrompt);

    QCOMPARE(view.settings.audioPath, QByteArray("/sounds/take 2.wav"));
    QCOMPARE(view.settings.audioEnabled, tickedAtBrowse ? 1 : 0);
    QCOMPARE(view.modified, 0);
}

void TestSettingsDialogs::audioBrowseCancelled() {
    FakeDialogs fake; // no answer queued: the file dialog is cancelled
    ProjectSettings settings;
    settings.audioPath = "/sounds/old.wav";
    CAudioDialog dialog(settings, &fake);
    dialog.show();
    Click(dialog.audioCheck());
    Click(dialog.browseButton());
    QCOMPARE(fake.fileRequests.size(), 1);
    QCOMPARE(dialog.pathEdit()->text(), QStringLiteral("/sounds/old.wav"));
    QCOMPARE(settings.audioEnabled, 0);
    Click(dialog.cancelButton());
    QCOMPARE(settings.audioEnabled, 0);
    QCOMPARE(settings.audioPath, QByteArray("/sounds/old.wav"));
}

void TestSettingsDialogs::audioOk_data() {
    QTest::addColumn<bool>("tick");
    QTest::addColumn<bool>("browse");
    QTest::addColumn<int>("audioEnabled");
    QTest::addColumn<QByteArray>("audioPath");

    QTest::newRow("no change") << false << false << 0 << QByteArray("/a.wav");
    QTest::newRow("ticked") << true << false << 1 << QByteArray("/a.wav");
    QTest::newRow("browsed and ticked") << true << true << 1 << QByteArray("/b.wav");
}

void TestSettingsDialogs::audioOk() {
    QFETCH(bool, tick);
    QFETCH(bool, browse);
    QFETCH(int, audioEnabled);
    QFETCH(QByteArray, audioPath);

    FakeDialogs fake;
    fake.fileAnswers.append(QByteArray("/b.wav"));
    CVistromDoc document;
    CVistromView view(&document, &fake);
    view.settings.audioPath = "/a.wav";
    fake.audioScript = [&](CAudioDialog& dialog) {
        if (tick)
            Click(dialog.audioCheck());
        if (browse)
            Click(dialog.browseButton());
        Click(dialog.okButton());
    };
    view.OnAudioSettings();
    QCOMPARE(view.modified, 1);
    QCOMPARE(view.settings.audioEnabled, audioEnabled);
    QCOMPARE(view.settings.audioPath, audioPath);
    QCOMPARE(view.settings.fps, 8u);
}

void TestSettingsDialogs::audioKeepsPathBytes() {
    // A name that is not valid UTF-8 reaches the settings byte for byte.
    const QByteArray odd("/sounds/\xff\xfe take.wav");
    FakeDialogs fake;
    fake.fileAnswers.append(odd);
    ProjectSettings settings;
    settings.audioPath = odd;
    {
        CAudioDialog dialog(settings, &fake);
        dialog.show();
        Click(dialog.okButton());
        QCOMPARE(settings.audioPath, odd);
    }
    settings.audioPath.clear();
    {
        CAudioDialog dialog(settings, &fake);
        dialog.show();
        Click(dialog.browseButton());
        QCOMPARE(settings.audioPath, odd);
        QVERIFY(!dialog.pathEdit()->text().isEmpty());
        Click(dialog.okButton());
        QCOMPARE(settings.audioPath, odd);
    }
}

QTEST_MAIN(TestSettingsDialogs)
#include "tst_settingsdialogs.moc"
