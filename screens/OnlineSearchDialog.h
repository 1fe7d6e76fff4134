// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

namespace tw {

class CFilterImportScr;
class CGlobalData;

// The dialog around the search options page, with OK and Cancel.
class OnlineSearchDialog final : public QDialog {
    Q_OBJECT
public:
    explicit OnlineSearchDialog(CGlobalData& global, QWidget* parent = nullptr);
    void accept() override;

private:
    CGlobalData& m_global;
    CFilterImportScr* m_page = nullptr;
};

} // namespace tw
