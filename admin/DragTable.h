#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QLocale>
#include <QString>

// One file of the send list: its name (the key), its size as shown, and where it lies.
struct DragEntry
{
    QString FileName;
    QString Stae;
    QString Path;
};

// The send list as a table in the order the files were added; no two entries share a FileName. Once a
// transfer has told something about an entry, its Stae cell shows that instead of the size.
class DragTable final : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DragTable)

public:
    enum Column { FileNameColumn, StaeColumn, ColumnCount };

    explicit DragTable(QObject *parent = nullptr);

    int size() const { return int(m_entries.size()); }
    const DragEntry &at(int row) const { return m_entries.at(row); }
    QString state(int row) const { return m_states.at(row); }
    // Exact, case-sensitive; -1 when no entry has the name.
    int locateFileName(const QString &fileName) const;

    void append(const DragEntry &entry);
    void removeAt(int row);
    void setState(int row, const QString &state);
    void clearStates();

    // The size column: whole kilobytes in groups of three joined by the locale's group separator, no
    // leading zeros, then " KB"; below one kilobyte the number is empty.
    static QString sizeText(qint64 bytes, const QLocale &locale = QLocale());

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    QList<DragEntry> m_entries;
    QStringList m_states;
};
