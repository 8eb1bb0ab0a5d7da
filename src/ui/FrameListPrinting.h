#pragma once

// Printing the frame list: one line per row with its number and time label and
// its path, paginated, each page headed by the project title and "page/pages".

#include <QString>

class FrameList;
class QPagedPaintDevice;

// Paints every row of list onto device, page after page. Long paths wrap
// onto further lines instead of being cut. Answers the number of pages.
int PrintFrameRows(QPagedPaintDevice* device, const FrameList& list, const QString& title);
