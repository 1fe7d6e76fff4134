// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CacheListModel.h"

#include "app/CacheList.h"
#include "app/ReferenceSources.h"
#include "geo/ReferencePosition.h"

namespace tw {
namespace {

QString rating(int tenths)
{
    return QString::number(tenths / 10.0, 'f', tenths % 10 ? 1 : 0);
}

} // namespace

CacheListModel::CacheListModel(const CacheList& list, const ReferenceSources& reference, QObject* parent)
    : QAbstractListModel(parent), m_list(list), m_reference(reference)
{
}

int CacheListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_list.caches.size());
}

QVariant CacheListModel::data(const QModelIndex& index, int role) const
{
    // The list may have been rebuilt by someone else a moment before the
    // reset reaches the view.
    if (!index.isValid() || index.row() < 0 || static_cast<std::size_t>(index.row()) >= m_list.caches.size())
        return {};
    const CGeocache& c = *m_list.caches[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole: return QString::fromStdString(c.name);
    case Qt::ToolTipRole: return QString::fromStdString(c.name + " (" + c.code + ")");
    case CodeRole: return QString::fromStdString(c.code);
    case RatingRole: return QStringLiteral("D %1 / T %2").arg(rating(c.difficulty), rating(c.terrain));
    case DistanceTextRole:
        return QString::fromStdString(
                   geo::formatCacheDistance(m_reference.context(), {c.lat, c.lon}, true, false))
            .trimmed();
    case SectorRole: return geo::referenceSector(m_reference.context(), {c.lat, c.lon});
    case TypeRole: return c.type;
    case SizeRole: return c.size;
    case StatusRole: return c.status;
    case FoundRole: return c.found > 0;
    case SnippetRole: {
        if (!m_list.searched)
            return {};
        const auto it = m_list.snippets.find(c.key);
        return it == m_list.snippets.end() ? QString() : QString::fromStdString(it->second);
    }
    default: return {};
    }
}

} // namespace tw
