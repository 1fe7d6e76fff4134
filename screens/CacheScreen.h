// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/DescriptionState.h"
#include "app/ImagePrefetch.h"
#include "app/ListingPages.h"
#include "screens/ListingBrowser.h"
#include "screens/Screen.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QAbstractButton;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QTabWidget;
class QTreeWidget;

namespace tw {

class MainWindow;
class QtNotifier;

// The listing of one cache, read offline: its description with the
// overview, attributes, hint and the personal note; its logs; its listing
// images; its tags; and the files attached to it. Images that are not on
// the device yet are fetched in the background (when downloads are on) and
// the pages that show them are built again as they arrive.
class CacheScreen final : public Screen {
    Q_OBJECT
public:
    enum Page { DescriptionPage, LogsPage, ImagesPage, TagsPage, AttachmentsPage };

    CacheScreen(CGlobalData& global, QtNotifier& notifier, std::string code, QWidget* parent = nullptr);
    ~CacheScreen() override;

    const std::string& code() const { return m_code; }
    // False when the database holds no such cache (or could not be read).
    bool found() const { return m_listing.has_value(); }

    QString mainActionText() const override;
    void mainAction() override;
    void fillMenu(QMenu& menu) override;
    void activated() override;
    bool leave() override;

    // Reads the cache again and builds every page.
    void reload();
    // Stores the personal note when it was changed; false when that failed.
    bool saveNote();
    // The entries of the note's context menu (press and hold, right click).
    void fillNoteMenu(QMenu& menu);
    // Where web links, attachments and folders are handed to the desktop.
    void setUrlOpener(ListingBrowser::UrlOpener opener);

    // Opens the waypoint editor for a new waypoint of the cache, pre-filled
    // from the text; the note menu offers it only while it is set.
    std::function<void(const std::string& code, const QString& text)> onNewWaypointFromText;

    QTabWidget* pages() const { return m_tabs; }
    ListingBrowser* descriptionView() const { return m_description; }
    ListingBrowser* logsView() const { return m_logs; }
    ListingBrowser* imagesView() const { return m_images; }
    QTreeWidget* tagsView() const { return m_tags; }
    QListWidget* attachmentsView() const { return m_attachments; }
    QLabel* hintLabel() const { return m_hint; }
    QAbstractButton* hintButton() const { return m_decode; }
    QPlainTextEdit* noteEdit() const { return m_note; }

private:
    QWidget* makeDescriptionPage();
    QWidget* makeAttachmentsPage();
    void buildDescription();
    void buildLogs();
    void buildImages();
    void buildTags();
    void buildAttachments();
    void showHint();
    void refreshNote();
    void onDownloadProgressed();
    void onNoteChanged();
    void storeSelectionAsVariables();
    void showNoteMenu(const QPoint& globalPos);
    void openAttachment(QListWidgetItem* item);
    void openOfflineCopy();
    bool open(const QUrl& url);
    std::filesystem::path mapFolder() const;
    ListingBrowser* makeBrowser();
    // The page with the words of the list's text query marked.
    std::string markFound(const std::string& page) const;

    const std::string m_code;
    std::optional<listing::Listing> m_listing;
    listing::ImagePrefetch m_prefetch;
    listing::DescriptionState m_descriptionState;
    bool m_imagesPending = false;
    bool m_hintDecoded = false;
    bool m_noteDirty = false;
    bool m_settingNote = false;
    ListingBrowser::UrlOpener m_opener;

    QTabWidget* m_tabs = nullptr;
    ListingBrowser* m_description = nullptr;
    ListingBrowser* m_logs = nullptr;
    ListingBrowser* m_images = nullptr;
    QTreeWidget* m_tags = nullptr;
    QListWidget* m_attachments = nullptr;
    QLabel* m_attachmentsFolder = nullptr;
    QWidget* m_hintRow = nullptr;
    QLabel* m_hint = nullptr;
    QAbstractButton* m_decode = nullptr;
    QPlainTextEdit* m_note = nullptr;
};

// Opens the listing of the cache with this code on top of the window; null
// (after telling the user, unless tellMissing is false) when the database
// has no such cache.
CacheScreen* openCacheScreen(MainWindow& window, const std::string& code, bool tellMissing = true);

} // namespace tw
