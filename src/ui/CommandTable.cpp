#include "ui/CommandTable.h"

#include <QCoreApplication>

namespace {

using C = Command;
using M = Menu;
constexpr KeyScope List = KeyScope::List;
constexpr KeyScope Window = KeyScope::Window;
constexpr auto Unchecked = CommandEntry::Unchecked;
constexpr auto Checked = CommandEntry::Checked;

const MenuEntry Menus[] = {
    {M::File, QT_TRANSLATE_NOOP("CommandTable", "ﾌｧｲﾙ(&F)")},
    {M::Edit, QT_TRANSLATE_NOOP("CommandTable", "編集(&E)")},
    {M::View, QT_TRANSLATE_NOOP("CommandTable", "表示(&V)")},
    {M::Settings, QT_TRANSLATE_NOOP("CommandTable", "設定(&S)")},
    {M::Convert, QT_TRANSLATE_NOOP("CommandTable", "変換(&C)")},
    {M::Playback, QT_TRANSLATE_NOOP("CommandTable", "再生(&P)")},
    {M::Help, QT_TRANSLATE_NOOP("CommandTable", "ヘルプ(&H)")},
};

// Delete is the list's own key (and shows in the item's text); Ctrl+D works
// anywhere. Go to row shows Ctrl+G but has always been reached through the
// menu only.
const CommandEntry Commands[] = {
    {C::NewProject, M::File, QT_TRANSLATE_NOOP("CommandTable", "新規作成(&N)\tCtrl+N"), "Ctrl+N"},
    {C::OpenProject, M::File, QT_TRANSLATE_NOOP("CommandTable", "開く(&O)...\tCtrl+O"), "Ctrl+O"},
    {C::SaveProject, M::File, QT_TRANSLATE_NOOP("CommandTable", "上書き保存(&S)\tCtrl+S"),
     "Ctrl+S"},
    {C::SaveProjectAs, M::File, QT_TRANSLATE_NOOP("CommandTable", "名前を付けて保存(&A)..."), ""},
    {C::Separator, M::File, "", ""},
    {C::Exit, M::File, QT_TRANSLATE_NOOP("CommandTable", "ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)"), ""},
    {C::Undo, M::Edit, QT_TRANSLATE_NOOP("CommandTable", "元に戻す(&U)\tCtrl+Z"),
     "Ctrl+Z|Alt+Backspace"},
    {C::Redo, M::Edit, QT_TRANSLATE_NOOP("CommandTable", "やり直し(&R)\tCtrl+Shift+Z"),
     "Ctrl+Shift+Z"},
    {C::Separator, M::Edit, "", ""},
    {C::CutRowsClosingUp, M::Edit, QT_TRANSLATE_NOOP("CommandTable", "切り取り(詰め)(&X)\tCtrl+X"),
     "Ctrl+X"},
    {C::CopyRows, M::Edit, QT_TRANSLATE_NOOP("CommandTable", "コピー(&C)\tCtrl+C"), "Ctrl+C"},
    {C::PasteRowsInserting, M::Edit,
     QT_TRANSLATE_NOOP("CommandTable", "貼り付け(挿入)(&V)\tCtrl+V"), "Ctrl+V"},
    {C::DeleteSelection, M::Edit,
     QT_TRANSLATE_NOOP("CommandTable", "選択部分を削除(&D)\tDel/Ctrl+D"), "Ctrl+D"},
    {C::Separator, M::Edit, "", ""},
    {C::AddBlanksAtEnd, M::Edit, QT_TRANSLATE_NOOP("CommandTable", "最後に空欄を追加(&A)\tCtrl+A"),
     "Ctrl+A"},
    {C::InsertBlanksHere, M::Edit,
     QT_TRANSLATE_NOOP("CommandTable", "現在位置に空欄を挿入(&I)\tCtrl+I"), "Ctrl+I"},
    {C::ClearAll, M::Edit, QT_TRANSLATE_NOOP("CommandTable", "全部消去"), ""},
    {C::BlankSelection, M::Edit, QT_TRANSLATE_NOOP("CommandTable", "選択部分を空欄に(&S)\tSpace"),
     "Space", List},
    {C::GoToRow, M::Edit, QT_TRANSLATE_NOOP("CommandTable", "N行目へ移動(&G)\tCtrl+G"), ""},
    {C::AddRangeToSelection, M::Edit, QT_TRANSLATE_NOOP("CommandTable", "連続範囲選択追加"), ""},
    // Ctrl+A has always added blanks; selecting every row takes Shift as well.
    {C::SelectAll, M::Edit, QT_TRANSLATE_NOOP("CommandTable", "全て選択(&L)\tCtrl+Shift+A"),
     "Ctrl+Shift+A"},
    {C::CutRowsLeavingBlanks, M::Edit,
     QT_TRANSLATE_NOOP("CommandTable", "切り取り(空白)(&Y)\tCtrl+Y"), "Ctrl+Y"},
    {C::PasteRowsOverwriting, M::Edit,
     QT_TRANSLATE_NOOP("CommandTable", "貼り付け(上書き)(&W)\tCtrl+W"), "Ctrl+W"},
    {C::ExplainDragAndDrop, M::Edit, QT_TRANSLATE_NOOP("CommandTable", "ドラッグ&&ドロップ"), ""},
    {C::Separator, M::Edit, "", ""},
    {C::ImportFileList, M::Edit, QT_TRANSLATE_NOOP("CommandTable", "ファイルリスト取り込み..."),
     ""},
    {C::Separator, M::Edit, "", ""},
    // The status prompt this command has always carried.
    {C::ShowImage, M::Edit, QT_TRANSLATE_NOOP("CommandTable", "画像表示(&P)\tEnter"),
     "Return|Enter", List, QT_TRANSLATE_NOOP("CommandTable", "画像を変更")},
    {C::ChangeImage, M::Edit, QT_TRANSLATE_NOOP("CommandTable", "画像変更...(&E)\tShift+Enter"),
     "Shift+Return|Shift+Enter", List},
    {C::ShowThumbnails, M::View, QT_TRANSLATE_NOOP("CommandTable", "サムネイル"), "", Window,
     nullptr, Checked},
    {C::FrameRateAndSize, M::Settings,
     QT_TRANSLATE_NOOP("CommandTable", "FPS && Size...(&F)\tCtrl+F"), "Ctrl+F"},
    {C::AudioSettings, M::Settings, QT_TRANSLATE_NOOP("CommandTable", "Audio ... (S)\tCtrl+E"),
     "Ctrl+E"},
    {C::ConvertToMovie, M::Convert, QT_TRANSLATE_NOOP("CommandTable", "Vistrom...(&B)\tCtrl+B"),
     "Ctrl+B"},
    // Space belongs to the list (blanking); Ctrl+Space and Ctrl+. nowhere else.
    {C::PlayPause, M::Playback, QT_TRANSLATE_NOOP("CommandTable", "再生/一時停止\tCtrl+Space"),
     "Ctrl+Space"},
    {C::StopPlayback, M::Playback, QT_TRANSLATE_NOOP("CommandTable", "停止\tCtrl+."), "Ctrl+."},
    {C::Separator, M::Playback, "", ""},
    {C::LoopPlayback, M::Playback, QT_TRANSLATE_NOOP("CommandTable", "ループ再生"), "", Window,
     nullptr, Unchecked},
    {C::About, M::Help, QT_TRANSLATE_NOOP("CommandTable", "バージョン情報(Vistrom) (&A)..."), ""},
    // Keys without a menu item.
    {C::Print, M::None, QT_TRANSLATE_NOOP("CommandTable", "印刷"), "Ctrl+P"},
    {C::NextPane, M::None, QT_TRANSLATE_NOOP("CommandTable", "次のウィンドウ枠"), "F6"},
    {C::PreviousPane, M::None, QT_TRANSLATE_NOOP("CommandTable", "前のウィンドウ枠"), "Shift+F6"},
    {C::CutKey, M::None, "", "Shift+Del"},
    {C::CopyKey, M::None, "", "Ctrl+Ins"},
    {C::PasteKey, M::None, "", "Shift+Ins"},
};

const Command ContextMenu[] = {
    C::Undo,
    C::Redo,
    C::Separator,
    C::CutRowsClosingUp,
    C::CopyRows,
    C::PasteRowsInserting,
    C::CutRowsLeavingBlanks,
    C::PasteRowsOverwriting,
    C::Separator,
    C::DeleteSelection,
    C::BlankSelection,
    C::InsertBlanksHere,
    C::SelectAll,
    C::Separator,
    C::ShowImage,
    C::ChangeImage,
};

} // namespace

std::span<const CommandEntry> CommandTable() {
    return Commands;
}

std::span<const Command> ListContextMenu() {
    return ContextMenu;
}

std::span<const MenuEntry> MenuTable() {
    return Menus;
}

QString CommandText(const CommandEntry& entry) {
    return QCoreApplication::translate("CommandTable", entry.text);
}

QString MenuTitle(const MenuEntry& entry) {
    return QCoreApplication::translate("CommandTable", entry.title);
}

QList<QKeySequence> CommandKeys(const CommandEntry& entry) {
    QList<QKeySequence> keys;
    for (const QString& key : QString::fromLatin1(entry.keys).split(u'|', Qt::SkipEmptyParts))
        keys.append(QKeySequence::fromString(key, QKeySequence::PortableText));
    return keys;
}
