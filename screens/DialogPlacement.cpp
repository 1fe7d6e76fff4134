// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/DialogPlacement.h"

#include <QDialog>
#include <QWidget>

namespace tw {
namespace {

constexpr int kWideWindowPx = 700;
constexpr int kMaxDialogWidthPx = 600;

} // namespace

void placeDialog(QDialog& dialog, QWidget* window)
{
    QWidget* top = window ? window->window() : nullptr;
    if (top && top->width() < kWideWindowPx) {
        dialog.setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
        dialog.setGeometry(top->geometry());
    } else {
        dialog.setMaximumWidth(kMaxDialogWidthPx);
        if (top) {
            const QSize size = dialog.sizeHint().boundedTo({kMaxDialogWidthPx, top->height()});
            dialog.resize(std::max(size.width(), kMaxDialogWidthPx * 3 / 4), size.height());
            dialog.move(top->geometry().center() - dialog.rect().center());
        }
    }
}

int execDialog(QDialog& dialog, QWidget* window)
{
    placeDialog(dialog, window);
    return dialog.exec();
}

} // namespace tw
