#include "pointtablemodel.h"

#include "pointtext.h"
#include "session.h"

namespace Quorin {

PointTableModel::PointTableModel(const Session &session, QObject *parent)
    : QAbstractTableModel(parent)
    , m_session(session)
    , m_rows(int(session.points().size()))
{
    connect(&session, &Session::pointAdded, this, [this](qsizetype index) {
        beginInsertRows({}, m_rows, int(index));
        m_rows = int(index) + 1;
        endInsertRows();
    });
    connect(&session, &Session::cleared, this, [this] {
        beginResetModel();
        m_rows = 0;
        endResetModel();
    });
    connect(&session, &Session::labelsChanged, this,
            [this] { Q_EMIT headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1); });
}

int PointTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int PointTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant PointTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows)
        return {};
    if (role == Qt::DisplayRole)
        return cellText(m_session, m_session.points()[std::size_t(index.row())],
                        Column(index.column()), decimalSeparatorFor(QLocale()));
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Column(index.column()) == Column::DateTime
                                       ? Qt::AlignLeft | Qt::AlignVCenter
                                       : Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant PointTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    return columnHeader(m_session, Column(section));
}

} // namespace Quorin
