// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/AddressSearchBox.h"

#include "app/CGlobalData.h"
#include "screens/DialogKeys.h"
#include "screens/LangText.h"
#include "screens/Screen.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tw {
namespace {

constexpr int kTextPlaceholder = 880;
constexpr int kTextFind = 881;
constexpr int kTextSearching = 882;
constexpr int kTextNotFound = 883;
constexpr int kTextNoService = 884;
constexpr int kTextCaption = 885;

} // namespace

AddressSearchBox::AddressSearchBox(CGlobalData& global, QWidget* parent) : QWidget(parent), m_global(global)
{
    setObjectName(QStringLiteral("addressSearch"));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(new QLabel(langText(global, kTextCaption), this), 0, 0, 1, 2);
    m_query = new QLineEdit(this);
    m_query->setObjectName(QStringLiteral("addressQuery"));
    m_query->setPlaceholderText(langText(global, kTextPlaceholder));
    m_query->setMinimumHeight(touchPx(global));
    grid->addWidget(m_query, 1, 0);
    m_searchKey = makeTouchButton(global, langText(global, kTextFind), this);
    m_searchKey->setObjectName(QStringLiteral("addressFind"));
    grid->addWidget(m_searchKey, 1, 1);
    m_address = new QLabel(this);
    m_address->setObjectName(QStringLiteral("addressFound"));
    m_address->setWordWrap(true);
    // The address comes from the service: shown as it is, never as markup.
    m_address->setTextFormat(Qt::PlainText);
    m_address->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(m_address, 2, 0);
    m_accuracy = new QLabel(this);
    m_accuracy->setObjectName(QStringLiteral("addressAccuracy"));
    m_accuracy->setAlignment(Qt::AlignRight | Qt::AlignTop);
    grid->addWidget(m_accuracy, 2, 1);
    grid->setColumnStretch(0, 1);

    connect(m_searchKey, &QPushButton::clicked, this, &AddressSearchBox::search);
    connect(m_query, &QLineEdit::returnPressed, this, &AddressSearchBox::search);
}

AddressSearchBox::~AddressSearchBox()
{
    if (m_worker.joinable())
        m_worker.join();
}

void AddressSearchBox::search()
{
    const std::string query = m_query->text().trimmed().toStdString();
    if (query.empty() || searching())
        return;
    const std::string endpoint = net::geocoderEndpoint(m_global.settings.geocoderUrl);
    if (endpoint.empty()) {
        m_address->setText(langText(m_global, kTextNoService));
        return;
    }
    m_searchKey->setEnabled(false);
    m_address->setText(langText(m_global, kTextSearching));
    net::CNetClient& client = m_global.netClient;
    m_worker = std::thread([this, &client, endpoint, query] {
        const net::GeocodeResult result = net::searchAddress(client, endpoint, query);
        // The box waits for this thread before it goes.
        QMetaObject::invokeMethod(this, [this, result] { showResult(result); }, Qt::QueuedConnection);
    });
}

void AddressSearchBox::showResult(const net::GeocodeResult& result)
{
    m_worker.join();
    m_searchKey->setEnabled(true);
    if (!result.hasCoordinates) {
        // An address without a usable position (none, or not a number) is
        // not found: shown alone it would pass for a match.
        m_address->setText(langText(m_global, kTextNotFound));
        return;
    }
    m_address->setText(QString::fromStdString(result.address));
    if (const int text = net::accuracyTextNumber(result.accuracy); result.hasAccuracy && text != 0)
        m_accuracy->setText(langText(m_global, text));
    emit found(result.lat, result.lon);
}

} // namespace tw
