// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "screens/Screen.h"

#include <string>

class QComboBox;
class QListWidget;
class QPushButton;

namespace tw {

// The user's tags of one cache, as category and value. A tag is added with a
// category from the list (or a new one typed) and a value used before in
// that category (or a new one typed); a chosen tag can be removed.
class TagsScreen final : public Screen {
    Q_OBJECT
public:
    TagsScreen(CGlobalData& global, std::string code, QWidget* parent = nullptr);

    QString mainActionText() const override;
    // Adds the tag typed or chosen below the list.
    void mainAction() override;
    void fillMenu(QMenu& menu) override;

    bool addTag();
    bool removeSelectedTag();

    QListWidget* tagList() const { return m_list; }
    QComboBox* categoryBox() const { return m_category; }
    QComboBox* valueBox() const { return m_value; }

private:
    void showTags();
    void fillCategories();
    void fillValues();
    void updateKeys();

    std::string m_code;
    QListWidget* m_list = nullptr;
    QComboBox* m_category = nullptr;
    QComboBox* m_value = nullptr;
    QPushButton* m_remove = nullptr;
};

} // namespace tw
