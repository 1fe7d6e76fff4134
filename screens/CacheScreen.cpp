// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CacheScreen.h"

#include "app/CGlobalData.h"
#include "app/CacheActions.h"
#include "app/ListingFiles.h"
#include "db/SqlError.h"
#include "geo/FormulaBlocks.h"
#include "geo/TextTools.h"
#include "platform/Prompter.h"
#include "screens/CacheCommands.h"
#include "screens/CacheSheetCommands.h"
#include "screens/LangText.h"
#include "screens/MainWindow.h"
#include "screens/QtNotifier.h"
#include "screens/WaypointEditor.h"
#include "screens/WaypointListScreen.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QStringDecoder>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace fs = std::filesystem;

namespace tw {
namespace {

constexpr int kTextDescription = 430;
constexpr int kTextLogs = 431;
constexpr int kTextImages = 432;
constexpr int kTextTags = 433;
constexpr int kTextAttachments = 434;
constexpr int kTextLoggedBy = 435;
constexpr int kTextOwner = 436;
constexpr int kTextHidden = 437;
constexpr int kTextHint = 438;
constexpr int kTextDecode = 439;
constexpr int kTextEncode = 440;
constexpr int kTextNote = 441;
constexpr int kTextSaveNote = 442;
constexpr int kTextStoreVariables = 443;
constexpr int kTextPaste = 444;
constexpr int kTextNewWaypoint = 445;
constexpr int kTextOpenOfflineCopy = 446;
constexpr int kTextOpenAttachFolder = 447;
constexpr int kTextOpenWebPage = 448;
constexpr int kTextWaypoints = 425;
constexpr int kTextReloadListing = 449;
constexpr int kTextNoImages = 450;
constexpr int kTextNoTags = 451;
constexpr int kTextNoAttachments = 452;
constexpr int kTextCategory = 453;
constexpr int kTextValue = 454;
constexpr int kTextNoLogs = 455;
constexpr int kTextNoSuchCache = 456;
constexpr int kTextCannotOpen = 457;
constexpr int kTextAttachFolderIs = 458;
constexpr int kTextNoDescription = 459;
constexpr int kTextTravelBug = 1180;
constexpr int kTextPrintSheet = 1340;

constexpr int kHoldMs = 600;
constexpr int kHoldSlopPx = 12;

QString fromStd(const std::string& text)
{
    return QString::fromStdString(text);
}

// A language text with its "%s" filled in.
QString filled(const CGlobalData& global, int number, const QString& value)
{
    return langText(global, number).replace(QLatin1String("%s"), value);
}

// A page's HTML with a sentence (escaped) before its end.
QString withNotice(const std::string& page, const QString& notice)
{
    QString html = fromStd(page);
    html.replace(QLatin1String("</body>"), QStringLiteral("<p>%1</p></body>").arg(notice.toHtmlEscaped()));
    return html;
}

// Press and hold (about 600 ms without moving) on the note opens its menu,
// as a right click does; a selection under the finger survives the press.
class HoldForMenu final : public QObject {
public:
    HoldForMenu(QPlainTextEdit* edit, std::function<void(QPoint)> show)
        : QObject(edit), m_edit(edit), m_show(std::move(show))
    {
        m_timer.setSingleShot(true);
        m_timer.setInterval(kHoldMs);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            m_edit->setTextCursor(m_saved);
            m_show(m_edit->viewport()->mapToGlobal(m_start));
        });
        edit->viewport()->installEventFilter(this);
    }

    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress: {
            const auto* e = static_cast<QMouseEvent*>(event);
            if (e->button() == Qt::LeftButton) {
                m_start = e->position().toPoint();
                m_saved = m_edit->textCursor();
                m_timer.start();
            }
            break;
        }
        case QEvent::MouseMove:
            if ((static_cast<QMouseEvent*>(event)->position().toPoint() - m_start).manhattanLength() > kHoldSlopPx)
                m_timer.stop();
            break;
        case QEvent::MouseButtonRelease:
        case QEvent::Hide:
            m_timer.stop();
            break;
        default:
            break;
        }
        return false;
    }

private:
    QPlainTextEdit* m_edit;
    std::function<void(QPoint)> m_show;
    QTimer m_timer;
    QPoint m_start;
    QTextCursor m_saved;
};

// A saved copy of the cache's web page, shown in the same fenced view.
class OfflineCopyScreen final : public Screen {
public:
    OfflineCopyScreen(CGlobalData& global, const fs::path& mapFolder, const fs::path& file,
                      ListingBrowser::UrlOpener opener)
        : Screen(global)
    {
        setObjectName(QStringLiteral("offlineCopy"));
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* view = new ListingBrowser(mapFolder, this);
        view->setObjectName(QStringLiteral("offlineCopyView"));
        view->setUrlOpener(std::move(opener));
        layout->addWidget(view);
        QFile in(QString::fromStdString(file.string()));
        if (in.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = in.readAll();
            QStringDecoder decoder = QStringDecoder::decoderForHtml(bytes);
            const QString html = decoder.isValid() ? decoder.decode(bytes) : QString::fromUtf8(bytes);
            view->setBaseUrl(QUrl::fromLocalFile(in.fileName()));
            view->setPage(html);
        }
    }
};

} // namespace

CacheScreen::CacheScreen(CGlobalData& global, QtNotifier& notifier, std::string code, QWidget* parent)
    : Screen(global, parent), m_code(std::move(code)),
      m_prefetch([&global](const std::string& url, const fs::path& path) {
          global.netClient.enqueueListingImage(url, path);
      }),
      m_opener(openWithDesktop)
{
    setObjectName(QStringLiteral("cacheScreen"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_tabs = makePageTabs(global, this);
    layout->addWidget(m_tabs);

    m_tabs->addTab(makeDescriptionPage(), langText(global, kTextDescription));
    m_logs = makeBrowser();
    m_logs->setObjectName(QStringLiteral("logsView"));
    m_tabs->addTab(m_logs, langText(global, kTextLogs));
    m_images = makeBrowser();
    m_images->setObjectName(QStringLiteral("imagesView"));
    m_tabs->addTab(m_images, langText(global, kTextImages));
    m_tags = new QTreeWidget(this);
    m_tags->setObjectName(QStringLiteral("tagsView"));
    m_tags->setColumnCount(2);
    m_tags->setHeaderLabels({langText(global, kTextCategory), langText(global, kTextValue)});
    m_tags->setRootIsDecorated(false);
    m_tags->setSelectionMode(QAbstractItemView::NoSelection);
    m_tags->setWordWrap(true);
    m_tags->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_tags->header()->setStretchLastSection(true);
    m_tabs->addTab(m_tags, langText(global, kTextTags));
    m_tabs->addTab(makeAttachmentsPage(), langText(global, kTextAttachments));

    auto* reloadKey = new QShortcut(QKeySequence(Qt::Key_F5), this);
    reloadKey->setContext(Qt::WidgetWithChildrenShortcut);
    connect(reloadKey, &QShortcut::activated, this, &CacheScreen::reload);
    connect(&notifier, &QtNotifier::downloadProgressed, this, &CacheScreen::onDownloadProgressed);
    reload();
}

CacheScreen::~CacheScreen() = default;

ListingBrowser* CacheScreen::makeBrowser()
{
    auto* view = new ListingBrowser(mapFolder(), this);
    view->setIconPx(std::max(16, fontMetrics().height()));
    view->setAttributePx(touchPx(m_global) * 3 / 4);
    view->setUrlOpener([this](const QUrl& url) { return open(url); });
    return view;
}

QWidget* CacheScreen::makeDescriptionPage()
{
    const int tap = touchPx(m_global);
    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->setObjectName(QStringLiteral("descriptionPage"));
    splitter->setChildrenCollapsible(false);
    splitter->setHandleWidth(std::max(8, tap / 4));

    auto* upper = new QWidget(splitter);
    auto* upperLayout = new QVBoxLayout(upper);
    upperLayout->setContentsMargins(0, 0, 0, 0);
    upperLayout->setSpacing(0);
    m_description = makeBrowser();
    m_description->setObjectName(QStringLiteral("descriptionView"));
    upperLayout->addWidget(m_description, 1);

    m_hintRow = new QWidget(upper);
    auto* hintLayout = new QHBoxLayout(m_hintRow);
    hintLayout->setContentsMargins(6, 4, 6, 4);
    auto* hintText = new QVBoxLayout;
    auto* hintCaption = new QLabel(langText(m_global, kTextHint), m_hintRow);
    QFont bold = hintCaption->font();
    bold.setBold(true);
    hintCaption->setFont(bold);
    hintText->addWidget(hintCaption);
    m_hint = new QLabel(m_hintRow);
    m_hint->setObjectName(QStringLiteral("hintLabel"));
    m_hint->setTextFormat(Qt::PlainText);
    m_hint->setWordWrap(true);
    m_hint->setTextInteractionFlags(Qt::TextSelectableByMouse);
    hintText->addWidget(m_hint);
    hintLayout->addLayout(hintText, 1);
    auto* decode = new QPushButton(langText(m_global, kTextDecode), m_hintRow);
    decode->setObjectName(QStringLiteral("decodeHint"));
    decode->setMinimumSize(tap * 2, tap);
    connect(decode, &QPushButton::clicked, this, [this] {
        m_hintDecoded = !m_hintDecoded;
        showHint();
    });
    m_decode = decode;
    hintLayout->addWidget(decode, 0, Qt::AlignTop);
    upperLayout->addWidget(m_hintRow);

    auto* lower = new QWidget(splitter);
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(6, 2, 6, 2);
    lowerLayout->setSpacing(2);
    auto* noteCaption = new QLabel(langText(m_global, kTextNote), lower);
    noteCaption->setFont(bold);
    lowerLayout->addWidget(noteCaption);
    m_note = new QPlainTextEdit(lower);
    m_note->setObjectName(QStringLiteral("noteEdit"));
    m_note->setMinimumHeight(tap * 3 / 2);
    m_note->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_note, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { showNoteMenu(m_note->viewport()->mapToGlobal(pos)); });
    new HoldForMenu(m_note, [this](const QPoint& globalPos) { showNoteMenu(globalPos); });
    connect(m_note, &QPlainTextEdit::textChanged, this, &CacheScreen::onNoteChanged);
    lowerLayout->addWidget(m_note, 1);

    splitter->addWidget(upper);
    splitter->addWidget(lower);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    return splitter;
}

QWidget* CacheScreen::makeAttachmentsPage()
{
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    m_attachments = new QListWidget(page);
    m_attachments->setObjectName(QStringLiteral("attachmentsView"));
    m_attachments->setUniformItemSizes(true);
    m_attachments->setWordWrap(true);
    connect(m_attachments, &QListWidget::itemClicked, this, &CacheScreen::openAttachment);
    connect(m_attachments, &QListWidget::itemActivated, this, &CacheScreen::openAttachment);
    layout->addWidget(m_attachments, 1);
    m_attachmentsFolder = new QLabel(page);
    m_attachmentsFolder->setWordWrap(true);
    m_attachmentsFolder->setTextFormat(Qt::PlainText);
    m_attachmentsFolder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_attachmentsFolder->setMargin(6);
    layout->addWidget(m_attachmentsFolder);
    return page;
}

fs::path CacheScreen::mapFolder() const
{
    return m_global.paths.deviceFolder(m_global.settings.mapFolder);
}

void CacheScreen::setUrlOpener(ListingBrowser::UrlOpener opener)
{
    m_opener = std::move(opener);
}

bool CacheScreen::open(const QUrl& url)
{
    return m_opener && m_opener(url);
}

void CacheScreen::reload()
{
    if (m_noteDirty)
        saveNote();
    m_listing.reset();
    try {
        m_listing = listing::loadListing(m_global.db.cacheDb, m_global.db.tagCategories, m_code);
    } catch (const SQLite::Error& e) {
        m_global.prompter.message(e.message, MessageIcon::Plain);
    }
    for (ListingBrowser* view : {m_description, m_logs, m_images})
        view->setMapFolder(mapFolder());
    buildDescription();
    buildLogs();
    buildImages();
    buildTags();
    buildAttachments();
    m_settingNote = true;
    m_note->setPlainText(m_listing ? fromStd(m_listing->cache.comment).replace(QLatin1String("\r\n"), QLatin1String("\n"))
                                   : QString());
    m_settingNote = false;
    m_noteDirty = false;
    m_hintDecoded = false;
    showHint();
    emit softKeysChanged();
}

std::string CacheScreen::markFound(const std::string& page) const
{
    // The words the list was narrowed by, on the highlight colour.
    const std::string& query = m_global.list.filter.textQuery;
    if (query.empty())
        return page;
    const QPalette& colours = m_description->palette();
    const listing::FoundMark mark{
        "<span style=\"background-color:" + colours.color(QPalette::Highlight).name().toStdString() +
            ";color:" + colours.color(QPalette::HighlightedText).name().toStdString() + ";font-weight:bold;\">",
        "</span>"};
    return listing::markFoundWords(page, listing::foundWordsOf(query), mark);
}

void CacheScreen::buildDescription()
{
    if (!m_listing) {
        m_description->setPage(QStringLiteral("<p>%1</p>").arg(filled(m_global, kTextNoSuchCache, fromStd(m_code)).toHtmlEscaped()));
        m_descriptionState.built(m_code, false);
        return;
    }
    const CGeocache& cache = m_listing->cache;
    const listing::OverviewLabels labels{m_global.text(kTextOwner), m_global.text(kTextHidden), &m_global.lang};
    std::string page = listing::descriptionPage(cache);
    if (cache.text.empty() && cache.longDesc.empty())
        page = withNotice(page, langText(m_global, kTextNoDescription)).toStdString();
    const auto rewritten =
        listing::rewriteImages(page, mapFolder(), m_code, m_global.settings.dnlOnline ? &m_prefetch : nullptr);
    // The overview goes in after the rewriting: its attribute icons are ours.
    const std::string overview = listing::overviewHtml(cache, labels, touchPx(m_global) * 3 / 4);
    m_description->setPage(fromStd(markFound(listing::withHeader(rewritten.html, overview))));
    m_descriptionState.built(m_code, rewritten.awaited > 0);
}

void CacheScreen::buildLogs()
{
    if (!m_listing) {
        m_logs->setPage({});
        return;
    }
    const std::string page = listing::logsPage(m_listing->cache, m_global.text(kTextLoggedBy), &m_global.lang);
    m_logs->setPage(m_listing->cache.logs.empty() ? withNotice(page, langText(m_global, kTextNoLogs))
                                                  : fromStd(markFound(page)));
}

void CacheScreen::buildImages()
{
    m_imagesPending = false;
    if (!m_listing) {
        m_images->setPage({});
        return;
    }
    const auto links = listing::imageLinksOf(m_listing->tags);
    const std::string page = listing::imagesPage(m_listing->cache.name, links);
    if (links.empty()) {
        m_images->setPage(withNotice(page, langText(m_global, kTextNoImages)));
        return;
    }
    const auto rewritten =
        listing::rewriteImages(page, mapFolder(), m_code, m_global.settings.dnlOnline ? &m_prefetch : nullptr);
    m_images->setPage(fromStd(rewritten.html));
    m_imagesPending = rewritten.awaited > 0;
}

void CacheScreen::buildTags()
{
    m_tags->clear();
    if (!m_listing || (m_listing->tags.empty() && m_listing->cache.travelBugs.empty())) {
        auto* none = new QTreeWidgetItem(m_tags, {langText(m_global, kTextNoTags)});
        none->setFirstColumnSpanned(true);
        return;
    }
    for (const auto& [category, value] : m_listing->tags)
        new QTreeWidgetItem(m_tags, {fromStd(category), fromStd(value)});
    // The travel bugs in the cache, after the tags: each with its code and name.
    for (const CTravelBug& bug : m_listing->cache.travelBugs) {
        const std::string shown = bug.ref.empty() ? bug.name : bug.name.empty() ? bug.ref : bug.ref + "  " + bug.name;
        new QTreeWidgetItem(m_tags, {langText(m_global, kTextTravelBug), fromStd(shown)});
    }
}

void CacheScreen::buildAttachments()
{
    m_attachments->clear();
    const int tap = touchPx(m_global);
    const fs::path folder = listing::attachmentFolder(mapFolder(), m_code);
    const auto files = listing::attachmentFiles(mapFolder(), m_code);
    for (const std::string& name : files) {
        auto* item = new QListWidgetItem(fromStd(name), m_attachments);
        item->setData(Qt::UserRole, QString::fromStdString((folder / name).string()));
        item->setSizeHint(QSize(0, tap));
    }
    if (files.empty()) {
        auto* none = new QListWidgetItem(langText(m_global, kTextNoAttachments), m_attachments);
        none->setFlags(Qt::NoItemFlags);
        none->setSizeHint(QSize(0, tap));
    }
    m_attachmentsFolder->setText(filled(m_global, kTextAttachFolderIs, fromStd(folder.string())));
    m_attachmentsFolder->setVisible(!folder.empty());
}

void CacheScreen::showHint()
{
    const std::string hint = m_listing ? m_listing->cache.hint : std::string();
    m_hintRow->setVisible(!hint.empty());
    // Hints are stored readable, as every import brings them; the listing
    // keeps the spoiler scrambled until the key is pressed.
    const std::string shown = m_hintDecoded ? hint : geo::rot13(hint);
    m_hint->setText(fromStd(shown).replace(QLatin1String("\r\n"), QLatin1String("\n")));
    m_decode->setText(langText(m_global, m_hintDecoded ? kTextEncode : kTextDecode));
}

void CacheScreen::refreshNote()
{
    if (m_noteDirty || !m_listing)
        return;
    try {
        const auto stored = findCache(m_global, m_code);
        if (!stored || stored->comment == m_listing->cache.comment)
            return;
        m_listing->cache.comment = stored->comment;
    } catch (const SQLite::Error& e) {
        m_global.prompter.message(e.message, MessageIcon::Plain);
        return;
    }
    m_settingNote = true;
    m_note->setPlainText(fromStd(m_listing->cache.comment).replace(QLatin1String("\r\n"), QLatin1String("\n")));
    m_settingNote = false;
}

void CacheScreen::activated()
{
    if (m_descriptionState.needsRebuild(m_code))
        buildDescription();
    else
        refreshNote();
    if (m_imagesPending)
        buildImages();
    buildAttachments();
}

void CacheScreen::onDownloadProgressed()
{
    // A covered screen catches up when it is shown again.
    if (!isVisible())
        return;
    if (m_descriptionState.pending())
        buildDescription();
    if (m_imagesPending)
        buildImages();
}

void CacheScreen::onNoteChanged()
{
    if (m_settingNote || m_noteDirty)
        return;
    m_noteDirty = true;
    emit softKeysChanged();
}

bool CacheScreen::saveNote()
{
    if (!m_listing)
        return false;
    const std::string text = m_note->toPlainText().replace(QLatin1Char('\n'), QLatin1String("\r\n")).toStdString();
    bool ok = true;
    if (text != m_listing->cache.comment) {
        ok = setCacheComment(m_global, m_listing->cache, text);
    }
    if (ok && m_noteDirty) {
        m_noteDirty = false;
        emit softKeysChanged();
    }
    return ok;
}

QString CacheScreen::mainActionText() const
{
    return langText(m_global, m_noteDirty ? kTextSaveNote : kTextWaypoints);
}

void CacheScreen::mainAction()
{
    if (m_noteDirty) {
        saveNote();
        return;
    }
    auto* window = qobject_cast<MainWindow*>(this->window());
    if (!window || !m_listing)
        return;
    auto* screen = new WaypointListScreen(m_global, m_code);
    screen->setNavigateHook([this](const CWaypoint& w) { navigateToWaypointCommand(m_global, w); });
    window->pushScreen(screen);
}

bool CacheScreen::leave()
{
    if (m_noteDirty)
        saveNote();
    return true;
}

void CacheScreen::fillMenu(QMenu& menu)
{
    if (!m_listing)
        return;
    if (auto* window = qobject_cast<MainWindow*>(this->window())) {
        addCacheCommands(menu, *window, m_global);
        menu.addSeparator();
    }
    std::error_code ec;
    const fs::path copy = listing::offlineCopyPath(mapFolder(), m_code);
    if (!copy.empty() && fs::is_regular_file(copy, ec))
        menu.addAction(langText(m_global, kTextOpenOfflineCopy), this, &CacheScreen::openOfflineCopy);
    const fs::path folder = listing::attachmentFolder(mapFolder(), m_code);
    if (!folder.empty() && fs::is_directory(folder, ec))
        menu.addAction(langText(m_global, kTextOpenAttachFolder), this, [this, folder] {
            if (!open(QUrl::fromLocalFile(QString::fromStdString(folder.string()))))
                m_global.prompter.message(m_global.text(kTextCannotOpen), MessageIcon::Exclamation);
        });
    const std::string address = listing::cacheWebAddress(m_global.stateString("CacheLinkBase"), m_code);
    if (!address.empty())
        menu.addAction(langText(m_global, kTextOpenWebPage), this, [this, address] {
            if (!open(QUrl(fromStd(address))))
                m_global.prompter.message(m_global.text(kTextCannotOpen), MessageIcon::Exclamation);
        });
    menu.addAction(langText(m_global, kTextPrintSheet), this, [this] {
        // The sheet prints the note as it stands.
        saveNote();
        printSheetCommand(this, m_global, m_code);
    });
    menu.addAction(langText(m_global, kTextReloadListing), this, &CacheScreen::reload);
}

void CacheScreen::openOfflineCopy()
{
    auto* window = qobject_cast<MainWindow*>(this->window());
    const fs::path copy = listing::offlineCopyPath(mapFolder(), m_code);
    if (window && !copy.empty())
        window->pushScreen(
            new OfflineCopyScreen(m_global, mapFolder(), copy, [this](const QUrl& url) { return open(url); }));
}

void CacheScreen::openAttachment(QListWidgetItem* item)
{
    const QString path = item ? item->data(Qt::UserRole).toString() : QString();
    if (path.isEmpty())
        return;
    if (!open(QUrl::fromLocalFile(path)))
        m_global.prompter.message(m_global.text(kTextCannotOpen), MessageIcon::Exclamation);
}

void CacheScreen::fillNoteMenu(QMenu& menu)
{
    const bool selection = m_note->textCursor().hasSelection();
    const std::string note = m_note->toPlainText().toStdString();
    QAction* store = menu.addAction(langText(m_global, kTextStoreVariables), this,
                                    &CacheScreen::storeSelectionAsVariables);
    store->setEnabled(selection && !geo::blockInner(note, geo::BlockKind::Variables));
    QAction* paste = menu.addAction(langText(m_global, kTextPaste), m_note,
                                    [this] { m_note->insertPlainText(QApplication::clipboard()->text()); });
    paste->setEnabled(!QApplication::clipboard()->text().isEmpty());
    if (onNewWaypointFromText) {
        QAction* waypoint = menu.addAction(langText(m_global, kTextNewWaypoint), this, [this] {
            // The selection's paragraph separators become ordinary line breaks.
            const QString text = m_note->textCursor().selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
            onNewWaypointFromText(m_code, text);
        });
        waypoint->setEnabled(selection);
    }
}

void CacheScreen::showNoteMenu(const QPoint& globalPos)
{
    QMenu menu(this);
    fillNoteMenu(menu);
    menu.exec(globalPos);
}

void CacheScreen::storeSelectionAsVariables()
{
    const QString text = m_note->toPlainText();
    const QTextCursor cursor = m_note->textCursor();
    const auto begin = static_cast<std::size_t>(text.left(cursor.selectionStart()).toUtf8().size());
    const auto end = static_cast<std::size_t>(text.left(cursor.selectionEnd()).toUtf8().size());
    const auto stored = listing::noteWithVariables(text.toStdString(), begin, end);
    if (!stored)
        return;
    m_note->setPlainText(fromStd(*stored).replace(QLatin1String("\r\n"), QLatin1String("\n")));
    saveNote();
}

CacheScreen* openCacheScreen(MainWindow& window, const std::string& code, bool tellMissing)
{
    CGlobalData& global = window.global();
    auto* screen = new CacheScreen(global, window.notifier(), code);
    if (!screen->found()) {
        delete screen;
        if (tellMissing)
            global.prompter.message(filled(global, kTextNoSuchCache, fromStd(code)).toStdString(), MessageIcon::Exclamation);
        return nullptr;
    }
    // The listing's cache is the current one: the cache commands act on it.
    makeCurrentCache(global, code);
    screen->onNewWaypointFromText = [&window](const std::string& cacheCode, const QString& text) {
        newWaypointFromText(&window, window.global(), cacheCode, text.toStdString());
    };
    window.pushScreen(screen);
    return screen;
}

} // namespace tw
