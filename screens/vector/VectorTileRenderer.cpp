// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/vector/VectorTileRenderer.h"

#include "maps/mapsforge/TileMath.h"
#include "screens/QtTileImage.h"

#include <QMetaObject>

#include <algorithm>
#include <set>

namespace tw::vector {

namespace {

// Beyond this the files hold nothing new and tile numbers grow past use.
constexpr int kMaxDrawnZoom = 24;

} // namespace

std::size_t VectorTileRenderer::KeyHash::operator()(const Key& k) const
{
    const auto [z, x, y] = k;
    return std::hash<std::int64_t>{}((x * 73856093) ^ (y * 19349663) ^ (std::int64_t(z) << 56));
}

VectorTileRenderer::VectorTileRenderer(const maps::VectorMapSettings& settings, const std::filesystem::path& installDir)
    : m_settings(settings)
{
    const std::filesystem::path builtIn = maps::builtInThemeFile(installDir);
    maps::RenderThemeResult read = maps::readRenderTheme(settings.themeFile.empty() ? builtIn : settings.themeFile);
    m_problems = read.problems;
    if (!read.theme && !settings.themeFile.empty()) {
        read = maps::readRenderTheme(builtIn);
        m_problems.insert(m_problems.end(), read.problems.begin(), read.problems.end());
    }
    if (read.theme)
        m_theme = std::move(*read.theme);

    m_settings.displayScale = std::max(settings.displayScale, 0.1f);
    m_categories = m_theme.styleMenu.categories(settings.style, settings.overlays);

    openFiles(m_worker.files, true);
    openFiles(m_caller.files, false);
    m_thread = std::thread([this] { work(); });
}

VectorTileRenderer::~VectorTileRenderer()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_queue.clear();
        m_ready = nullptr;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    // m_receiver goes last: callbacks posted to it are dropped with it.
}

void VectorTileRenderer::openFiles(maps::MapFileSet& files, bool record)
{
    for (const std::filesystem::path& path : m_settings.mapFiles) {
        if (files.add(path)) {
            if (record)
                m_bounds.push_back(files.file(files.size() - 1).header().bounds);
        } else if (record) {
            m_unreadable.push_back({path, files.error()});
        }
    }
}

bool VectorTileRenderer::covers(int zoom, std::int64_t x, std::int64_t y) const
{
    if (zoom < 0 || zoom > kMaxDrawnZoom || x < 0 || y < 0 || x >= maps::tilemath::tileCount(zoom) ||
        y >= maps::tilemath::tileCount(zoom))
        return false;
    const double west = maps::tilemath::tileXToLonDeg(x, zoom), east = maps::tilemath::tileXToLonDeg(x + 1, zoom);
    const double north = maps::tilemath::tileYToLatDeg(y, zoom), south = maps::tilemath::tileYToLatDeg(y + 1, zoom);
    return std::any_of(m_bounds.begin(), m_bounds.end(), [&](const maps::MicroBox& b) {
        return b.minLonE6 * 1e-6 < east && b.maxLonE6 * 1e-6 > west && b.minLatE6 * 1e-6 < north &&
               b.maxLatE6 * 1e-6 > south;
    });
}

std::shared_ptr<const maps::TileImage> VectorTileRenderer::cached(const Key& key)
{
    const auto it = m_cache.find(key);
    if (it == m_cache.end())
        return nullptr;
    m_lru.splice(m_lru.begin(), m_lru, it->second);
    return it->second->second;
}

void VectorTileRenderer::store(const Key& key, std::shared_ptr<const maps::TileImage> image)
{
    if (const auto it = m_cache.find(key); it != m_cache.end()) {
        m_lru.erase(it->second);
        m_cache.erase(it);
    }
    m_lru.emplace_front(key, std::move(image));
    m_cache[key] = m_lru.begin();
    while (m_lru.size() > m_capacity) {
        m_cache.erase(m_lru.back().first);
        m_lru.pop_back();
    }
}

std::size_t VectorTileRenderer::cachedTiles() const
{
    std::lock_guard lock(m_mutex);
    return m_lru.size();
}

std::size_t VectorTileRenderer::queuedTiles() const
{
    std::lock_guard lock(m_mutex);
    return m_queue.size();
}

std::shared_ptr<const maps::TileImage> VectorTileRenderer::tile(int zoom, std::int64_t x, std::int64_t y)
{
    if (!covers(zoom, x, y))
        return nullptr;
    const Key key{zoom, x, y};
    {
        std::lock_guard lock(m_mutex);
        if (auto image = cached(key))
            return image;
        const auto it = std::find(m_queue.begin(), m_queue.end(), key);
        if (it != m_queue.end())
            m_queue.erase(it);
        m_queue.push_front(key);
    }
    m_wake.notify_one();
    return nullptr;
}

std::shared_ptr<const maps::TileImage> VectorTileRenderer::drawnTile(int zoom, std::int64_t x, std::int64_t y)
{
    if (!covers(zoom, x, y))
        return nullptr;
    const Key key{zoom, x, y};
    std::uint64_t generation = 0;
    {
        std::lock_guard lock(m_mutex);
        if (auto image = cached(key))
            return image;
        generation = m_generation;
    }
    std::lock_guard callerLock(m_callerMutex);
    auto image = std::make_shared<const QtTileImage>(draw(m_caller, key, generation));
    std::lock_guard lock(m_mutex);
    if (generation == m_generation)
        store(key, image);
    return image;
}

void VectorTileRenderer::keepOnly(const std::vector<std::tuple<int, std::int64_t, std::int64_t>>& tiles)
{
    const std::set<Key> keep(tiles.begin(), tiles.end());
    std::lock_guard lock(m_mutex);
    std::erase_if(m_queue, [&](const Key& k) { return !keep.contains(k); });
}

void VectorTileRenderer::setReadyCallback(std::function<void()> ready)
{
    std::lock_guard lock(m_mutex);
    m_ready = std::move(ready);
}

void VectorTileRenderer::setStyle(const std::string& style, const std::map<std::string, bool>& overlays)
{
    bool post = false;
    {
        std::lock_guard lock(m_mutex);
        m_settings.style = style;
        m_settings.overlays = overlays;
        m_categories = m_theme.styleMenu.categories(style, overlays);
        ++m_generation;
        m_queue.clear();
        m_cache.clear();
        m_lru.clear();
        post = !m_readyPosted;
        m_readyPosted = true;
    }
    // The view asks again and gets the tiles drawn anew.
    if (post)
        postReady();
}

void VectorTileRenderer::postReady()
{
    // Runs on m_receiver's thread; dropped when the renderer is gone first.
    QMetaObject::invokeMethod(
        &m_receiver,
        [this] {
            std::function<void()> ready;
            {
                std::lock_guard lock(m_mutex);
                m_readyPosted = false;
                ready = m_ready;
            }
            if (ready)
                ready();
        },
        Qt::QueuedConnection);
}

QImage VectorTileRenderer::draw(Drawer& drawer, const Key& key, std::uint64_t generation)
{
    if (drawer.generation != generation || !drawer.state) {
        std::unordered_set<std::string> categories;
        {
            std::lock_guard lock(m_mutex);
            categories = m_categories;
        }
        drawer.state.reset();
        drawer.matcher = std::make_unique<maps::ThemeMatcher>(m_theme, categories);
        drawer.state = std::make_unique<VectorDrawState>(m_theme, *drawer.matcher, m_settings.displayScale);
        drawer.generation = generation;
    }
    maps::MapFileSet& files = drawer.files;
    const std::string& language = m_settings.language;
    const TileReader read = [&files, &language](const maps::MapTileId& id, maps::MapTile& out) {
        out.clear();
        if (!files.covers(id))
            return false;
        files.readTile(id, language, out); // a file that does not read leaves its objects out
        return true;
    };
    const auto [zoom, x, y] = key;
    return renderVectorTile({zoom, x, y}, read, *drawer.state, m_bounds).image;
}

void VectorTileRenderer::work()
{
    for (;;) {
        Key key;
        std::uint64_t generation = 0;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
            if (m_stop)
                return;
            key = m_queue.front();
            m_queue.pop_front();
            generation = m_generation;
        }
        auto image = std::make_shared<const QtTileImage>(draw(m_worker, key, generation));
        bool post = false;
        {
            std::lock_guard lock(m_mutex);
            if (m_stop)
                return;
            if (generation != m_generation)
                continue;
            store(key, std::move(image));
            post = !m_readyPosted;
            m_readyPosted = true;
        }
        if (post)
            postReady();
    }
}

std::unique_ptr<maps::TileRenderer> makeVectorTileRenderer(const maps::VectorMapSettings& settings,
                                                           const std::filesystem::path& installDir)
{
    return std::make_unique<VectorTileRenderer>(settings, installDir);
}

} // namespace tw::vector
