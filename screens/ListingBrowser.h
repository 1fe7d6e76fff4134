// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTextBrowser>

#include <filesystem>
#include <functional>

namespace tw {

// Shows listing HTML offline. It loads nothing but files inside the offline
// folder of the map folder, the log type icons ("resource://<n>.bmp") and
// the attribute icons ("attribute:<entry>"); every other address, data: and
// relative ones included, gives an empty picture, so a listing can neither
// reach the network nor show other files of the user. It runs no script.
// A tapped web link (http, https) goes to the desktop browser; links of any
// other scheme are refused; "#name" links scroll within the page.
// The deepest a listing's elements nest when shown: the viewer's layout
// slows down badly with depth (tens of thousands of nested <div> freeze it),
// and no real listing comes near this.
inline constexpr int kMaxListingNesting = 200;
// How much darker the listing's pictures are shown on a dark theme (0 to 1).
inline constexpr double kNightImageShade = 0.45;

// html with the start and end tags of elements deeper than maxDepth left
// out; their text and the elements around them stay. Comments, declarations
// and elements without content (br, img, ...) count no depth.
QString limitNesting(const QString& html, int maxDepth = kMaxListingNesting);

class ListingBrowser final : public QTextBrowser {
    Q_OBJECT
public:
    // Opens a web address outside the program; true when it was handed on.
    using UrlOpener = std::function<bool(const QUrl&)>;

    ListingBrowser(std::filesystem::path mapFolder, QWidget* parent = nullptr);

    void setMapFolder(std::filesystem::path mapFolder) { m_mapFolder = std::move(mapFolder); }
    // Size of the log type icons in pixels.
    void setIconPx(int px) { m_iconPx = px; }
    // Size of the attribute icons in pixels.
    void setAttributePx(int px) { m_attributePx = px; }
    void setUrlOpener(UrlOpener opener) { m_opener = std::move(opener); }
    // What relative picture addresses of the page are relative to.
    void setBaseUrl(const QUrl& base) { m_base = base; }

    // Shows a page and keeps the reading place, so that a page built again
    // while its images arrive does not jump back to the top. The page is
    // laid out again when the view's width changes, so that pictures fit.
    // Nesting deeper than kMaxListingNesting is flattened first.
    void setPage(const QString& html);
    // The page as last given to setPage.
    const QString& page() const { return m_page; }
    QVariant loadResource(int type, const QUrl& name) override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

signals:
    // A link was tapped that this view does not open.
    void linkRefused(const QUrl& url);

private:
    void onAnchorClicked(const QUrl& url);
    QVariant localImage(const QUrl& url) const;

    std::filesystem::path m_mapFolder;
    int m_iconPx = 24;
    int m_attributePx = 32;
    UrlOpener m_opener;
    QUrl m_base;
    QString m_page;
    int m_laidOutWidth = 0;
};

// Hands an address to the desktop (browser, file manager, the file's own
// program); no shell is involved.
bool openWithDesktop(const QUrl& url);

} // namespace tw
