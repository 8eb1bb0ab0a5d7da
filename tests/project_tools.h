#pragma once

// A list and its marks in one line, for tests that drive a Project: a word per
// row, "-" a blank row, "_" a path of one space; "[w]" a selected row, "w*"
// the focused row: "a [b] [-*] d".

#include "program_run.h"
#include "project/FrameList.h"
#include "project/Project.h"

#include <QtTest>

using Rows = QList<int>;
using Paths = QList<QByteArray>;

struct ListState {
    Paths paths;
    Rows selected;
    int focus = -1;
};

inline ListState ParseState(const QByteArray& text) {
    ListState state;
    for (QByteArray w : text.split(' ')) {
        if (w.isEmpty())
            continue;
        if (w.startsWith('[') && w.endsWith(']')) {
            state.selected << int(state.paths.size());
            w = w.mid(1, w.size() - 2);
        }
        if (w.endsWith('*')) {
            state.focus = int(state.paths.size());
            w.chop(1);
        }
        state.paths << (w == "-" ? QByteArray() : w == "_" ? QByteArray(" ") : w);
    }
    return state;
}

inline void SetMarks(Project& project, const Rows& selected, int focus) {
    project.marks()->setCurrentIndex(focus < 0 ? QModelIndex()
                                               : project.frameList()->index(focus, 0),
                                     QItemSelectionModel::NoUpdate);
    SelectRows(project.marks(), selected);
}

// Rows and marks as the notation says; an empty undo history, unmodified.
inline void SetState(Project& project, const QByteArray& text) {
    const ListState state = ParseState(text);
    project.frameList()->resetRows(state.paths);
    SetMarks(project, state.selected, state.focus);
}

inline QByteArray StateOf(const Project& project) {
    QByteArrayList words;
    const Rows selected = project.selectedRows();
    const FrameList* list = project.frameList();
    for (int r = 0; r < list->size(); ++r) {
        const QByteArray& path = list->path(r);
        QByteArray w = path.isEmpty() ? "-" : path == " " ? "_" : path;
        if (r == project.focusedRow())
            w += '*';
        words << (selected.contains(r) ? "[" + w + "]" : w);
    }
    return words.join(' ');
}

// Writes a file; answers its path bytes, or nothing when it cannot.
inline QByteArray WriteFile(const QString& path, const QByteArray& bytes) {
    return Save(path, bytes) ? QFile::encodeName(path) : QByteArray();
}
