// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

namespace tw {

class CGlobalData;

// The limit warning of a basic member: what is left and until when, and the
// question. Without downloads left only Cancel is offered.
class CBMWarningDlg final : public QDialog {
    Q_OBJECT
public:
    CBMWarningDlg(CGlobalData& global, const QString& text, bool canGoOn, QWidget* parent = nullptr);
};

} // namespace tw
