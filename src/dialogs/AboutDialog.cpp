#include "dialogs/AboutDialog.h"

#include "dialogs/AppIcon.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {
constexpr int kTitleBarButtons = 120; // room for the window menu, minimise and close
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Vistrom について"));
    setObjectName(QStringLiteral("aboutDialog"));
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("icon"));
    icon->setPixmap(VistromAppIcon().pixmap(32, 32));
    auto* version = new QLabel(QStringLiteral("Vistrom Version 1.5"), this);
    version->setObjectName(QStringLiteral("version"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addSpacing(12);
    row->addWidget(version, 1, Qt::AlignVCenter);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    // Wide enough for the title bar to show the whole title beside its buttons.
    QFont titleFont = font();
    titleFont.setBold(true);
    layout->addStrut(QFontMetrics(titleFont).horizontalAdvance(windowTitle()) + kTitleBarButtons);
}
