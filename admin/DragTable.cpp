#include "admin/DragTable.h"

DragTable::DragTable(QObject *parent) : QAbstractTableModel(parent)
{
    setObjectName(QStringLiteral("RxMemoryData_Drag"));
}

int DragTable::locateFileName(const QString &fileName) const
{
    for (int row = 0; row < size(); ++row)
        if (m_entries.at(row).FileName == fileName)
            return row;
    return -1;
}

void DragTable::append(const DragEntry &entry)
{
    beginInsertRows({}, size(), size());
    m_entries.append(entry);
    m_states.append(QString());
    endInsertRows();
}

void DragTable::removeAt(int row)
{
    if (row < 0 || row >= size())
        return;
    beginRemoveRows({}, row, row);
    m_entries.removeAt(row);
    m_states.removeAt(row);
    endRemoveRows();
}

void DragTable::setState(int row, const QString &state)
{
    if (row < 0 || row >= size() || m_states.at(row) == state)
        return;
    m_states[row] = state;
    const QModelIndex cell = index(row, StaeColumn);
    Q_EMIT dataChanged(cell, cell, {Qt::DisplayRole});
}

void DragTable::clearStates()
{
    for (int row = 0; row < size(); ++row)
        setState(row, QString());
}

QString DragTable::sizeText(qint64 bytes, const QLocale &locale)
{
    const qint64 kilobytes = bytes / 1024;
    // Grouping by threes whatever the locale groups by: only the separator is the locale's.
    QString digits = kilobytes > 0 ? QString::number(kilobytes) : QString();
    const QString separator = locale.groupSeparator();
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, separator);
    return digits + QStringLiteral(" KB");
}

int DragTable::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : size();
}

int DragTable::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant DragTable::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= size())
        return {};
    const DragEntry &entry = m_entries.at(index.row());
    const bool stae = index.column() == StaeColumn;
    switch (role) {
    case Qt::DisplayRole:
        if (!stae)
            return entry.FileName;
        return m_states.at(index.row()).isEmpty() ? entry.Stae : m_states.at(index.row());
    case Qt::ToolTipRole:
        return stae ? entry.Stae : entry.Path;
    case Qt::TextAlignmentRole:
        return stae ? QVariant(Qt::AlignCenter) : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}
