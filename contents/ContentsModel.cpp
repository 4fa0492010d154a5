#include "ContentsModel.h"

#include "FonctionsUtiles.h"
#include "ZipDirEntry.h"

#include <QBrush>
#include <QColor>

#include <algorithm>
#include <cmath>

ContentsModel::ContentsModel(QObject *parent) : QAbstractTableModel(parent) {}

void ContentsModel::reset(const std::vector<ZipDirEntry> *entries, const QString &heading, const QString &statusText)
{
    beginResetModel();
    m_heading = heading;
    m_status = statusText;
    const size_t count = entries ? entries->size() : 0;
    m_rows.resize(count);
    m_names.resize(count);
    m_keys.resize(count);
    for (size_t i = 0; i < count; ++i) {
        m_rows[i] = static_cast<int>(i);
        m_names[i] = (*entries)[i].FileName;
        m_keys[i] = m_names[i].toCaseFolded();
    }
    sortRows();
    endResetModel();
}

void ContentsModel::setHeading(const QString &heading)
{
    m_heading = heading;
    emit headerDataChanged(Qt::Horizontal, 0, 0);
}

bool ContentsModel::isStatusRow(int row) const
{
    return row >= static_cast<int>(m_rows.size());
}

QString ContentsModel::nameAt(int row) const
{
    if (row < 0 || isStatusRow(row))
        return QString();
    return m_names[static_cast<size_t>(m_rows[static_cast<size_t>(row)])];
}

int ContentsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size()) + 1;
}

int ContentsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 1;
}

QVariant ContentsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return QVariant();
    const bool status = isStatusRow(index.row());
    if (role == Qt::DisplayRole)
        return status ? (m_rows.empty() ? QString() : m_status) : nameAt(index.row());
    if (role == Qt::ForegroundRole && status)
        return QBrush(QColor(255, 0, 0));
    return QVariant();
}

QVariant ContentsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && section == 0 && role == Qt::DisplayRole)
        return m_heading;
    return QAbstractTableModel::headerData(section, orientation, role);
}

void ContentsModel::sort(int column, Qt::SortOrder order)
{
    if (column != 0)
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    m_order = order;
    sortRows();
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ContentsModel::sortRows()
{
    const std::vector<QString> &keys = m_keys;
    const bool ascending = m_order == Qt::AscendingOrder;
    std::stable_sort(m_rows.begin(), m_rows.end(), [&keys, ascending](int a, int b) {
        const QString &left = keys[static_cast<size_t>(a)];
        const QString &right = keys[static_cast<size_t>(b)];
        return ascending ? left < right : right < left;
    });
}

QString StatusRowText(const std::vector<ZipDirEntry> &entries, const QString &filesText, int64_t archiveSize)
{
    uint64_t compressed = 0, uncompressed = 0;
    for (const ZipDirEntry &e : entries) {
        compressed += e.CompressedSize;
        uncompressed += e.UncompressedSize;
    }
    long ratio = 0;
    if (compressed != 0 && uncompressed != 0)
        ratio = std::lrint((1.0 - static_cast<double>(compressed) / static_cast<double>(uncompressed)) * 100.0);
    return QString::number(entries.size()) + filesText + QStringLiteral(" / ") + QStringLiteral("Compression :")
        + QString::number(ratio) + QStringLiteral("%") + QStringLiteral(" / ") + QStringLiteral("Taille archive :")
        + SizeText(archiveSize);
}
