#include "ui/FrameListPrinting.h"

#include "project/FrameList.h"

#include <QFile>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextLayout>

namespace {

struct PrintedRow {
    int row;
    QString path;
    qreal height;
};

// Lays out text in lines of at most width, breaking anywhere when a path has
// no break opportunity; answers the line count.
int LineCount(const QString& text, const QFont& font, QPaintDevice* device, qreal width) {
    if (text.isEmpty())
        return 1;
    QTextLayout layout(text, font, device);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    int lines = 0;
    while (true) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        ++lines;
    }
    layout.endLayout();
    return qMax(1, lines);
}

} // namespace

int PrintFrameRows(QPagedPaintDevice* device, const FrameList& list, const QString& title) {
    QPainter painter;
    if (!painter.begin(device))
        return 0;
    QFont font(QStringLiteral("Sans Serif"), 10);
    painter.setFont(font);
    const QFontMetricsF metrics(font, device);
    const qreal lineHeight = metrics.lineSpacing();
    const QRectF page(QPointF(0, 0), QSizeF(device->width(), device->height()));
    const qreal gap = metrics.horizontalAdvance(QLatin1Char(' ')) * 2;
    const qreal labelWidth = metrics.horizontalAdvance(QStringLiteral("000000 (00000.00)"));
    const qreal pathLeft = labelWidth + gap;
    const qreal pathWidth = qMax(page.width() - pathLeft, labelWidth);
    const qreal headerHeight = lineHeight * 3.2;
    const qreal bodyHeight = qMax(page.height() - headerHeight, lineHeight);

    // Split the rows into pages first, so that each header can say "n/N".
    QList<QList<PrintedRow>> pages(1);
    qreal used = 0;
    for (int r = 0; r < list.size(); ++r) {
        const QString path = QFile::decodeName(list.path(r));
        const int lines = LineCount(path, font, device, pathWidth);
        const qreal height = qMin(lines * lineHeight, bodyHeight);
        if (used + height > bodyHeight && !pages.last().isEmpty()) {
            pages.append(QList<PrintedRow>());
            used = 0;
        }
        pages.last().append(PrintedRow{r, path, height});
        used += height;
    }

    const int pageCount = int(pages.size());
    QTextOption wrap;
    wrap.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    for (int p = 0; p < pageCount; ++p) {
        if (p > 0)
            device->newPage();
        const QString number = QStringLiteral("%1/%2").arg(p + 1).arg(pageCount);
        const qreal numberWidth = metrics.horizontalAdvance(number);
        painter.drawText(
            QRectF(0, 0, page.width() - numberWidth - gap, lineHeight),
            Qt::AlignLeft | Qt::AlignVCenter,
            metrics.elidedText(title, Qt::ElideMiddle, page.width() - numberWidth - gap));
        painter.drawText(QRectF(page.width() - numberWidth, 0, numberWidth, lineHeight),
                         Qt::AlignRight | Qt::AlignVCenter, number);
        painter.drawLine(QPointF(0, lineHeight * 1.4), QPointF(page.width(), lineHeight * 1.4));
        // The list's column headers.
        const qreal columnsTop = lineHeight * 1.8;
        painter.drawText(QRectF(0, columnsTop, labelWidth, lineHeight), Qt::AlignLeft,
                         list.headerData(FrameList::LabelColumn, Qt::Horizontal).toString());
        painter.drawText(QRectF(pathLeft, columnsTop, pathWidth, lineHeight), Qt::AlignLeft,
                         list.headerData(FrameList::PathColumn, Qt::Horizontal).toString());
        qreal y = headerHeight;
        for (const PrintedRow& row : pages[p]) {
            painter.drawText(QRectF(0, y, labelWidth, lineHeight), Qt::AlignLeft | Qt::AlignTop,
                             list.timeLabel(row.row));
            painter.drawText(QRectF(pathLeft, y, pathWidth, row.height), row.path, wrap);
            y += row.height;
        }
    }
    painter.end();
    return pageCount;
}
