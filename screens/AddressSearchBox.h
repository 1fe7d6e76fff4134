// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "online/AddressSearch.h"

#include <QWidget>

#include <thread>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tw {

class CGlobalData;

// Address search for a page where the user enters a position by hand: a
// text field, a search key, the address the service understood and a word
// for how precise the match is. The request runs on a worker thread; a
// result with coordinates emits found(), one without leaves the position and
// the precision text as they were.
class AddressSearchBox final : public QWidget {
    Q_OBJECT
public:
    explicit AddressSearchBox(CGlobalData& global, QWidget* parent = nullptr);
    ~AddressSearchBox() override;

    // Starts a search for the text in the field (the search key does this).
    void search();
    bool searching() const { return m_worker.joinable(); }

signals:
    // Degrees; negative for south and west.
    void found(double lat, double lon);

private:
    void showResult(const net::GeocodeResult& result);

    CGlobalData& m_global;
    QLineEdit* m_query = nullptr;
    QPushButton* m_searchKey = nullptr;
    QLabel* m_address = nullptr;
    QLabel* m_accuracy = nullptr;
    std::thread m_worker;
};

} // namespace tw
