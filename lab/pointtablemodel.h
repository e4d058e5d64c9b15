#pragma once

#include <QAbstractTableModel>
#include <QTimer>

namespace Quorin {

class Session;

// The session's points as a table, one row a point, for the window's table: the graph's text
// alternative, which a screen reader reads row by row. Numbers are written with the decimal
// separator of the user's locale. Points that come fast become rows a few at a time, so that the
// view lays itself out and redraws a few times a second at most.
class PointTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // The longest a new point waits to become a row.
    static constexpr int RowsEveryMs = 500;

    explicit PointTableModel(const Session &session, QObject *parent = nullptr);

    [[nodiscard]] int rowCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role) const override;

private:
    void addRows();

    const Session &m_session;
    QTimer m_rowsDue;
    // The rows the view knows of: the session has the point before the view is told of it.
    int m_rows = 0;
};

} // namespace Quorin
