#include "project/RowClipboardText.h"

QByteArray RowClipboardText(const QList<QByteArray>& paths) {
    qsizetype total = RowClipboardHeaderSize;
    for (const QByteArray& p : paths)
        total += p.size() + 2;
    QByteArray text;
    text.reserve(total);
    text.append(RowClipboardHeader, RowClipboardHeaderSize);
    for (const QByteArray& p : paths) {
        text.append(p);
        text.append("\r\n", 2);
    }
    return text;
}

std::optional<QList<QByteArray>> SplitRowClipboardText(const QByteArray& text) {
    // Like a C string, the text ends at its first NUL.
    qsizetype length = text.indexOf('\0');
    if (length < 0)
        length = text.size();
    if (length < RowClipboardHeaderSize ||
        !text.startsWith(QByteArrayView(RowClipboardHeader, RowClipboardHeaderSize)))
        return std::nullopt;

    // Working copy with every CR and LF of the body turned into NUL and two
    // NULs past the end, so that the look-ahead below stays in bounds.
    QByteArray b(text.constData(), length);
    b.append(2, '\0');
    char* const data = b.data();
    for (qsizetype i = RowClipboardHeaderSize; i < length; ++i)
        if (data[i] == '\r' || data[i] == '\n')
            data[i] = '\0';

    QList<QByteArray> lines;
    qsizetype p = RowClipboardHeaderSize;
    while (p < length - 1) {
        qsizetype end = p;
        while (data[end] != '\0')
            ++end;
        lines.append(QByteArray(data + p, end - p));
        p = end;
        if (data[p + 1] == '\0')
            ++p;
        ++p;
    }
    return lines;
}
