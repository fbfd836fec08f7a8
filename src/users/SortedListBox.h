#pragma once

#include <QListWidget>
#include <QStringList>

// A list box whose entries stay sorted alphabetically without regard to
// letter case, with several entries selectable at once.
class SortedListBox : public QListWidget
{
    Q_OBJECT
public:
    explicit SortedListBox(QWidget *parent = nullptr);

    void addEntry(const QString &text);
    void addEntries(const QStringList &texts);
    void setEntries(const QStringList &texts);
    QStringList entries() const;
    // Selected entries, in list order.
    QStringList selectedEntries() const;
    bool contains(const QString &text, Qt::CaseSensitivity cs = Qt::CaseInsensitive) const;
    bool hasCurrentEntry() const { return currentRow() >= 0; }
    // Selects the entries equal to texts (exactly); the others are cleared.
    void selectEntries(const QStringList &texts);
};
