#pragma once

// The menus and keys of the main window, as data: one entry per menu item in
// menu order (separators included), then the keys that have no item. The
// main window builds its menus and actions from this table and binds each
// command id to its handler; the list's context menu reuses the Edit menu's
// actions. Rules the table keeps (tests check them): every
// command is reached from a menu or a key; no key is bound twice; the list's
// own keys (Space, Delete, Enter, Shift+Enter) are bound only to the list.

#include <QHashFunctions>
#include <QKeySequence>
#include <QList>
#include <QString>

#include <span>

enum class Command : int {
    Separator = 0,
    NewProject = 57600,
    OpenProject = 57601,
    SaveProject = 57603,
    SaveProjectAs = 57604,
    Print = 57607,
    CopyKey = 57634, // Ctrl+Insert, Shift+Delete, Shift+Insert: taken, and doing nothing
    CutKey = 57635,
    PasteKey = 57637,
    SelectAll = 57642,
    Undo = 57643,
    Redo = 57644,
    About = 57664,
    Exit = 57665,
    NextPane = 57680,
    PreviousPane = 57681,
    AddBlanksAtEnd = 32771,
    InsertBlanksHere = 32772,
    ClearAll = 32773,
    BlankSelection = 32774,
    DeleteSelection = 32775,
    GoToRow = 32776,
    AddRangeToSelection = 32777,
    FrameRateAndSize = 32778,
    ConvertToMovie = 32780,
    CopyRows = 32781,
    CutRowsClosingUp = 32782,
    PasteRowsOverwriting = 32783,
    PasteRowsInserting = 32784,
    CutRowsLeavingBlanks = 32785,
    ExplainDragAndDrop = 32786,
    ShowImage = 32789,
    AudioSettings = 32791,
    ImportFileList = 32792,
    ChangeImage = 32793,
    ShowThumbnails = 32810,
    PlayPause = 32811,
    StopPlayback = 32812,
    LoopPlayback = 32813,
};

inline size_t qHash(Command id, size_t seed = 0) {
    return ::qHash(int(id), seed);
}

enum class Menu { File, Edit, View, Settings, Convert, Playback, Help, None };

// Where a command's keys work: anywhere in the window, or only while the list
// (or its menu) has the focus; the list also claims them before any shortcut.
enum class KeyScope { Window, List };

struct CommandEntry {
    Command id;
    Menu menu;
    const char* text; // the item's text, a tab, then the key as shown; untranslated
    const char* keys; // QKeySequence::PortableText, "|" between; "" for none
    KeyScope scope = KeyScope::Window;
    const char* statusTip = nullptr;
    enum Check { NoCheck, Unchecked, Checked } check = NoCheck; // a check item, and how it starts
};

struct MenuEntry {
    Menu menu;
    const char* title; // untranslated
};

std::span<const CommandEntry> CommandTable();
std::span<const MenuEntry> MenuTable();
// The list's context menu: commands of the Edit menu, Separator between groups.
std::span<const Command> ListContextMenu();

// The entry's text and keys as the window uses them.
QString CommandText(const CommandEntry& entry);
QString MenuTitle(const MenuEntry& entry);
QList<QKeySequence> CommandKeys(const CommandEntry& entry);
