#pragma once
// The rows of the contents grid: one per entry of the archive, in the order
// of the last sort, then the status row, drawn in red, which never takes
// part in a sort. With no entries there is one empty row and no status.
// The model keeps its own (shared, not copied) names, so that the engine may
// re-read the archive while the grid still shows the last listing.

#include <QAbstractTableModel>
#include <QString>

#include <vector>

struct ZipDirEntry;

class ContentsModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit ContentsModel(QObject *parent = nullptr);

    // Shows the entries' names under the heading, with the status text in
    // the last row, sorted as last asked.
    void reset(const std::vector<ZipDirEntry> *entries, const QString &heading, const QString &statusText);
    void setHeading(const QString &heading);
    // Whether a row is the status row (or the empty row of an empty list).
    bool isStatusRow(int row) const;
    // The entry's name shown on a row; empty for the status row.
    QString nameAt(int row) const;
    Qt::SortOrder sortOrder() const { return m_order; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // Sorts the entries' rows by name, letter case ignored.
    void sort(int column, Qt::SortOrder order) override;

private:
    void sortRows();

    std::vector<QString> m_names;
    std::vector<int> m_rows;     // entry index of each row
    std::vector<QString> m_keys; // each entry's name case-folded once, for sorting
    QString m_heading;
    QString m_status;
    Qt::SortOrder m_order = Qt::AscendingOrder;
};

// "N files / Compression :R% / Taille archive :S": the count, the ratio of
// the compressed to the uncompressed sizes (64-bit sums) and the archive's
// size, as the status row shows them. filesText is the language's word
// for files, with its blanks.
QString StatusRowText(const std::vector<ZipDirEntry> &entries, const QString &filesText, int64_t archiveSize);
