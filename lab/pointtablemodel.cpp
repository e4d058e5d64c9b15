#include "pointtablemodel.h"

#include "pointtext.h"
#include "session.h"

namespace Quorin {

PointTableModel::PointTableModel(const Session &session, QObject *parent)
    : QAbstractTableModel(parent)
    , m_session(session)
    , m_rows(int(session.points().size()))
{
    m_rowsDue.setSingleShot(true);
    m_rowsDue.setInterval(RowsEveryMs);
    connect(&m_rowsDue, &QTimer::timeout, this, &PointTableModel::addRows);
    connect(&session, &Session::pointAdded, this, [this] {
        if (!m_rowsDue.isActive())
            m_rowsDue.start();
    });
    // The last points of a run show at once.
    connect(&session, &Session::runChanged, this, &PointTableModel::addRows);
    const auto reset = [this] {
        m_rowsDue.stop();
        beginResetModel();
        m_rows = int(m_session.points().size());
        endResetModel();
    };
    // Many points at once, or none: the view starts afresh rather than take them row by row.
    connect(&session, &Session::restored, this, reset);
    connect(&session, &Session::cleared, this, reset);
    connect(&session, &Session::labelsChanged, this,
            [this] { Q_EMIT headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1); });
}

void PointTableModel::addRows()
{
    m_rowsDue.stop();
    const int rows = int(m_session.points().size());
    if (rows <= m_rows)
        return;
    beginInsertRows({}, m_rows, rows - 1);
    m_rows = rows;
    endInsertRows();
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
    return columnHeader(m_session, Column(section), Heading::Plain);
}

} // namespace Quorin
