// SPDX-License-Identifier: GPL-3.0-or-later
#include "login/SignInAddress.h"

namespace lorvik {

namespace {

constexpr std::size_t kMaxValueBytes = 100;
constexpr int kMaxTokenChars = 99;

int portOf(const QUrl& url)
{
    return url.port(url.scheme() == QLatin1String("https") ? 443 : 80);
}

} // namespace

QUrl signInAddress(const QUrl& relay, const HandoverFile& handover)
{
    // The ticket and the signature travel as stored; QUrl escapes what an
    // address cannot carry.
    QUrl folder = relay;
    if (!folder.path().endsWith(QLatin1Char('/')))
        folder.setPath(folder.path() + QLatin1Char('/'));
    QString address = folder.resolved(QUrl(QStringLiteral("login.php"))).toString() + QStringLiteral("?a=");
    if (const auto twa = handover.value("twa", kMaxValueBytes))
        address += QString::fromStdString(*twa);
    address += QStringLiteral("&b=");
    if (const auto twb = handover.value("twb", kMaxValueBytes))
        address += QString::fromStdString(*twb);
    return QUrl(address);
}

std::optional<QString> tokenOfDonePage(const QUrl& page, const QUrl& relay)
{
    const QString address = page.toString(QUrl::FullyEncoded);
    if (!address.contains(QLatin1String("done")))
        return std::nullopt;
    // A page elsewhere that merely looks finished must not plant a token.
    if (page.scheme() != relay.scheme() || page.host().compare(relay.host(), Qt::CaseInsensitive) != 0
        || portOf(page) != portOf(relay))
        return std::nullopt;
    const auto eq = address.indexOf(QLatin1Char('='));
    if (eq < 0)
        return std::nullopt;
    return address.mid(eq + 1, kMaxTokenChars);
}

} // namespace lorvik
